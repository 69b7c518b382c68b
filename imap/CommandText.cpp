#include "imap/CommandText.h"

#include <cstddef>

namespace breezel::imap {

namespace {

// RFC 7888: the most a LITERAL- server takes without a "+".
constexpr std::size_t kMinusLiteralBytes = 4096;

// Printable ASCII only: a quoted string cannot hold 8-bit bytes, and a server may choke on
// the control characters it could.
bool Quotable(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::vector<std::string> CommandPieces(std::string_view command,
                                       const std::vector<std::string_view>& strings,
                                       Literals literals) {
    std::vector<std::string> pieces{std::string(command)};
    for (const std::string_view text : strings) {
        pieces.back() += ' ';
        if (Quotable(text)) {
            pieces.back() += Quoted(text);
            continue;
        }
        const bool waits = literals == Literals::Synchronizing ||
                           (literals == Literals::Minus && text.size() > kMinusLiteralBytes);
        pieces.back() += '{';
        pieces.back() += std::to_string(text.size());
        pieces.back() += waits ? "}\r\n" : "+}\r\n";
        if (waits) {
            pieces.emplace_back();
        }
        pieces.back() += text;
    }
    pieces.back() += "\r\n";
    return pieces;
}

}  // namespace breezel::imap
