#pragma once

#include <string>
#include <utility>

#include "common/Secret.h"

namespace breezel::net {

/// What a login proves the user with: the account's password, or an OAuth2 access token (sent
/// by the SASL mechanism the server name's ;AUTH= chose).
struct Credential {
    enum class Kind {
        Password,  ///< a password, sent as the protocol's login or SASL PLAIN
        Token,     ///< an OAuth2 bearer token
    };
    Kind kind = Kind::Password;
    Secret secret;

    bool token() const { return kind == Kind::Token; }

    static Credential ofPassword(std::string text) {
        return {Kind::Password, Secret(std::move(text))};
    }
    static Credential ofToken(std::string text) { return {Kind::Token, Secret(std::move(text))}; }
};

}  // namespace breezel::net
