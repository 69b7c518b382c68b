#pragma once

// SASL (RFC 4422) as both engines speak it: the messages are base64 on the wire, PLAIN carries a
// password (RFC 4616), XOAUTH2 and OAUTHBEARER (RFC 7628) an OAuth2 bearer token. A refused
// token is not a plain refusal: the server first sends an error challenge, which the client
// must answer as its mechanism says before the server gives its final answer.

#include <optional>
#include <string>
#include <string_view>

#include "net/ServerAddress.h"

namespace breezel::net {

/// Base64 (RFC 4648) with padding.
std::string Base64(std::string_view bytes);

/// The PLAIN mechanism's message, base64: no authorization identity, id and password.
std::string PlainMessage(std::string_view id, std::string_view password);

/// Whether id and secret can go to the server at all: CR, LF and NUL would break the command
/// line, and in a bearer message 0x01 would end a field and let the rest pose as another.
bool UsableCredentials(std::string_view id, std::string_view secret, bool bearer);

/// A bearer token's login by one mechanism.
struct BearerLogin {
    /// The mechanism as the command names it: "XOAUTH2" or "OAUTHBEARER".
    std::string_view mechanism;
    /// The client's response, base64; the only one when the token is accepted.
    std::string response;
    /// The answer to the server's error challenge, base64: XOAUTH2 takes an empty one,
    /// OAUTHBEARER the byte 0x01 ("AQ==").
    std::string_view errorAnswer;
};

/// The login of id with token at address (a bearer one) by the mechanism its ;AUTH= names, or
/// for * OAUTHBEARER when offered and else XOAUTH2; nothing when the server offers none of them.
std::optional<BearerLogin> ChooseBearerLogin(const ServerAddress& address, bool offersXOAuth2,
                                             bool offersOAuthBearer, std::string_view id,
                                             std::string_view token);

}  // namespace breezel::net
