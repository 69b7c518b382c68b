#pragma once

// The server settings file vbmail.ini and the settings shared by the whole program.
//
// vbmail.ini has no sections, just "KEY=value" lines in a fixed order:
//   SMTP=<smtp host>  POP3=<pop3 host>  MAIL=<address>  APOP=<0 or 1>
// Keys are upper case and compared case-sensitively; values are taken as they
// are (no trimming) up to 100 characters. The account id and password are not
// stored here.

#include <cstdint>
#include <filesystem>
#include <string>

#include "net/Mailbox.h"

namespace breezel {

/// Settings read and changed by several parts of the program.
struct SharedSettings {
    std::string SmtpServer;
    std::string Pop3Server;
    std::string MailAddress;
    std::int16_t ApopFlag = 0;  ///< non-zero: log in with APOP
    std::string AccountId;
    std::string AccountPassword;
};

/// Reads SMTP/POP3/MAIL/APOP from file into s; a missing or unreadable file changes nothing.
void LoadServerSettings(SharedSettings& s, const std::filesystem::path& file);

/// The first mailbox as the settings hold it now: vbmail.ini's server name and APOP switch, and
/// the account as last read from the account file. The one place its server name is parsed.
net::Mailbox FirstMailbox(const SharedSettings& s);

/// What the first mailbox is called: its account ID, or its server name before there is one.
std::string FirstMailboxName(const SharedSettings& s);

/// Replaces file atomically with the four CRLF-ended server lines; false on failure.
bool SaveServerSettings(const SharedSettings& s, const std::filesystem::path& file);

}  // namespace breezel
