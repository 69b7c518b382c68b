#pragma once

// The texts of IMAP's own failures; those of every protocol are in net/ErrorText.h.

#include <string>
#include <string_view>

#include "net/ErrorText.h"

namespace breezel::imap {

/// The server forbids logging in on this unencrypted connection (LOGINDISABLED) and offers no
/// way that it allows.
std::string LoginDisabledText();

/// A plain connection to another machine whose server offers no STARTTLS: no credential was
/// sent.
std::string NoEncryptionText();

/// A folder name that is not UTF-8 or holds a control character.
std::string BadFolderNameText();

/// The server has no folder called name (UTF-8).
std::string FolderMissingText(std::string_view name);

/// The server would not count the folder called name, with its text.
std::string FolderRefusedText(std::string_view name, std::string_view serverText);

/// A message call: an IMAP check counts unseen messages and reads none.
std::string NoMessageCallsText();

/// The server ended the session (BYE), with its text.
std::string ByeText(std::string_view serverText);

}  // namespace breezel::imap
