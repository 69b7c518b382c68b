#pragma once

#include <memory>
#include <vector>

#include "platform/DesktopAccounts.h"

class QObject;

namespace breezel {

/// The desktop's mail accounts as GNOME Online Accounts holds them (org.gnome.OnlineAccounts on
/// the session bus): its objects' Account, Mail, OAuth2Based and PasswordBased interfaces. Every
/// call is asynchronous and bounded: the listing within 3 s, a credential or a renewal within
/// 5 s (the desktop may have to ask its provider). No bus, no service, an error or silence
/// all mean "no account" or "no credential", and leave nothing behind.
class GoaDesktopAccounts : public DesktopAccounts {
public:
    GoaDesktopAccounts();
    ~GoaDesktopAccounts() override;
    GoaDesktopAccounts(const GoaDesktopAccounts&) = delete;
    GoaDesktopAccounts& operator=(const GoaDesktopAccounts&) = delete;

    Task<std::vector<DesktopAccount>> mailAccounts() override;
    Task<Secret> credential(DesktopAccount account) override;
    Task<bool> renew(DesktopAccount account) override;

private:
    // Owns the watchers of the calls under way, so that no reply outlives the adapter.
    std::unique_ptr<QObject> calls_;
};

}  // namespace breezel
