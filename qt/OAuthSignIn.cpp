#include "qt/OAuthSignIn.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "net/ErrorText.h"
#include "net/ServerAddress.h"
#include "qt/QtKeyring.h"
#include "qt/QtServices.h"
#include "qt/SignInTexts.h"

namespace breezel {

namespace {

// An access token is not used in its last minute (or last quarter, for a short-lived one): it
// must outlive the login that carries it.
constexpr auto kExpiryMargin = std::chrono::seconds(60);
// For a provider that does not say how long its tokens last.
constexpr std::int64_t kAssumedLifetimeSeconds = 3600;
// How long renewals trust endpoints read before.
constexpr auto kDiscoveryLife = std::chrono::minutes(10);

TokenStore::Tell NoticeBox() {
    return [](const std::string& text) {
        static QtMessageBox box;
        box.showOk(text, {}, MessageBox::Icon::Exclamation, [] {});
    };
}

}  // namespace

struct OAuthSignIn::Flight {
    std::string key;
    /// It may open the browser.
    bool asking = false;
    std::optional<AccessToken> result;
    std::vector<std::function<void(AccessToken)>> waiting;
};

OAuthSignIn::OAuthSignIn(const std::filesystem::path& dataFolder, SignInParts parts)
    : now_(parts.now ? std::move(parts.now) : [] { return Clock::now(); }),
      providers_(dataFolder, std::move(parts.clients)),
      ownKeyring_(parts.keyring != nullptr
                      ? nullptr
                      : std::make_unique<QtKeyring>(QStringLiteral("breezel"))),
      store_(parts.keyring != nullptr ? *parts.keyring : *ownKeyring_,
             dataFolder / "oauth-tokens.ini", parts.limits.keyring,
             parts.tell ? std::move(parts.tell) : NoticeBox()),
      requests_(parts.limits.request),
      browser_(parts.openUrl ? std::move(parts.openUrl) : DesktopBrowser(), parts.limits.browser,
               parts.limits.request) {}

OAuthSignIn::~OAuthSignIn() = default;

Task<AccessToken> OAuthSignIn::accessToken(net::Mailbox mailbox, bool mayAsk) {
    const std::optional<net::ServerAddress>& address = mailbox.address;
    if (!address) {
        co_return AccessToken{{}, net::BadServerNameText(mailbox.server)};
    }
    const std::string& account = mailbox.id;
    std::string key = account;
    key += '@';
    key += address->host;
    for (;;) {
        if (const auto kept = accessTokens_.find(key);
            kept != accessTokens_.end() && now_() < kept->second.usableUntil) {
            co_return AccessToken{kept->second.token, {}};
        }
        std::shared_ptr<Flight> flight = flight_;
        const bool started = !flight;
        const bool shared = flight && flight->key == key && (flight->asking || !mayAsk);
        if (started) {
            flight = std::make_shared<Flight>();
            flight->key = key;
            flight->asking = mayAsk;
            flight_ = flight;
            flights_.spawn(fly(flight, address->host, account, mayAsk));
        }
        // By reference: gcc 12 destroys a closure in a co_await twice, captures and all.
        AccessToken answer = co_await Answer<AccessToken>([&flight](auto reply) {
            if (flight->result) {
                reply(*flight->result);
            } else {
                flight->waiting.push_back(std::move(reply));
            }
        });
        if (started || shared) {
            co_return answer;
        }
        // Another account's, or one that could not ask the user: look again now it is over.
    }
}

void OAuthSignIn::refused(const net::Mailbox& mailbox, const Secret& token) {
    const std::optional<net::ServerAddress>& address = mailbox.address;
    if (!address) {
        return;
    }
    std::string key = mailbox.id;
    key += '@';
    key += address->host;
    if (const auto kept = accessTokens_.find(key);
        kept != accessTokens_.end() && kept->second.token == token) {
        accessTokens_.erase(kept);
    }
}

Task<> OAuthSignIn::fly(std::shared_ptr<Flight> flight, std::string host, std::string account,
                        bool mayAsk) {
    AccessToken answer = co_await obtain(std::move(host), std::move(account), flight->key, mayAsk);
    if (flight_ == flight) {
        flight_.reset();
    }
    flight->result = answer;
    std::vector<std::function<void(AccessToken)>> waiting;
    waiting.swap(flight->waiting);
    for (auto& reply : waiting) {
        reply(answer);
    }
}

Task<AccessToken> OAuthSignIn::obtain(std::string host, std::string account, std::string key,
                                      bool mayAsk) {
    ProviderChoice choice = providers_.forHost(host);
    if (!choice.provider) {
        co_return AccessToken{{}, choice.failure};
    }
    OAuthProvider& provider = *choice.provider;
    Secret refresh;
    if (const auto kept = refreshTokens_.find(key); kept != refreshTokens_.end()) {
        refresh = kept->second;
    } else {
        refresh = co_await store_.load(key);
        if (!refresh.empty()) {
            refreshTokens_[key] = refresh;
        }
    }
    if (!refresh.empty()) {
        std::string failure = co_await discover(provider, false);
        if (!failure.empty()) {
            co_return AccessToken{{}, std::move(failure)};
        }
        TokenGrant grant = co_await requests_.refresh(provider, refresh);
        if (!grant.accessToken.empty()) {
            co_return co_await keep(key, std::move(grant.accessToken),
                                    std::move(grant.refreshToken), grant.expiresIn);
        }
        endpoints_.erase(provider.issuer);
        if (grant.refused) {
            refreshTokens_.erase(key);
            co_await store_.forget(key);
            co_return AccessToken{{}, SignInRevokedText(), true};
        }
        co_return AccessToken{{}, RenewFailedText(grant.failure)};
    }
    if (!mayAsk) {
        co_return AccessToken{{}, SignInNeededText()};
    }
    std::string failure = co_await discover(provider, true);
    if (!failure.empty()) {
        co_return AccessToken{{}, std::move(failure)};
    }
    SignInOutcome outcome = co_await browser_.run(provider, account, host);
    if (outcome.accessToken.empty()) {
        co_return AccessToken{{}, outcome.failure};
    }
    co_return co_await keep(key, std::move(outcome.accessToken), std::move(outcome.refreshToken),
                            outcome.expiresIn);
}

Task<std::string> OAuthSignIn::discover(OAuthProvider& provider, bool fresh) {
    if (provider.issuer.empty()) {
        co_return std::string();
    }
    auto found = endpoints_.find(provider.issuer);
    if (fresh || found == endpoints_.end() || now_() - found->second.readAt >= kDiscoveryLife) {
        endpoints_.erase(provider.issuer);
        OAuthEndpoints discovered = co_await requests_.discover(provider.issuer);
        if (!discovered.failure.empty()) {
            co_return discovered.failure;
        }
        found =
            endpoints_.emplace(provider.issuer, Discovered{std::move(discovered), now_()}).first;
    }
    provider.authorizationUrl = found->second.endpoints.authorizationUrl;
    provider.tokenUrl = found->second.endpoints.tokenUrl;
    co_return std::string();
}

Task<AccessToken> OAuthSignIn::keep(std::string key, Secret access, Secret refresh,
                                    std::int64_t expiresIn) {
    Secret& kept = refreshTokens_[key];
    const bool rotated = !refresh.empty() && kept != refresh;
    if (rotated) {
        kept = std::move(refresh);
    }
    // Kept before it is ever used: the provider has let go of the one before. A keyring found
    // absent is asked again at each renewal, so one that appeared takes the file's token.
    if (!kept.empty() && (rotated || store_.keyringAbsent())) {
        co_await store_.save(key, kept);
    }
    const auto lifetime = std::chrono::seconds(expiresIn > 0 ? expiresIn : kAssumedLifetimeSeconds);
    accessTokens_[key] = {
        access, now_() + lifetime - std::min<std::chrono::seconds>(kExpiryMargin, lifetime / 4)};
    co_return AccessToken{std::move(access), {}};
}

}  // namespace breezel
