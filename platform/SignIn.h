#pragma once

#include <string>

#include "common/Secret.h"
#include "common/Task.h"
#include "net/Mailbox.h"

namespace breezel {

/// An OAuth2 access token, or why there is none.
struct AccessToken {
    /// The token; empty when there is none.
    Secret token;
    /// Why there is none, as the user's text; empty when there is nothing to tell (no sign-in
    /// was allowed, and none was needed before).
    std::string failure;
    /// The failure is news the user must hear once even from an automatic check (the sign-in
    /// was revoked or expired at the provider).
    bool tellAlways = false;
};

/// OAuth2 sign-in for mail servers named with ;AUTH= (the provider is chosen by the server's
/// host): tokens from memory while they last, renewed with the refresh token kept for the
/// account, or — only when the user may be asked — a sign-in in the browser. Never blocks: every
/// answer comes back to the event loop, within bounded times. No token ever reaches a log, a
/// box or a command line.
class SignIn {
public:
    virtual ~SignIn() = default;
    /// An access token for mailbox's account (its ID, also the sign-in hint) at the provider
    /// of its server. mayAsk: a browser may open for the user to sign in.
    virtual Task<AccessToken> accessToken(net::Mailbox mailbox, bool mayAsk) = 0;
    /// The server refused token: it is forgotten, so that the next access token is a new one.
    virtual void refused(const net::Mailbox& mailbox, const Secret& token) = 0;
};

}  // namespace breezel
