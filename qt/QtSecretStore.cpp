#include "qt/QtSecretStore.h"

#include <chrono>
#include <utility>

#include "qt/QtKeyring.h"

namespace breezel {

namespace {

// As long as the sign-in waits for its keyring calls.
constexpr std::chrono::milliseconds kKeyringLimit{5000};

std::string ItemKey(const std::string& key) {
    return "mailbox/" + key;
}

}  // namespace

QtSecretStore::QtSecretStore(const std::filesystem::path& dataFolder, Keyring* keyring)
    : ownKeyring_(keyring != nullptr ? nullptr
                                     : std::make_unique<QtKeyring>(QStringLiteral("breezel"))),
      store_(keyring != nullptr ? *keyring : *ownKeyring_, dataFolder / "mailbox-secrets.ini",
             kKeyringLimit) {}

QtSecretStore::~QtSecretStore() = default;

Task<Secret> QtSecretStore::load(std::string key) {
    co_return Secret(co_await store_.load(ItemKey(key)));
}

Task<> QtSecretStore::save(std::string key, Secret password) {
    co_await store_.save(ItemKey(key), password.reveal());
}

Task<> QtSecretStore::forget(std::string key) {
    co_await store_.forget(ItemKey(key));
}

}  // namespace breezel
