#include "mail/Credentials.h"

#include <utility>

#include "platform/SecretStore.h"
#include "platform/Services.h"
#include "platform/SignIn.h"

namespace breezel {

namespace {
constexpr const char* kNoDesktopCredential =
    "デスクトップのオンラインアカウントからサインインできませんでした: "
    "設定の「オンラインアカウント」を確かめてください";
}  // namespace

std::string NoPasswordText() {
    return "パスワードが保存されていません。メールボックスの一覧で設定してください";
}

bool Credentials::MayBeTheDesktops(const net::Mailbox& mailbox) {
    return mailbox.address && mailbox.address->protocol == net::Protocol::Imap &&
           !mailbox.id.empty();
}

Task<std::optional<DesktopAccount>> Credentials::desktopAccount(net::Mailbox mailbox) {
    if (!MayBeTheDesktops(mailbox)) {
        co_return std::nullopt;
    }
    co_return co_await services_.desktopAccounts.find(mailbox.address->host, mailbox.address->port,
                                                      mailbox.id, mailbox.bearer());
}

Task<CredentialAnswer> Credentials::forLogin(net::Mailbox mailbox, bool mayAsk) {
    std::optional<DesktopAccount> desktop = co_await desktopAccount(mailbox);
    if (desktop) {
        co_return co_await fromDesktop(std::move(*desktop));
    }
    co_return co_await own(std::move(mailbox), mayAsk);
}

Task<CredentialAnswer> Credentials::own(net::Mailbox mailbox, bool mayAsk) {
    if (!net::HasAccount(mailbox)) {
        co_return CredentialAnswer{};  // nothing to log in with, and nothing new to tell
    }
    if (!mailbox.bearer() && mailbox.secretSource == net::SecretSource::Keyring) {
        Secret password = co_await services_.secrets.load(mailbox.key);
        if (password.empty()) {
            co_return CredentialAnswer{std::nullopt, NoPasswordText(), true};
        }
        co_return CredentialAnswer{
            net::Credential{net::Credential::Kind::Password, std::move(password)}, {}};
    }
    if (!mailbox.bearer()) {
        co_return CredentialAnswer{
            net::Credential{net::Credential::Kind::Password, std::move(mailbox.password)}, {}};
    }
    AccessToken token = co_await services_.signIn.accessToken(std::move(mailbox), mayAsk);
    if (token.token.empty()) {
        co_return CredentialAnswer{std::nullopt, std::move(token.failure), token.tellAlways};
    }
    co_return CredentialAnswer{
        net::Credential{net::Credential::Kind::Token, std::move(token.token)}, {}};
}

Task<CredentialAnswer> Credentials::fromDesktop(DesktopAccount account) {
    Secret secret = co_await services_.desktopAccounts.credential(account);
    if (secret.empty()) {
        co_return CredentialAnswer{std::nullopt, kNoDesktopCredential};
    }
    const auto kind =
        account.oauth2 ? net::Credential::Kind::Token : net::Credential::Kind::Password;
    co_return CredentialAnswer{net::Credential{kind, std::move(secret)}, {}};
}

Task<CredentialAnswer> Credentials::logIn(net::Mailbox mailbox, bool mayAsk, Attempt attempt) {
    const std::optional<DesktopAccount> desktop = co_await desktopAccount(mailbox);
    for (int round = 0;; ++round) {
        CredentialAnswer answer;
        if (desktop) {
            answer = co_await fromDesktop(*desktop);
        } else {
            answer = co_await own(mailbox, mayAsk);
        }
        if (!answer.credential) {
            co_return answer;
        }
        const LoginTry tried = co_await attempt(*answer.credential);
        if (tried == LoginTry::Done || round > 0 || !answer.credential->token()) {
            co_return CredentialAnswer{std::move(answer.credential), {}};
        }
        if (desktop) {
            // The desktop renews its own; one it will not renew leaves the refusal standing.
            const bool renewed = co_await services_.desktopAccounts.renew(*desktop);
            if (!renewed) {
                co_return CredentialAnswer{std::move(answer.credential), {}};
            }
        } else {
            // Refused, likely expired: forgotten, so that the next round brings a new one.
            services_.signIn.refused(mailbox, answer.credential->secret);
        }
    }
}

}  // namespace breezel
