#include "pop3/Pop3Channel.h"

#include "net/Connect.h"
#include "pop3/ErrorText.h"

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

Pop3Channel::Pop3Channel(std::unique_ptr<Transport> transport, Pop3Limits limits)
    : limits_(limits), pace_(limits_), transport_(std::move(transport)) {}

Task<TransportStatus> Pop3Channel::connect(std::string host, std::uint16_t port, bool tls) {
    return transport_->connect(std::move(host), port, tls, limits_.connectTimeout, pace_);
}

LinkFault Pop3Channel::send(std::string_view bytes) {
    return net::Send(*transport_, bytes);
}

Task<LinkFault> Pop3Channel::readReply(Reply& reply, std::chrono::milliseconds timeout) {
    return readStatus(reply, timeout, false);
}

Task<LinkFault> Pop3Channel::readSaslReply(Reply& reply) {
    return readStatus(reply, limits_.responseTimeout, true);
}

Task<LinkFault> Pop3Channel::readStatus(Reply& reply, std::chrono::milliseconds timeout,
                                        bool challenges) {
    std::string line;
    const TransportStatus status =
        co_await transport_->readLine(line, limits_.maxLineBytes, timeout, pace_);
    if (auto fault = takeLine(status, line)) {
        co_return fault;
    }
    if (HasIndicator(line, "+OK")) {
        reply = Reply{true, TextAfter(line, "+OK")};
    } else if (HasIndicator(line, "-ERR")) {
        reply = Reply{false, TextAfter(line, "-ERR")};
    } else if (challenges && HasIndicator(line, "+")) {
        reply = Reply{false, TextAfter(line, "+"), true};
    } else {
        co_return ProtocolErrorText(line);
    }
    co_return std::nullopt;
}

Task<LinkFault> Pop3Channel::readLines(LineSink sink, std::size_t maxLines) {
    std::uint64_t bytes = 0;
    std::size_t lines = 0;
    std::string line;
    for (;;) {
        line.clear();
        const TransportStatus status = co_await transport_->readLine(
            line, limits_.maxLineBytes, limits_.responseTimeout, pace_);
        if (auto fault = takeLine(status, line)) {
            co_return fault;
        }
        if (line == ".") {
            co_return std::nullopt;
        }
        // Counting what was received, not what was kept, bounds a server that never ends.
        bytes += line.size() + 2;
        if (bytes > limits_.maxMessageBytes) {
            co_return TooManyBytesText(limits_.maxMessageBytes);
        }
        if (++lines > maxLines) {
            co_return TooManyLinesText();
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

Task<LinkFault> Pop3Channel::startTls(std::string host) {
    return UpgradeToTls(*transport_, std::move(host), limits_.connectTimeout);
}

void Pop3Channel::close() {
    transport_->close();
}

LinkFault Pop3Channel::takeLine(const TransportStatus& status, std::string& line) {
    if (!status.ok()) {
        return LinkFailureText(status);
    }
    StripLineEnd(line);
    return std::nullopt;
}

}  // namespace breezel::pop3
