#pragma once

// Mailbox names on the wire (RFC 3501, section 5.1.3): modified UTF-7. Printable ASCII stands
// for itself, but '&', which is "&-"; any other character goes as UTF-16 in base64 with ','
// for '/', no padding, between '&' and '-'. The user writes and reads names in UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace breezel::imap {

/// The wire form of a UTF-8 name; nothing when the name is not UTF-8 or holds a control
/// character, which no command line can carry.
std::optional<std::string> EncodeMailboxName(std::string_view utf8);

/// The UTF-8 form of a wire name; nothing when it is not modified UTF-7 as the RFC writes it
/// (an unended or empty-bodied shift other than "&-", bits left over, a lone surrogate, a
/// ASCII character shifted, or a byte outside printable ASCII).
std::optional<std::string> DecodeMailboxName(std::string_view wire);

}  // namespace breezel::imap
