#pragma once

// What a call of either engine comes to: the caller's number, and on failure one value that
// says why, in the user's words and in a kind that the caller acts on.

#include <string>

namespace breezel::net {

/// Why a call failed, if it did.
struct Failure {
    enum class Kind {
        None,                ///< nothing failed
        Broken,              ///< the link or the protocol failed: a new connection may succeed
        Refused,             ///< the server or the settings turned it down (TLS, a command, the
                             ///< server name, no encryption): trying again would not help
        CredentialsRefused,  ///< the server refused the password or the token
    };
    Kind kind = Kind::None;
    /// The user's text; empty only for None.
    std::string text;

    explicit operator bool() const { return kind != Kind::None; }
    /// Whether trying again as things stand would not help.
    bool refused() const { return kind == Kind::Refused || kind == Kind::CredentialsRefused; }
};

/// The outcome of one call.
struct CallResult {
    int value = -1;
    Failure failure;
};

/// A call that went well, with its value.
inline CallResult Succeeded(int value) {
    return CallResult{value, {}};
}

}  // namespace breezel::net
