#pragma once

#include <QString>

#include "qt/Keyring.h"

namespace breezel {

/// The Secret Service keyring (GNOME Keyring, KWallet) through QtKeychain, its items named by
/// the service and the key. Never QtKeychain's own plain-text fallback: the token store has its
/// own, in a file only its owner may read.
class QtKeyring : public Keyring {
public:
    explicit QtKeyring(QString service);

    void read(const std::string& key, Done done) override;
    void write(const std::string& key, const Secret& secret, Done done) override;
    void remove(const std::string& key, Done done) override;

private:
    QString service_;
};

}  // namespace breezel
