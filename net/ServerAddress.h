#pragma once

// Where to connect, from the server name the user typed. Accepted forms:
//   host, host:port, [v6addr], [v6addr]:port, pop3://host[:port], pop3s://host[:port]
// pop3s means TLS from the first byte (port 995 unless given); everything else starts in
// plain text on port 110 and may be upgraded with STLS later.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace breezel::net {

/// A parsed server name: host (IPv6 without brackets), port and whether TLS starts at once.
struct ServerAddress {
    std::string host;
    std::uint16_t port = 0;
    bool tls = false;

    /// The address named by text, or nothing when the text is not a usable server name.
    static std::optional<ServerAddress> parse(std::string_view text);

    bool operator==(const ServerAddress&) const = default;
};

}  // namespace breezel::net
