#pragma once

// The sign-in in the user's browser: OAuth2's authorization code flow
// (QOAuth2AuthorizationCodeFlow) with PKCE (RFC 7636, S256) and a loopback redirect (RFC 8252).
// Qt 6.4 has no PKCE of its own: the challenge goes into the browser's request and the verifier
// into the token request through the flow's parameter hook, fresh for every sign-in, like the
// state. While it waits, SignInWindow shows the page's address (which carries the state and the
// challenge, nothing secret) and lets the user cancel.

#include <QUrl>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "common/Secret.h"
#include "common/Task.h"
#include "qt/OAuthProviders.h"

namespace breezel {

/// How long a sign-in waits for the user in the browser before it gives up and frees its port.
constexpr std::chrono::milliseconds kSignInLimit = std::chrono::minutes(5);

/// Shows a page in the user's browser, and calls failed (at most once, now or later) when it
/// could not.
using UrlOpener = std::function<void(const QUrl& url, std::function<void()> failed)>;

/// The desktop's browser: xdg-open, then each command of $BROWSER while the one before fails,
/// as told by its exit code (xdg-open may give up on a desktop's browser without trying
/// $BROWSER, and QDesktopServices tells nothing of that).
UrlOpener DesktopBrowser();

/// What a sign-in in the browser gave.
struct SignInOutcome {
    Secret accessToken;
    /// Empty when the provider gave none.
    Secret refreshToken;
    /// Seconds the access token lasts; 0 when the provider did not say.
    std::int64_t expiresIn = 0;
    /// The user's text when there is no token.
    std::string failure;
};

/// A PKCE code verifier: 64 characters of the unreserved set, from the system's random source.
Secret NewCodeVerifier();
/// Its S256 challenge: base64url, without padding, of the verifier's SHA-256.
std::string CodeChallenge(const Secret& verifier);

class BrowserSignIn {
public:
    /// limit: how long the user has; requestLimit bounds the token request.
    BrowserSignIn(UrlOpener opener, std::chrono::milliseconds limit,
                  std::chrono::milliseconds requestLimit);

    /// Opens the provider's page for loginHint and waits for its answer on a port of its own,
    /// freed again when this ends (or is destroyed where it waits); the window names loginHint
    /// and host meanwhile.
    Task<SignInOutcome> run(OAuthProvider provider, std::string loginHint, std::string host);

private:
    UrlOpener opener_;
    std::chrono::milliseconds limit_;
    std::chrono::milliseconds requestLimit_;
};

}  // namespace breezel
