#pragma once

// The further mailboxes, ★MailData/mailboxes.ini: one section each, written whole and atomically.
//
//   [mailbox-2]
//   name=仕事
//   server=imaps://imap.example.org
//   id=taro
//   on=1
//   folder=仕事
//   folder=Archive
//
// The section names the mailbox for good (its keyring item and its results follow it). Names
// and keys compare as in the other settings files; "folder" may repeat, one line a folder. No
// password is ever written here: it lives in the keyring.

#include <filesystem>
#include <string>
#include <vector>

#include "net/Mailbox.h"

namespace breezel {

/// The mailboxes the file holds, in its order, their server names parsed; none when it is
/// missing or unreadable. A section without a server name is skipped.
std::vector<net::Mailbox> LoadMailboxes(const std::filesystem::path& file);

/// Replaces file atomically with mailboxes (their passwords are not written); false on failure.
bool SaveMailboxes(const std::filesystem::path& file, const std::vector<net::Mailbox>& mailboxes);

/// A section name no mailbox of mailboxes has yet.
std::string NewMailboxKey(const std::vector<net::Mailbox>& mailboxes);

}  // namespace breezel
