#include "qt/TokenStore.h"

#include <QTimer>

#include "qt/SignInTexts.h"
#include "settings/IniFile.h"

namespace breezel {

namespace {

constexpr std::string_view kTokenKey = "refresh";

}  // namespace

TokenStore::TokenStore(Keyring& keyring, std::filesystem::path file,
                       std::chrono::milliseconds limit, Tell tell)
    : keyring_(keyring), file_(std::move(file)), limit_(limit), tell_(std::move(tell)) {}

Task<Keyring::Reply> TokenStore::ask(Call call, bool evenIfAbsent) {
    if (absent_ && !evenIfAbsent) {
        co_return Keyring::Reply{Keyring::Outcome::Unavailable, {}};
    }
    Keyring::Reply reply = co_await Answer<Keyring::Reply>([this, &call](Keyring::Done done) {
        QTimer::singleShot(limit_, &timers_, [done] { done({Keyring::Outcome::Unavailable, {}}); });
        call(std::move(done));
    });
    absent_ = reply.outcome == Keyring::Outcome::Unavailable;
    co_return reply;
}

void TokenStore::tighten() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::perms perms = fs::status(file_, error).permissions();
    constexpr fs::perms others = fs::perms::group_all | fs::perms::others_all;
    if (error || perms == fs::perms::unknown || (perms & others) == fs::perms::none) {
        return;
    }
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write, error);
    if (!told_ && tell_) {
        told_ = true;
        tell_(TokenFileWidenedText(file_, static_cast<unsigned>(perms), !error));
    }
}

Secret TokenStore::fileToken(const std::string& key) {
    tighten();
    return Secret(IniFile(file_).readLongString(key, kTokenKey, ""));
}

void TokenStore::writeFile(const std::string& key, const Secret& token) {
    // An empty value clears the key; a file that never held a token is never made for it.
    if (!token.empty() || !fileToken(key).empty()) {
        IniFile(file_, FileAccess::OwnerOnly).writeString(key, kTokenKey, token.reveal());
    }
}

Task<Secret> TokenStore::load(std::string key) {
    const Secret inFile = fileToken(key);
    // Calls are named, not built in the co_await: gcc 12 destroys a closure there twice.
    const Call read = [this, &key](Keyring::Done done) { keyring_.read(key, std::move(done)); };
    const Keyring::Reply kept = co_await ask(read);
    if (kept.outcome == Keyring::Outcome::Unavailable) {
        co_return inFile;
    }
    if (inFile.empty()) {
        co_return kept.outcome == Keyring::Outcome::Done ? kept.secret : Secret();
    }
    // Written while no keyring answered, so newer than anything the keyring holds.
    const Call move = [this, &key, &inFile](Keyring::Done done) {
        keyring_.write(key, inFile, std::move(done));
    };
    const Keyring::Reply moved = co_await ask(move);
    if (moved.outcome == Keyring::Outcome::Done) {
        writeFile(key, {});
    }
    co_return inFile;
}

Task<> TokenStore::save(std::string key, Secret token) {
    const Call write = [this, &key, &token](Keyring::Done done) {
        keyring_.write(key, token, std::move(done));
    };
    const Keyring::Reply written = co_await ask(write, true);
    // Refused by a keyring that answers (the user said no), the token lives for this run only;
    // the file's older one goes either way, as providers revoke every token of a sign-in
    // when a replaced one comes back.
    writeFile(key, written.outcome == Keyring::Outcome::Unavailable ? token : Secret());
}

Task<> TokenStore::forget(std::string key) {
    const Call remove = [this, &key](Keyring::Done done) { keyring_.remove(key, std::move(done)); };
    co_await ask(remove);
    writeFile(key, {});
}

}  // namespace breezel
