#pragma once

#include <string>

#include "common/Secret.h"
#include "common/Task.h"

namespace breezel {

/// The passwords of the further mailboxes: kept by the desktop's keyring, or where none answers,
/// in a file only its owner may read. Never in a settings file anyone can read. Every answer
/// comes back to the event loop within bounded times.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    /// The password kept for the mailbox named key; empty when none is.
    virtual Task<Secret> load(std::string key) = 0;
    /// Keeps password for key, in place of the one before.
    virtual Task<> save(std::string key, Secret password) = 0;
    /// Forgets what is kept for key, wherever it was.
    virtual Task<> forget(std::string key) = 0;
};

}  // namespace breezel
