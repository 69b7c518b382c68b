#pragma once

// Which OAuth2 provider signs in for a mail server, and as which client. Google and Microsoft are
// built in; any other provider is named in ★MailData/oauth.ini by a section for the mail server's
// host, with its issuer for OpenID discovery:
//
//   [google]                 client_id=…  client_secret=…   (Google's desktop clients have one)
//   [microsoft]              client_id=…
//   [mail.example.org]       issuer=https://id.example.org  client_id=…  client_secret=…  scope=…
//
// Client IDs are the file's, else the ones a packager set at build time; never another
// program's. The file is read at each sign-in, so an edit needs no restart.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace breezel {

/// Where and as which client to sign in for a mail server.
struct OAuthProvider {
    /// Its section in oauth.ini: google, microsoft or the mail server's host.
    std::string section;
    /// The base of OpenID discovery, for a provider of the file; empty for a built-in one.
    std::string issuer;
    /// Known at once for the built-in providers, by discovery for the others.
    std::string authorizationUrl;
    std::string tokenUrl;
    std::string scope;
    std::string clientId;
    /// Empty for clients that have none.
    std::string clientSecret;
    /// Further parameters of the browser's request (offline access: a refresh token).
    std::vector<std::pair<std::string, std::string>> authorizationParameters;
    /// The browser comes back to http://localhost:<port>/, the one loopback address the
    /// provider's registration offers, rather than to 127.0.0.1.
    bool redirectToLocalhost = false;
};

/// A provider, or the user's text saying what to set.
struct ProviderChoice {
    std::optional<OAuthProvider> provider;
    std::string failure;
};

/// The client IDs given at build time (CMake: BREEZEL_GOOGLE_CLIENT_ID,
/// BREEZEL_GOOGLE_CLIENT_SECRET, BREEZEL_MICROSOFT_CLIENT_ID); empty when none was.
struct BuiltInClients {
    std::string googleId;
    std::string googleSecret;
    std::string microsoftId;

    static BuiltInClients FromBuild();
};

/// The providers of the built-in table and of dataFolder/oauth.ini.
class OAuthProviders {
public:
    OAuthProviders(const std::filesystem::path& dataFolder, BuiltInClients clients);

    /// The provider for a mail server's host: the file's section for that host when it names an
    /// issuer, else the built-in table.
    ProviderChoice forHost(const std::string& host) const;

    /// The file of the user's client IDs and providers.
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    BuiltInClients clients_;
};

}  // namespace breezel
