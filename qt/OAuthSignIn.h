#pragma once

// The program's SignIn: OAuth2 for mail servers named with ;AUTH=.
//
// An access token is kept in memory only, until a minute before it expires (a quarter of its
// life, for one that lasts less than four minutes). After that the
// refresh token renews it: refresh tokens are kept in the desktop's keyring (or, where none
// answers, in ★MailData/oauth-tokens.ini, mode 0600), one per "<user id>@<server host>", and a
// new one from the provider (they rotate) is kept before it is ever used. Without a refresh
// token, and only when the user may be asked, the browser opens for a sign-in.
//
// One sign-in or renewal runs at a time: a request that comes meanwhile for the same account
// shares its answer (no second browser), any other waits for it to end and looks again.
//
// A provider's endpoints from OpenID discovery are read afresh for every browser sign-in, and
// kept for renewals a few minutes at most and only while they work: a provider that has moved
// or gone is found out at once, not after the user's five minutes in a dead page.

#include <QUrl>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/Task.h"
#include "platform/SignIn.h"
#include "qt/BrowserSignIn.h"
#include "qt/OAuthProviders.h"
#include "qt/OAuthRequests.h"
#include "qt/TokenStore.h"

namespace breezel {

class Keyring;

/// The bounds of a sign-in's waits.
struct SignInLimits {
    /// The user's time in the browser.
    std::chrono::milliseconds browser = kSignInLimit;
    /// Each request to the provider (discovery, tokens): no byte for this long ends it.
    std::chrono::milliseconds request = std::chrono::seconds(15);
    /// Each keyring call.
    std::chrono::milliseconds keyring = std::chrono::seconds(5);
};

/// What tests give in place of the desktop's parts.
struct SignInParts {
    BuiltInClients clients = BuiltInClients::FromBuild();
    /// The keyring; none: the desktop's Secret Service through QtKeychain.
    Keyring* keyring = nullptr;
    /// The browser; none: DesktopBrowser().
    UrlOpener openUrl;
    /// Hears notices for the user (the tokens' file was tightened); none: a message box.
    TokenStore::Tell tell;
    SignInLimits limits;
    /// The clock the access tokens' lifetimes are judged by; none: the steady clock.
    std::function<std::chrono::steady_clock::time_point()> now;
};

class OAuthSignIn : public SignIn {
public:
    /// dataFolder: the program's ★MailData, with oauth.ini and, without a keyring,
    /// oauth-tokens.ini.
    explicit OAuthSignIn(const std::filesystem::path& dataFolder, SignInParts parts = {});
    ~OAuthSignIn() override;

    Task<AccessToken> accessToken(net::Mailbox mailbox, bool mayAsk) override;
    void refused(const net::Mailbox& mailbox, const Secret& token) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Flight;
    struct Remembered {
        Secret token;
        Clock::time_point usableUntil;
    };
    struct Discovered {
        OAuthEndpoints endpoints;
        Clock::time_point readAt;
    };

    /// The one sign-in or renewal under way: it answers everyone who joined it.
    Task<> fly(std::shared_ptr<Flight> flight, std::string host, std::string account, bool mayAsk);
    Task<AccessToken> obtain(std::string host, std::string account, std::string key, bool mayAsk);
    /// Fills in the provider's endpoints, read afresh or (fresh false) as read a few minutes
    /// ago; the failure text, empty when they are had.
    Task<std::string> discover(OAuthProvider& provider, bool fresh);
    /// Keeps a new access token (and refresh token) for key.
    Task<AccessToken> keep(std::string key, Secret access, Secret refresh, std::int64_t expiresIn);

    std::function<Clock::time_point()> now_;
    OAuthProviders providers_;
    std::unique_ptr<Keyring> ownKeyring_;
    TokenStore store_;
    OAuthRequests requests_;
    BrowserSignIn browser_;
    std::map<std::string, Remembered> accessTokens_;
    // Refresh tokens as last kept, so that a renewal needs no keyring call.
    std::map<std::string, Secret> refreshTokens_;
    // Discovered endpoints by issuer.
    std::map<std::string, Discovered> endpoints_;
    std::shared_ptr<Flight> flight_;
    // Last: the flights go before anything they use.
    TaskScope flights_;
};

}  // namespace breezel
