#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Secret.h"
#include "common/Task.h"

namespace breezel {

/// One mail account that the desktop holds (its own settings' online accounts): where its IMAP
/// server is, who the user is there, and how it signs in. It carries no secret.
struct DesktopAccount {
    /// Names the account to the desktop; means nothing to anyone else.
    std::string id;
    /// The user's name and mail address, as the desktop shows them.
    std::string name;
    std::string email;
    /// The IMAP server as the desktop holds it: host, host:port or [v6]:port.
    std::string imapHost;
    /// The user name at the IMAP server; empty when the desktop names none (the address is).
    std::string imapUser;
    /// TLS from the first byte / STARTTLS after the greeting.
    bool imapTls = false;
    bool imapStartTls = false;
    /// Signs in with an OAuth2 access token; otherwise with a password.
    bool oauth2 = false;

    /// Whether this account is the one for user at an IMAP server at host and port: the host
    /// alike but for case, the port alike where the desktop names one, and user equal to the
    /// desktop's user name (or, without one, to the address but for case).
    bool serves(const std::string& host, std::uint16_t port, const std::string& user) const;
};

/// The desktop's own mail accounts (the ones its settings signed in to once), and their
/// credentials fetched fresh for each login. Nothing of a credential is kept: the caller uses
/// it for one login and lets it go. Without the desktop's account service every answer is "no
/// account", at once. Never blocks: every answer comes back to the event loop, within seconds.
class DesktopAccounts {
public:
    virtual ~DesktopAccounts() = default;
    /// The desktop's mail accounts that reach an IMAP server; none without the service.
    virtual Task<std::vector<DesktopAccount>> mailAccounts() = 0;
    /// The account's credential for one login: an access token for an OAuth2 account, the IMAP
    /// password for another; empty when the desktop gives none.
    virtual Task<Secret> credential(DesktopAccount account) = 0;
    /// The server refused the account's token: the desktop is asked to renew it. Whether it says
    /// it did (the next credential is then worth a try).
    virtual Task<bool> renew(DesktopAccount account) = 0;

    /// The account for user at an IMAP server at host and port that signs in as bearer says (a
    /// token, or else a password); nothing when the desktop holds none.
    Task<std::optional<DesktopAccount>> find(std::string host, std::uint16_t port, std::string user,
                                             bool bearer);
};

}  // namespace breezel
