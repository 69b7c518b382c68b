#include "Conversation.h"

namespace breezel::pop3 {

void Conversation::server(std::string bytes) {
    steps_.push_back({Kind::Server, std::move(bytes), {}});
}

void Conversation::client(std::string bytes) {
    steps_.push_back({Kind::Client, std::move(bytes), {}});
}

void Conversation::tls(TransportStatus status) {
    steps_.push_back({Kind::Tls, {}, std::move(status)});
}

void Conversation::drop() {
    steps_.push_back({Kind::Drop, {}, {}});
}

void Conversation::silence() {
    steps_.push_back({Kind::Silence, {}, {}});
}

void Conversation::failConnect(TransportCode code, std::string detail) {
    connectStatus_ = TransportStatus{code, std::move(detail)};
}

TransportStatus Conversation::connect(const std::string& host, std::uint16_t port, bool tls) {
    host_ = host;
    port_ = port;
    tlsAtConnect_ = tls;
    return connectStatus_;
}

TransportStatus Conversation::write(std::string_view bytes) {
    if (closed_ || dropped_) {
        return {TransportCode::Closed, {}};
    }
    ++writes_;
    sent_ += bytes;
    unmatched_ += bytes;
    matchWrites();
    return {};
}

TransportStatus Conversation::readLine(std::string& line, std::size_t maxBytes,
                                       std::chrono::milliseconds timeout) {
    ++reads_;
    lastReadTimeout_ = timeout;
    largestReadLimit_ = std::max(largestReadLimit_, maxBytes);
    if (closed_) {
        return {TransportCode::Closed, {}};
    }
    deliver();
    if (!hasLine()) {
        std::size_t waiting = 0;
        for (const std::string& chunk : arrived_) {
            waiting += chunk.size();
        }
        if (waiting - offset_ < maxBytes) {
            return {dropped_ ? TransportCode::Closed : TransportCode::Timeout, {}};
        }
    }
    line.clear();
    while (line.size() < maxBytes) {
        const char c = arrived_.front()[offset_++];
        if (offset_ == arrived_.front().size()) {
            arrived_.pop_front();
            offset_ = 0;
        }
        line += c;
        if (c == '\n') {
            return {};
        }
    }
    return {TransportCode::LineTooLong, {}};
}

TransportStatus Conversation::startTls(const std::string& host) {
    tlsHost_ = host;
    sent_ += "<TLS>";
    deliver();
    for (const std::string& chunk : arrived_) {
        discardedAtTls_ += chunk.size();
    }
    discardedAtTls_ -= offset_;
    arrived_.clear();
    offset_ = 0;
    if (steps_.empty() || steps_.front().kind != Kind::Tls) {
        deviation_ += "a TLS handshake the script does not have; ";
        return {TransportCode::Tls, "unscripted"};
    }
    const TransportStatus status = steps_.front().status;
    steps_.pop_front();
    deliver();
    return status;
}

void Conversation::deliver() {
    while (!steps_.empty()) {
        Step& step = steps_.front();
        if (step.kind == Kind::Server) {
            if (!step.bytes.empty()) {
                arrived_.push_back(std::move(step.bytes));
            }
        } else if (step.kind == Kind::Drop) {
            dropped_ = true;
        } else {
            return;  // waits for the client, for a handshake, or forever
        }
        steps_.pop_front();
    }
}

void Conversation::matchWrites() {
    deliver();
    while (!unmatched_.empty() && !steps_.empty() && steps_.front().kind == Kind::Client) {
        const std::string& expected = steps_.front().bytes;
        const std::size_t n = std::min(expected.size(), unmatched_.size());
        if (expected.compare(0, n, unmatched_, 0, n) != 0) {
            deviation_ += "expected \"" + expected + "\", got \"" + unmatched_ + "\"; ";
            return;
        }
        if (n < expected.size()) {
            return;  // the rest of the step comes in a later write
        }
        unmatched_.erase(0, n);
        steps_.pop_front();
        deliver();
    }
}

bool Conversation::hasLine() const {
    for (std::size_t i = 0; i < arrived_.size(); ++i) {
        if (arrived_[i].find('\n', i == 0 ? offset_ : 0) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace breezel::pop3
