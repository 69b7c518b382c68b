#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/Task.h"
#include "net/Credential.h"
#include "net/Mailbox.h"
#include "platform/DesktopAccounts.h"

namespace breezel {

struct Services;

/// What a login is given: a credential, or why there is none.
struct CredentialAnswer {
    std::optional<net::Credential> credential;
    /// Why there is none, as the user's text; empty when there is nothing to tell.
    std::string failure;
    /// The failure is news the user must hear even from an automatic check.
    bool tellAlways = false;
};

/// The failure of a further mailbox whose password is not kept.
std::string NoPasswordText();

/// How one login with a credential ended, as far as the credential is concerned.
enum class LoginTry {
    Done,                ///< logged in, or failed for a reason a new credential would not mend
    CredentialsRefused,  ///< the server refused the credential
};

/// The one place that gives a mailbox's login its credential, for the check and push alike: the
/// desktop's own account's for an IMAP mailbox it holds (fetched afresh for each login and kept
/// no longer), else the mailbox's password, or an OAuth2 token from the sign-in; a token the
/// server refuses is renewed once (by the desktop, for its own) and tried again, then the
/// refusal stands.
class Credentials {
public:
    explicit Credentials(const Services& services) : services_(services) {}

    /// Whether the desktop may hold mailbox's account (an IMAP mailbox with an ID): it then
    /// needs no password of its own.
    static bool MayBeTheDesktops(const net::Mailbox& mailbox);
    /// The desktop's own account for mailbox, whose credential comes before the mailbox's own;
    /// nothing when the desktop holds none.
    Task<std::optional<DesktopAccount>> desktopAccount(net::Mailbox mailbox);
    /// The credential for mailbox's next login. mayAsk: the sign-in may open the browser.
    Task<CredentialAnswer> forLogin(net::Mailbox mailbox, bool mayAsk);
    /// Logs in through attempt with mailbox's credential, renewing a refused token once. The
    /// answer without a credential when none could be had (attempt then never ran); otherwise
    /// the attempts' own outcome is the caller's.
    using Attempt = std::function<Task<LoginTry>(const net::Credential&)>;
    Task<CredentialAnswer> logIn(net::Mailbox mailbox, bool mayAsk, Attempt attempt);

private:
    /// The mailbox's own: its password, or a token from the sign-in.
    Task<CredentialAnswer> own(net::Mailbox mailbox, bool mayAsk);
    Task<CredentialAnswer> fromDesktop(DesktopAccount account);

    const Services& services_;
};

}  // namespace breezel
