#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace breezel::pop3 {

/// Every bound of the mail library in one place. Tests shrink them.
struct Pop3Limits {
    /// Connecting, including a TLS handshake.
    std::chrono::milliseconds connectTimeout{15000};
    /// Waiting for the next bytes of any response.
    std::chrono::milliseconds responseTimeout{30000};
    /// The longest line accepted from the server, line end included.
    std::size_t maxLineBytes = 256 * 1024;
    /// The most lines of one multi-line response other than a message (CAPA, TOP headers).
    std::size_t maxListLines = 100000;
    /// How many messages ahead requests are sent when the server allows pipelining.
    int pipelineWindow = 16;
    /// The most bytes of one multi-line response (a message that streams without end).
    std::uint64_t maxMessageBytes = std::uint64_t{1} << 30;
    /// The longest header value kept for the caller (Subject, From, Date, Message-ID).
    std::size_t maxHeaderValueBytes = 8191;
    /// Waiting for the answer to QUIT: short, the answer changes nothing.
    std::chrono::milliseconds quitTimeout{2000};
};

}  // namespace breezel::pop3
