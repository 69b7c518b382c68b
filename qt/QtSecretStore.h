#pragma once

// The further mailboxes' passwords in the desktop's keyring (service "breezel", key
// "mailbox/<section>"), or in ★MailData/mailbox-secrets.ini at mode 0600 where no keyring
// answers: the same store, bounds and fallback as the sign-in's refresh tokens.

#include <filesystem>
#include <memory>

#include "platform/SecretStore.h"
#include "qt/Keyring.h"
#include "qt/TokenStore.h"

namespace breezel {

class QtSecretStore : public SecretStore {
public:
    /// dataFolder: ★MailData; keyring: the keyring to use (none: the desktop's).
    explicit QtSecretStore(const std::filesystem::path& dataFolder, Keyring* keyring = nullptr);
    ~QtSecretStore() override;

    Task<Secret> load(std::string key) override;
    Task<> save(std::string key, Secret password) override;
    Task<> forget(std::string key) override;

private:
    std::unique_ptr<Keyring> ownKeyring_;
    TokenStore store_;
};

}  // namespace breezel
