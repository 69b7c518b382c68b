#pragma once

#include <chrono>
#include <cstddef>

namespace breezel::net {

/// The bounds every mail session keeps to, whatever its protocol. Tests shrink them.
struct SessionLimits {
    /// Connecting, including a TLS handshake.
    std::chrono::milliseconds connectTimeout{15000};
    /// Waiting for the next bytes of any response.
    std::chrono::milliseconds responseTimeout{30000};
    /// A session gives up when fewer than lowSpeedBytes arrive in lowSpeedTime, however they
    /// trickle in (curl's low-speed rule): a server dripping bytes never runs into the
    /// per-arrival bound above. 0 turns the rule off.
    std::size_t lowSpeedBytes = 1024;
    std::chrono::milliseconds lowSpeedTime{30000};
    /// A session gives up this long after its connection was opened, however fast it goes.
    std::chrono::milliseconds sessionTimeout{10 * 60 * 1000};
    /// The longest line accepted from the server, line end included.
    std::size_t maxLineBytes = 256 * 1024;
};

}  // namespace breezel::net
