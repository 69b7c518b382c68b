#include "platform/pop3/Pop3Channel.h"

#include "platform/pop3/ErrorText.h"

namespace breezel::pop3 {

namespace {

void StripLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
}

// "+OK", "+OK text", "-ERR", "-ERR text"; the indicator must be followed by a blank or nothing.
bool HasIndicator(std::string_view line, std::string_view indicator) {
    return line.substr(0, indicator.size()) == indicator &&
           (line.size() == indicator.size() || line[indicator.size()] == ' ');
}

std::string TextAfter(std::string_view line, std::string_view indicator) {
    line.remove_prefix(indicator.size());
    if (!line.empty()) {
        line.remove_prefix(1);
    }
    return std::string(line);
}

}  // namespace

Pop3Channel::Pop3Channel(std::unique_ptr<Transport> transport, const Pop3Limits& limits)
    : transport_(std::move(transport)), limits_(limits) {}

TransportStatus Pop3Channel::connect(const std::string& host, std::uint16_t port, bool tls) {
    return transport_->connect(host, port, tls, limits_.connectTimeout);
}

LinkFault Pop3Channel::send(std::string_view bytes) {
    const TransportStatus status = transport_->write(bytes);
    if (!status.ok()) {
        return LinkFailureText(status);
    }
    return std::nullopt;
}

LinkFault Pop3Channel::readReply(Reply& reply, std::chrono::milliseconds timeout) {
    std::string line;
    if (auto fault = readLine(line, timeout)) {
        return fault;
    }
    if (HasIndicator(line, "+OK")) {
        reply = Reply{true, TextAfter(line, "+OK")};
    } else if (HasIndicator(line, "-ERR")) {
        reply = Reply{false, TextAfter(line, "-ERR")};
    } else {
        return ProtocolErrorText(line);
    }
    return std::nullopt;
}

LinkFault Pop3Channel::readLines(const LineSink& sink, std::size_t maxLines) {
    std::uint64_t bytes = 0;
    std::size_t lines = 0;
    std::string line;
    for (;;) {
        if (auto fault = readLine(line, limits_.responseTimeout)) {
            return fault;
        }
        if (line == ".") {
            return std::nullopt;
        }
        // Counting what was received, not what was kept, bounds a server that never ends.
        bytes += line.size() + 2;
        if (bytes > limits_.maxMessageBytes) {
            return TooManyBytesText(limits_.maxMessageBytes);
        }
        if (++lines > maxLines) {
            return TooManyLinesText();
        }
        std::string_view content = line;
        if (!content.empty() && content.front() == '.') {
            content.remove_prefix(1);  // dot-stuffing: "..x" stands for ".x"
        }
        if (sink) {
            sink(content);
        }
    }
}

LinkFault Pop3Channel::startTls(const std::string& host) {
    const TransportStatus status = transport_->startTls(host, limits_.connectTimeout);
    if (status.code == TransportCode::Tls) {
        return LinkFailureText(status);
    }
    if (!status.ok()) {
        return LinkFailureText(TransportStatus{TransportCode::Tls, {}}) + ": " +
               LinkFailureText(status);
    }
    return std::nullopt;
}

void Pop3Channel::close() {
    transport_->close();
}

LinkFault Pop3Channel::readLine(std::string& line, std::chrono::milliseconds timeout) {
    line.clear();
    const TransportStatus status = transport_->readLine(line, limits_.maxLineBytes, timeout);
    if (!status.ok()) {
        return LinkFailureText(status);
    }
    StripLineEnd(line);
    return std::nullopt;
}

}  // namespace breezel::pop3
