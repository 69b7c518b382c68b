#pragma once

// The small pieces of text both engines read the same way from a server's lines or a user's
// server name: decimal numbers and blank-separated words.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace breezel::net {

/// A decimal number of 1 to as many digits as max has, at most max, and nothing else: no sign,
/// no blanks, no overflow.
std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t max);

/// The words of text, separated by one or more blanks.
std::vector<std::string_view> Words(std::string_view text);

}  // namespace breezel::net
