#include "qt/OAuthProviders.h"

#include <string_view>

#include "common/AsciiText.h"
#include "qt/SignInTexts.h"
#include "settings/IniFile.h"

// Set by CMake for this file alone, so that a new client ID rebuilds only it.
#ifndef BREEZEL_GOOGLE_CLIENT_ID
#define BREEZEL_GOOGLE_CLIENT_ID ""
#endif
#ifndef BREEZEL_GOOGLE_CLIENT_SECRET
#define BREEZEL_GOOGLE_CLIENT_SECRET ""
#endif
#ifndef BREEZEL_MICROSOFT_CLIENT_ID
#define BREEZEL_MICROSOFT_CLIENT_ID ""
#endif

namespace breezel {

namespace {

struct BuiltIn {
    std::string_view section;
    std::string_view authorizationUrl;
    std::string_view tokenUrl;
    std::string_view scope;
    std::vector<std::string_view> hosts;
    bool hasSecret;
};

// Google gives a refresh token only with access_type=offline, and again after the first
// sign-in only with prompt=consent; Microsoft gives one for the offline_access scope.
const BuiltIn kGoogle{"google",
                      "https://accounts.google.com/o/oauth2/v2/auth",
                      "https://oauth2.googleapis.com/token",
                      "https://mail.google.com/",
                      {"imap.gmail.com", "pop.gmail.com"},
                      true};
const BuiltIn kMicrosoft{"microsoft",
                         "https://login.microsoftonline.com/common/oauth2/v2.0/authorize",
                         "https://login.microsoftonline.com/common/oauth2/v2.0/token",
                         "https://outlook.office.com/IMAP.AccessAsUser.All "
                         "https://outlook.office.com/POP.AccessAsUser.All offline_access",
                         {"outlook.office365.com", "imap-mail.outlook.com", "pop-mail.outlook.com",
                          "outlook.office.com"},
                         false};

constexpr std::string_view kDefaultScope = "openid email offline_access";

bool Serves(const BuiltIn& provider, std::string_view host) {
    for (const std::string_view served : provider.hosts) {
        if (ascii::EqualNoCase(served, host)) {
            return true;
        }
    }
    return false;
}

bool HasWord(std::string_view words, std::string_view word) {
    while (!words.empty()) {
        const std::size_t blank = words.find(' ');
        if (words.substr(0, blank) == word) {
            return true;
        }
        words = blank == std::string_view::npos ? std::string_view{} : words.substr(blank + 1);
    }
    return false;
}

}  // namespace

BuiltInClients BuiltInClients::FromBuild() {
    return {BREEZEL_GOOGLE_CLIENT_ID, BREEZEL_GOOGLE_CLIENT_SECRET, BREEZEL_MICROSOFT_CLIENT_ID};
}

OAuthProviders::OAuthProviders(const std::filesystem::path& dataFolder, BuiltInClients clients)
    : file_(dataFolder / "oauth.ini"), clients_(std::move(clients)) {}

ProviderChoice OAuthProviders::forHost(const std::string& host) const {
    const IniFile ini(file_);
    OAuthProvider provider;
    provider.issuer = ini.readString(host, "issuer", "");
    if (!provider.issuer.empty()) {
        provider.section = host;
        provider.scope = ini.readString(host, "scope", kDefaultScope);
        provider.clientId = ini.readString(host, "client_id", "");
        provider.clientSecret = ini.readString(host, "client_secret", "");
        // OpenID providers give offline access only to a sign-in that asked for consent.
        if (HasWord(provider.scope, "offline_access")) {
            provider.authorizationParameters.emplace_back("prompt", "consent");
        }
        if (provider.clientId.empty()) {
            return {std::nullopt, NoClientIdText(file_, host, false)};
        }
        return {std::move(provider), {}};
    }

    const BuiltIn* builtIn = Serves(kGoogle, host)      ? &kGoogle
                             : Serves(kMicrosoft, host) ? &kMicrosoft
                                                        : nullptr;
    if (builtIn == nullptr) {
        return {std::nullopt, NoProviderText(host, file_)};
    }
    const bool google = builtIn == &kGoogle;
    provider.section = builtIn->section;
    provider.authorizationUrl = builtIn->authorizationUrl;
    provider.tokenUrl = builtIn->tokenUrl;
    provider.scope = builtIn->scope;
    provider.clientId = ini.readString(provider.section, "client_id",
                                       google ? clients_.googleId : clients_.microsoftId);
    // A secret belongs to its client: the build's only goes with the build's ID.
    const bool fileClient = !ini.readString(provider.section, "client_id", "").empty();
    provider.clientSecret =
        ini.readString(provider.section, "client_secret",
                       google && !fileClient ? clients_.googleSecret : std::string());
    provider.redirectToLocalhost = !google;
    if (google) {
        provider.authorizationParameters = {{"access_type", "offline"}, {"prompt", "consent"}};
    }
    if (provider.clientId.empty()) {
        return {std::nullopt, NoClientIdText(file_, provider.section, builtIn->hasSecret)};
    }
    return {std::move(provider), {}};
}

}  // namespace breezel
