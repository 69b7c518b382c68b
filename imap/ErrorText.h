#pragma once

// The texts of IMAP's own failures; those of every protocol are in net/ErrorText.h.

#include <string>
#include <string_view>

#include "net/ErrorText.h"

namespace breezel::imap {

/// The server forbids logging in on this unencrypted connection (LOGINDISABLED) and offers no
/// way that it allows.
std::string LoginDisabledText();

/// A message call: an IMAP check counts unseen messages and reads none.
std::string NoMessageCallsText();

/// The server ended the session (BYE), with its text.
std::string ByeText(std::string_view serverText);

}  // namespace breezel::imap
