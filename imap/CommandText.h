#pragma once

// Commands whose arguments are the user's strings (RFC 3501, section 4.3; RFC 7888): each goes
// as a quoted string when one can hold it, else as a literal. A synchronizing literal {n} must
// wait for the server's "+" before its bytes go out, since a server that refuses it would read
// them as a command; so such a command comes in pieces, each sent after a "+". With LITERAL+
// ({n+}) the whole command goes at once, and with LITERAL- so does a literal of up to 4096
// bytes.

#include <string>
#include <string_view>
#include <vector>

namespace breezel::imap {

/// Which literals the server takes without a "+" first.
enum class Literals {
    Synchronizing,     ///< none: every literal waits
    NonSynchronizing,  ///< LITERAL+: any literal
    Minus,             ///< LITERAL-: those of up to 4096 bytes
};

/// text, which must be printable ASCII, as a quoted string: '"' and '\\' escaped.
std::string Quoted(std::string_view text);

/// The pieces of command (e.g. "a2 LOGIN") followed by strings, each piece after the server's
/// "+" to the one before; the last ends the command with CRLF.
std::vector<std::string> CommandPieces(std::string_view command,
                                       const std::vector<std::string_view>& strings,
                                       Literals literals);

}  // namespace breezel::imap
