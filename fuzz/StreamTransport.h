#pragma once

// The transport of the mail protocol fuzzers: the server's byte stream is the fuzz input, handed
// out a line (up to LF) per read whatever the client wrote. Nothing waits: at the stream's end
// the server drops the connection or falls silent (every read times out at once), and a read
// past the byte limit fails as the real transport's does.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Task.h"
#include "net/Transport.h"

namespace breezel::fuzz {

class StreamTransport : public net::Transport {
public:
    StreamTransport(std::string_view stream, bool dropAtEnd)
        : rest_(stream), dropAtEnd_(dropAtEnd) {}

    Task<net::TransportStatus> connect(std::string, std::uint16_t, bool, std::chrono::milliseconds,
                                       net::Pace&) override {
        co_return net::TransportStatus{};
    }
    net::TransportStatus write(std::string_view) override {
        return closed_ ? net::TransportStatus{net::TransportCode::Closed, {}}
                       : net::TransportStatus{};
    }
    Task<net::TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                        std::chrono::milliseconds, net::Pace&) override {
        co_return next(line, maxBytes);
    }
    Task<net::TransportStatus> startTls(std::string, std::chrono::milliseconds) override {
        // The handshake succeeds; later lines play the part of what came over TLS.
        co_return closed_ ? net::TransportStatus{net::TransportCode::Closed, {}}
                          : net::TransportStatus{};
    }
    void close() override { closed_ = true; }

private:
    net::TransportStatus next(std::string& line, std::size_t maxBytes) {
        if (closed_) {
            return {net::TransportCode::Closed, {}};
        }
        const std::size_t lf = rest_.find('\n');
        const std::size_t length = lf == std::string_view::npos ? rest_.size() : lf + 1;
        if (length > maxBytes) {
            line.assign(rest_.substr(0, maxBytes));
            rest_.remove_prefix(maxBytes);
            return {net::TransportCode::LineTooLong, {}};
        }
        if (lf == std::string_view::npos) {
            // What is left never gets its line end: the connection ends here.
            return {dropAtEnd_ ? net::TransportCode::Closed : net::TransportCode::Timeout, {}};
        }
        line.assign(rest_.substr(0, length));
        rest_.remove_prefix(length);
        return {};
    }

    std::string_view rest_;
    bool dropAtEnd_;
    bool closed_ = false;
};

/// Runs a call to its end: nothing in this transport waits, so a call that suspends is a fault.
template <typename T>
T Finish(Task<T> call) {
    call.start();
    if (!call.done()) {
        __builtin_trap();
    }
    return call.result();
}

}  // namespace breezel::fuzz
