#pragma once

// The provider's two plain HTTP exchanges outside the browser's sign-in: OpenID discovery of its
// endpoints, and renewing an access token with a refresh token. Both are asynchronous and
// bounded: a provider that stops answering ends the request with a failure, never a hang.

#include <QNetworkAccessManager>
#include <chrono>
#include <cstdint>
#include <string>

#include "common/Secret.h"
#include "common/Task.h"
#include "qt/OAuthProviders.h"

namespace breezel {

/// A provider's endpoints, or why there are none.
struct OAuthEndpoints {
    std::string authorizationUrl;
    std::string tokenUrl;
    std::string failure;
};

/// What a token endpoint answered.
struct TokenGrant {
    Secret accessToken;
    /// Empty when the provider kept the refresh token as it was.
    Secret refreshToken;
    /// Seconds the access token lasts; 0 when the provider did not say.
    std::int64_t expiresIn = 0;
    /// The provider refused the refresh token itself (invalid_grant): it is dead.
    bool refused = false;
    /// Why there is no token (detail for the user's text); empty with a token.
    std::string failure;
};

/// Whether url may carry sign-in traffic: https, or http to this machine.
bool SafeForSignIn(const std::string& url);

/// A token endpoint's answer: its JSON's tokens, or a failure naming the provider's error code.
TokenGrant ReadTokenAnswer(int httpStatus, const QByteArray& body, const QString& transportError);

class OAuthRequests {
public:
    /// limit bounds each request (Qt's transfer timeout: no byte for that long ends it).
    explicit OAuthRequests(std::chrono::milliseconds limit);

    /// The endpoints named by issuer + "/.well-known/openid-configuration", read afresh.
    Task<OAuthEndpoints> discover(std::string issuer);

    /// A new access token for refreshToken (grant_type=refresh_token).
    Task<TokenGrant> refresh(OAuthProvider provider, Secret refreshToken);

private:
    QNetworkAccessManager network_;
};

}  // namespace breezel
