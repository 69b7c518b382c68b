#pragma once

// Where refresh tokens are kept between runs: the desktop's keyring, or, where no keyring
// answers, a file only its owner may read (mode 0600), as the account's password is kept. While
// the keyring works, no token is ever written to the file, and one found there from a run
// without a keyring moves into the keyring and leaves the file.
//
// Every keyring call is bounded: one that is not answered in time (a keyring being started by
// D-Bus activation can take 25 s to fail) or that finds no keyring makes the keyring count as
// absent, so that reads go straight to the file. Each save asks the keyring again, so that one
// that appears while Breezel runs holds the tokens from the next save on.
//
// A file found readable by others is made the owner's alone, and the user is told once.

#include <QObject>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "common/Secret.h"
#include "common/Task.h"
#include "qt/Keyring.h"

namespace breezel {

class TokenStore {
public:
    /// Hears a notice for the user (no secret in it).
    using Tell = std::function<void(const std::string&)>;

    /// file: the tokens' file while no keyring answers; limit: the bound of each keyring call.
    TokenStore(Keyring& keyring, std::filesystem::path file, std::chrono::milliseconds limit,
               Tell tell = {});

    /// The refresh token kept for key ("<user id>@<server host>"); empty when none is.
    Task<Secret> load(std::string key);
    /// Keeps token for key, in place of the one before.
    Task<> save(std::string key, Secret token);
    /// Forgets the token of key, wherever it was.
    Task<> forget(std::string key);

    /// Whether the keyring was last found absent; the file holds the tokens meanwhile.
    bool keyringAbsent() const { return absent_; }

private:
    using Call = std::function<void(Keyring::Done)>;
    /// One bounded keyring call; Unavailable while the keyring is absent, unless evenIfAbsent.
    Task<Keyring::Reply> ask(Call call, bool evenIfAbsent = false);
    /// Takes the file from anyone but its owner.
    void tighten();
    Secret fileToken(const std::string& key);
    void writeFile(const std::string& key, const Secret& token);

    Keyring& keyring_;
    std::filesystem::path file_;
    std::chrono::milliseconds limit_;
    Tell tell_;
    bool absent_ = false;
    bool told_ = false;
    // The context of the bounds' timers: none fires once the store is gone.
    QObject timers_;
};

}  // namespace breezel
