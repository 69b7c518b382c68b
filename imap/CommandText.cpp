#include "imap/CommandText.h"

#include <algorithm>
#include <cstdint>

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

}  // namespace

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

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            out += j <= n ? kDigits[(group >> (18 - 6 * j)) & 0x3F] : '=';
        }
    }
    return out;
}

std::string PlainMessage(std::string_view id, std::string_view password) {
    std::string message(1, '\0');
    message += id;
    message += '\0';
    message += password;
    return Base64(message);
}

}  // namespace breezel::imap
