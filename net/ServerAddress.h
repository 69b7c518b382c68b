#pragma once

// Where to connect and in which protocol, from the server name the user typed. Accepted forms:
//   host, host:port, [v6addr], [v6addr]:port, pop3://host[:port], pop3s://host[:port]
//   imap://host[:port], imaps://host[:port]
// and, to sign in with an OAuth2 token instead of a password, the URL standards' ;AUTH= after
// the scheme: imaps://;AUTH=XOAUTH2@host, imap://;AUTH=OAUTHBEARER@host, pop3s://;AUTH=*@host
// (* takes whichever of the two the server offers).
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

/// How the login proves who the user is.
enum class Auth {
    Password,     ///< the account's password (USER/PASS, APOP, LOGIN, AUTHENTICATE PLAIN)
    XOAuth2,      ///< an OAuth2 bearer token by SASL XOAUTH2
    OAuthBearer,  ///< an OAuth2 bearer token by SASL OAUTHBEARER (RFC 7628)
    AnyBearer,    ///< an OAuth2 bearer token by whichever of the two the server offers
};

/// A parsed server name: protocol, host (IPv6 without brackets), port and whether TLS starts at
/// once.
struct ServerAddress {
    Protocol protocol = Protocol::Pop3;
    std::string host;
    std::uint16_t port = 0;
    bool tls = false;
    Auth auth = Auth::Password;

    /// Whether the login takes an OAuth2 token rather than a password.
    bool bearer() const { return auth != Auth::Password; }
    /// Whether host is this machine ("localhost", 127.0.0.0/8, ::1), where nothing sent can be
    /// read on the way.
    bool loopback() const;

    /// The address named by text, or nothing when the text is not a usable server name.
    static std::optional<ServerAddress> parse(std::string_view text);

    bool operator==(const ServerAddress&) const = default;
};

}  // namespace breezel::net
