#include "mail/Credentials.h"

#include <utility>

#include "platform/SecretStore.h"
#include "platform/Services.h"
#include "platform/SignIn.h"

namespace breezel {

std::string NoPasswordText() {
    return "パスワードが保存されていません。メールボックスの一覧で設定してください";
}

Task<CredentialAnswer> Credentials::forLogin(net::Mailbox mailbox, bool mayAsk) {
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

Task<CredentialAnswer> Credentials::logIn(net::Mailbox mailbox, bool mayAsk, Attempt attempt) {
    for (int round = 0;; ++round) {
        CredentialAnswer answer = co_await forLogin(mailbox, mayAsk);
        if (!answer.credential) {
            co_return answer;
        }
        const LoginTry tried = co_await attempt(*answer.credential);
        if (tried == LoginTry::Done || round > 0 || !answer.credential->token()) {
            co_return CredentialAnswer{std::move(answer.credential), {}};
        }
        // Refused, likely expired: forgotten, so that the next round brings a new one.
        services_.signIn.refused(mailbox, answer.credential->secret);
    }
}

}  // namespace breezel
