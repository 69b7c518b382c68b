#pragma once

#include <chrono>
#include <cstddef>

#include "net/Limits.h"

namespace breezel::imap {

// The engine works in the words every mail session shares: transport, pace, bounds, texts.
using namespace net;

/// Every bound of the IMAP engine in one place: the session's, and IMAP's own. Tests shrink them.
struct ImapLimits : SessionLimits {
    /// The largest literal ({n} and n bytes) accepted from the server. A larger one fails as
    /// soon as it is announced, before anything is allocated or waited for. Literals bring a
    /// mailbox name now and then, never a message: no command of ours fetches one.
    std::size_t maxLiteralBytes = 64 * 1024;
    /// The most bytes of one response, its literals included. Ours are a few lines each; a
    /// FLAGS list of many keywords stays well below.
    std::size_t maxResponseBytes = 256 * 1024;
    /// How long a push connection idles before it renews its IDLE (DONE, the answer, IDLE
    /// again). Below the server's 29 minutes (RFC 2177), and short, since the renewal is also
    /// how a link that died without a word is noticed: within idleKeepAlive + responseTimeout.
    /// Lines the server sends while idling (Dovecot's "* OK Still here") do not postpone it.
    std::chrono::milliseconds idleKeepAlive{3 * 60 * 1000};
    /// Waiting for the answer to LOGOUT; 0: not at all. The answer changes nothing, since
    /// neither a check nor push changes the mailbox, and waiting would cost a round trip.
    std::chrono::milliseconds logoutTimeout{0};
};

}  // namespace breezel::imap
