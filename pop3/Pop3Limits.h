#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "net/Limits.h"

namespace breezel::pop3 {

// The engine works in the words every mail session shares: transport, pace, bounds, texts.
using namespace net;

/// Every bound of the POP3 engine in one place: the session's, and POP3's own. Tests shrink them.
struct Pop3Limits : SessionLimits {
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
