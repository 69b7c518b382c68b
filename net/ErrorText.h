#pragma once

// The texts the user sees when a mail check fails, shared by every protocol: our own, in
// Japanese, one line each.
// Anything taken from the network is cleaned first so that a hostile server cannot put
// control characters or pages of text into an error box.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/ServerAddress.h"
#include "net/Transport.h"

namespace breezel::net {

/// A short, printable excerpt of untrusted bytes (at most about 80 characters).
std::string Excerpt(std::string_view bytes);

/// "host:port", with brackets around an IPv6 address.
std::string HostAndPort(const std::string& host, std::uint16_t port);

/// The failure text of a connect attempt to host:port.
std::string ConnectFailureText(const TransportStatus& status, const std::string& host,
                               std::uint16_t port);

/// The failure text of a read, write or handshake on an open connection.
std::string LinkFailureText(const TransportStatus& status);

/// A failure of the link or of the protocol, as the user's text; empty when all went well.
using LinkFault = std::optional<std::string>;

/// Sends bytes on transport: the link's failure, if it failed.
LinkFault Send(Transport& transport, std::string_view bytes);

/// A reply that breaks the protocol, quoting an excerpt of what came.
std::string ProtocolErrorText(std::string_view received);

/// The server's own error text, only line ends removed; never empty.
std::string ServerErrorText(std::string_view text);

/// A greeting that turned us away, with the server's text.
std::string GreetingRefusedText(std::string_view serverText);

/// The server offered TLS and then refused command (STLS, STARTTLS), with the server's text.
std::string TlsRefusedText(std::string_view command, std::string_view serverText);

/// A response larger than limit bytes.
std::string TooManyBytesText(std::uint64_t limit);

/// A server name the user entered that cannot be used.
std::string BadServerNameText(std::string_view server);

/// A handle that is not open.
std::string UnknownHandleText(int handle);

/// A message call before a successful login.
std::string NotLoggedInText();

/// A login attempt on a connection that already went through one.
std::string LoginAlreadyDoneText();

/// A user ID or password that would break the command line.
std::string BadCredentialsText();

/// The server does not offer the SASL mechanism that auth (a bearer one) asks for.
std::string MechanismNotOfferedText(Auth auth);

}  // namespace breezel::net
