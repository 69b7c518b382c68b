#pragma once

// Where to connect and in which protocol, from the server name the user typed. Accepted forms:
//   host, host:port, [v6addr], [v6addr]:port, pop3://host[:port], pop3s://host[:port]
//   imap://host[:port], imaps://host[:port]
// The s forms mean TLS from the first byte (ports 995 and 993 unless given); the others start
// in plain text (ports 110 and 143) and are upgraded with STLS or STARTTLS whenever the server
// offers it. A bare name is POP3. This is the one parser: it decides which engine serves a name.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace breezel::net {

/// The mail protocols Breezel speaks.
enum class Protocol { Pop3, Imap };

/// A parsed server name: protocol, host (IPv6 without brackets), port and whether TLS starts at
/// once.
struct ServerAddress {
    Protocol protocol = Protocol::Pop3;
    std::string host;
    std::uint16_t port = 0;
    bool tls = false;

    /// The address named by text, or nothing when the text is not a usable server name.
    static std::optional<ServerAddress> parse(std::string_view text);

    bool operator==(const ServerAddress&) const = default;
};

}  // namespace breezel::net
