#include "net/Syntax.h"

namespace breezel::net {

std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t max) {
    std::size_t digits = 1;
    for (std::uint64_t rest = max / 10; rest > 0; rest /= 10) {
        ++digits;
    }
    if (text.empty() || text.size() > digits) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        // value * 10 + digit > max, asked without computing it: it could overflow.
        if (digit > max || value > (max - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const auto blank = text.find(' ');
        if (blank != 0) {
            words.push_back(text.substr(0, blank));
        }
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
    }
    return words;
}

}  // namespace breezel::net
