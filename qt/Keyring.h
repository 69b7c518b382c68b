#pragma once

// The desktop's secret store as the token store sees it: asynchronous, every answer by callback,
// so that a keyring that takes its time never holds the window up.

#include <functional>
#include <string>

#include "common/Secret.h"

namespace breezel {

class Keyring {
public:
    enum class Outcome {
        Done,         ///< read, written or removed
        NotFound,     ///< nothing kept under the key
        Unavailable,  ///< no keyring answers on this desktop
        Failed,       ///< the keyring answered no (access denied, for one)
    };
    struct Reply {
        Outcome outcome = Outcome::Failed;
        /// What a read found.
        Secret secret;
    };
    using Done = std::function<void(Reply)>;

    virtual ~Keyring() = default;
    /// The secret kept under key.
    virtual void read(const std::string& key, Done done) = 0;
    /// Keeps secret under key, in place of what was there.
    virtual void write(const std::string& key, const Secret& secret, Done done) = 0;
    /// Forgets what is kept under key.
    virtual void remove(const std::string& key, Done done) = 0;
};

}  // namespace breezel
