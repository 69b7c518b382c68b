#include "imap/Response.h"

#include "common/AsciiText.h"

namespace breezel::imap {

bool Value::isAtom(std::string_view name) const {
    return kind == Kind::Atom && ascii::EqualNoCase(text, name);
}

std::optional<std::uint32_t> Value::number() const {
    return kind == Kind::Atom ? ParseNumber(text) : std::nullopt;
}

bool Response::isStatus() const {
    return kind != Kind::Continuation &&
           (name == "OK" || name == "NO" || name == "BAD" || name == "PREAUTH" || name == "BYE");
}

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace breezel::imap
