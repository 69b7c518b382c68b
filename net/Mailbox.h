#pragma once

// One mailbox that Breezel watches, as one value: built once from the settings (the first
// mailbox from vbmail.ini and the account file, the others from their own file) and handed down
// to the check, push, the sign-in and the engines, none of which reads the server name again.

#include <optional>
#include <string>
#include <vector>

#include "common/Secret.h"
#include "net/ServerAddress.h"

namespace breezel::net {

/// Where a mailbox's password is kept (a server name with ;AUTH= signs in with a token instead).
enum class SecretSource {
    AccountFile,  ///< the first mailbox: the account file, read afresh for each check
    Keyring,      ///< a further mailbox: the desktop keyring, else a file only its owner reads
};

struct Mailbox {
    /// Names the mailbox for good: empty for the first mailbox, else its section in the file.
    std::string key;
    /// What the user calls it, shown before its results and its failures.
    std::string name;
    /// The server name as the user wrote it.
    std::string server;
    /// The server name parsed: protocol, host, port, TLS and sign-in kind; none when unusable.
    std::optional<ServerAddress> address;
    /// The account ID (for a token sign-in, also the provider's sign-in hint).
    std::string id;
    SecretSource secretSource = SecretSource::AccountFile;
    /// The password when it comes with the mailbox (the account file's); else empty.
    Secret password;
    /// IMAP folders watched besides INBOX, as the user names them (UTF-8).
    std::vector<std::string> folders;
    bool enabled = true;
    /// POP3 only: log in with APOP.
    bool apop = false;

    bool first() const { return key.empty(); }
    /// Whether the login takes an OAuth2 token rather than a password.
    bool bearer() const { return address && address->bearer(); }

    bool operator==(const Mailbox&) const = default;
};

/// A mailbox named by its server name alone, with the account given: how the tools and the
/// tests name one.
Mailbox MailboxAt(std::string server, std::string id = {});

/// Whether mailbox has what a login needs from the user: an ID, and a password unless it signs
/// in with a token or keeps its password in the keyring.
bool HasAccount(const Mailbox& mailbox);

/// Whether mailbox takes part in checks and push: it is on, its server name is usable and it has
/// an account.
bool TakesPart(const Mailbox& mailbox);

}  // namespace breezel::net
