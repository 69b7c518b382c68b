#pragma once

// Cutting UTF-8 text to a limit without ever splitting a character.
// A byte that does not start a well-formed sequence counts as one character
// of its own, so damaged text is cut predictably instead of being rejected.

#include <cstddef>
#include <string>
#include <string_view>

namespace breezel {

/// Longest prefix of at most maxBytes bytes that does not end inside a UTF-8 character.
std::string Utf8PrefixBytes(std::string_view text, std::size_t maxBytes);

/// The first maxChars characters (code points) of text.
std::string Utf8PrefixChars(std::string_view text, std::size_t maxChars);

}  // namespace breezel
