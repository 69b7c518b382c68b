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
    /// A session gives up when fewer than lowSpeedBytes arrive in lowSpeedTime, however they
    /// trickle in (curl's low-speed rule): a server dripping bytes never runs into the
    /// per-arrival bound above.
    std::size_t lowSpeedBytes = 1024;
    std::chrono::milliseconds lowSpeedTime{30000};
    /// A session gives up this long after its connection was opened, however fast it goes.
    std::chrono::milliseconds sessionTimeout{10 * 60 * 1000};
    /// The longest line accepted from the server, line end included.
    std::size_t maxLineBytes = 256 * 1024;
    /// The most lines of one multi-line response other than a message (CAPA, TOP headers).
    std::size_t maxListLines = 100000;
    /// How many messages ahead requests are sent when the server allows pipelining. A message's
    /// three requests cost about 30 bytes, so a wide window keeps a slow link busy: with 16 a
    /// 20 ms round trip made a check of 1000 messages take 1.5 s instead of 0.2 s.
    int pipelineWindow = 1000;
    /// The most bytes of one multi-line response (a message that streams without end).
    std::uint64_t maxMessageBytes = std::uint64_t{1} << 30;
    /// The longest header value kept for the caller (Subject, From, Date, Message-ID).
    std::size_t maxHeaderValueBytes = 8191;
    /// Waiting for the answer to QUIT; 0: not at all. The answer changes nothing, since a check
    /// deletes nothing, and waiting for it would cost a round trip on every check.
    std::chrono::milliseconds quitTimeout{0};
};

}  // namespace breezel::pop3
