#pragma once

// Where refresh tokens are kept between runs: the desktop's keyring, or, where no keyring
// answers, a file only its owner may read (mode 0600), as the account's password is kept. While
// the keyring works, no token is ever written to the file, and one found there from a run
// without a keyring moves into the keyring and leaves the file.
//
// Every keyring call is bounded: one that is not answered in time (a keyring being started by
// D-Bus activation can take 25 s to fail) or that finds no keyring makes the keyring count as
// absent for the rest of the run, so later calls go straight to the file.

#include <QObject>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "common/Task.h"
#include "qt/Keyring.h"

namespace breezel {

class TokenStore {
public:
    /// file: the tokens' file while no keyring answers; limit: the bound of each keyring call.
    TokenStore(Keyring& keyring, std::filesystem::path file, std::chrono::milliseconds limit);

    /// The refresh token kept for key ("<user id>@<server host>"); empty when none is.
    Task<std::string> load(std::string key);
    /// Keeps token for key, in place of the one before.
    Task<> save(std::string key, std::string token);
    /// Forgets the token of key, wherever it was.
    Task<> forget(std::string key);

    /// Whether the keyring was found absent; the file holds the tokens from then on.
    bool keyringAbsent() const { return absent_; }

private:
    using Call = std::function<void(Keyring::Done)>;
    /// One bounded keyring call; Unavailable once the keyring is absent.
    Task<Keyring::Reply> ask(Call call);
    std::string fileToken(const std::string& key) const;
    void writeFile(const std::string& key, const std::string& token);

    Keyring& keyring_;
    std::filesystem::path file_;
    std::chrono::milliseconds limit_;
    bool absent_ = false;
    // The context of the bounds' timers: none fires once the store is gone.
    QObject timers_;
};

}  // namespace breezel
