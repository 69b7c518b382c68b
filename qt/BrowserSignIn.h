#pragma once

// The sign-in in the user's browser: OAuth2's authorization code flow
// (QOAuth2AuthorizationCodeFlow) with PKCE (RFC 7636, S256) and a loopback redirect on 127.0.0.1
// (RFC 8252). Qt 6.4 has no PKCE of its own: the challenge goes into the browser's request and the
// verifier into the token request through the flow's parameter hook, fresh for every sign-in, like
// the state.

#include <QUrl>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "common/Task.h"
#include "qt/OAuthProviders.h"

namespace breezel {

/// How long a sign-in waits for the user in the browser before it gives up and frees its port.
constexpr std::chrono::milliseconds kSignInLimit = std::chrono::minutes(5);

/// Shows a page in the user's browser; false when it could not.
using UrlOpener = std::function<bool(const QUrl&)>;

/// What a sign-in in the browser gave.
struct SignInOutcome {
    std::string accessToken;
    /// Empty when the provider gave none.
    std::string refreshToken;
    /// Seconds the access token lasts; 0 when the provider did not say.
    std::int64_t expiresIn = 0;
    /// The user's text when there is no token.
    std::string failure;
};

/// A PKCE code verifier: 64 characters of the unreserved set, from the system's random source.
std::string NewCodeVerifier();
/// Its S256 challenge: base64url, without padding, of the verifier's SHA-256.
std::string CodeChallenge(const std::string& verifier);

class BrowserSignIn {
public:
    /// limit: how long the user has; requestLimit bounds the token request.
    BrowserSignIn(UrlOpener opener, std::chrono::milliseconds limit,
                  std::chrono::milliseconds requestLimit);

    /// Opens the provider's page for loginHint and waits for its answer on a port of its own,
    /// freed again when this ends (or is destroyed where it waits).
    Task<SignInOutcome> run(OAuthProvider provider, std::string loginHint);

private:
    UrlOpener opener_;
    std::chrono::milliseconds limit_;
    std::chrono::milliseconds requestLimit_;
};

}  // namespace breezel
