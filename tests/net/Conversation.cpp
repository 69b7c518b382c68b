#include "net/Conversation.h"

#include <algorithm>

namespace breezel::net {

namespace {

// The transport the engine owns, playing a conversation that the test owns and examines after
// the engine has let go of the transport. Its tasks never suspend: the time is simulated.
class ScriptedTransport : public Transport {
public:
    explicit ScriptedTransport(Conversation& conversation) : talk_(conversation) {}

    Task<TransportStatus> connect(std::string host, std::uint16_t port, bool tls,
                                  std::chrono::milliseconds, Pace& pace) override {
        co_return talk_.connect(host, port, tls, pace);
    }
    TransportStatus write(std::string_view bytes) override { return talk_.write(bytes); }
    Task<TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                   std::chrono::milliseconds timeout, Pace& pace) override {
        co_return talk_.readLine(line, maxBytes, timeout, pace);
    }
    Task<TransportStatus> startTls(std::string host, std::chrono::milliseconds) override {
        co_return talk_.startTls(host);
    }
    void close() override { talk_.close(); }

private:
    Conversation& talk_;
};

}  // namespace

std::unique_ptr<Transport> Conversation::transport() {
    return std::make_unique<ScriptedTransport>(*this);
}

void Conversation::server(std::string bytes) {
    steps_.push_back({Kind::Server, std::move(bytes), {}, {}, {}});
}

void Conversation::client(std::string bytes) {
    steps_.push_back({Kind::Client, std::move(bytes), {}, {}, {}});
}

void Conversation::tls(TransportStatus status) {
    steps_.push_back({Kind::Tls, {}, std::move(status), {}, {}});
}

void Conversation::drop() {
    steps_.push_back({Kind::Drop, {}, {}, {}, {}});
}

void Conversation::silence() {
    steps_.push_back({Kind::Silence, {}, {}, {}, {}});
}

void Conversation::drip(const std::string& bytes, std::size_t piece,
                        std::chrono::milliseconds every) {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        steps_.push_back({Kind::Pause, {}, {}, every, {}});
        server(bytes.substr(at, piece));
    }
}

void Conversation::failConnect(TransportCode code, std::string detail) {
    connectStatus_ = TransportStatus{code, std::move(detail)};
}

std::chrono::milliseconds Conversation::elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - Pace::Time{});
}

TransportStatus Conversation::connect(const std::string& host, std::uint16_t port, bool tls,
                                      Pace& pace) {
    host_ = host;
    port_ = port;
    tlsAtConnect_ = tls;
    pace.start(now_);
    return connectStatus_;
}

TransportStatus Conversation::write(std::string_view bytes) {
    if (closed_ || dropped_) {
        return {TransportCode::Closed, {}};
    }
    ++writes_;
    if (!greeted_) {
        deviation_ += "wrote \"" + std::string(bytes) + "\" before reading the greeting; ";
    }
    sent_ += bytes;
    unmatched_ += bytes;
    matchWrites();
    return {};
}

// The same steps as the real transport's read: a whole line from what was taken, else take
// what has come (telling pace), else wait up to the next arrival or pace's deadline.
TransportStatus Conversation::readLine(std::string& line, std::size_t maxBytes,
                                       std::chrono::milliseconds timeout, Pace& pace) {
    ++reads_;
    lastReadTimeout_ = timeout;
    largestReadLimit_ = std::max(largestReadLimit_, maxBytes);
    line.clear();
    if (closed_) {
        return {TransportCode::Closed, {}};
    }
    Pace::Time since = now_;
    while (arrived_.find('\n', offset_) == std::string::npos && unread() < maxBytes) {
        deliver();
        const std::size_t arrived = takeInFlight();
        if (arrived > 0) {
            pace.arrived(arrived, now_);
            since = now_;
        } else if (dropped_) {
            readFailure_.clear();
            return {TransportCode::Closed, {}};
        }
        const Pace::Time deadline = pace.deadline(since, timeout);
        if (now_ >= deadline) {
            const TransportStatus status = pace.expired(since, timeout);
            readFailure_ = status.detail;
            return status;
        }
        if (arrived == 0) {
            const std::optional<Pace::Time> next = nextArrival();
            now_ = next && *next < deadline ? *next : deadline;
        }
    }
    const std::size_t end = arrived_.find('\n', offset_);
    line.assign(arrived_, offset_,
                std::min(end == std::string::npos ? unread() : end + 1 - offset_, maxBytes));
    offset_ += line.size();
    greeted_ = true;
    if (line.back() == '\n') {
        return {};
    }
    readFailure_.clear();
    return {TransportCode::LineTooLong, {}};
}

TransportStatus Conversation::startTls(const std::string& host) {
    tlsHost_ = host;
    sent_ += "<TLS>";
    deliver();
    takeInFlight();
    discardedAtTls_ += unread();
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
                inFlight_.push_back(std::move(step.bytes));
            }
        } else if (step.kind == Kind::Drop) {
            dropped_ = true;
        } else if (step.kind == Kind::Pause) {
            if (!step.due) {
                step.due = now_ + step.delay;
            }
            if (now_ < *step.due) {
                return;
            }
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

std::size_t Conversation::takeInFlight() {
    std::size_t bytes = 0;
    for (std::string& chunk : inFlight_) {
        bytes += chunk.size();
        if (unread() == 0) {
            arrived_ = std::move(chunk);  // no copy: a hostile megabyte stays one buffer
            offset_ = 0;
        } else {
            arrived_ += chunk;
        }
    }
    inFlight_.clear();
    return bytes;
}

std::optional<Pace::Time> Conversation::nextArrival() const {
    if (!steps_.empty() && steps_.front().kind == Kind::Pause) {
        return steps_.front().due;
    }
    return std::nullopt;
}

}  // namespace breezel::net
