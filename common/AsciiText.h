#pragma once

#include <string>
#include <string_view>

// Small ASCII text helpers shared by the settings files and the mail library: protocol and
// file keywords are ASCII, so no locale may change how they compare.
namespace breezel::ascii {

/// A space or a tab.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// The text with its ASCII letters in upper case: how protocol keywords are compared.
inline std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = Upper(c);
    }
    return out;
}

/// The text without the leading and trailing characters that blank says are blanks.
constexpr std::string_view Trim(std::string_view text, bool (*blank)(char) = IsBlank) {
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

/// Equal when ASCII letters are compared without case.
constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

/// Whether text begins with prefix, ASCII letters compared without case.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace breezel::ascii
