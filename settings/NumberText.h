#pragma once

// Numbers kept as text in settings files. Parsing is lenient the way the
// original settings files expect: whatever number the text starts with counts,
// and text without a number means 0. Independent of the C locale, because the
// GUI toolkit may switch the decimal separator under us.

#include <cstdint>
#include <string_view>

namespace breezel {

/// Leading decimal number after blanks ("1.5x" -> 1.5, ".5" -> 0.5, no exponent); none -> 0.
double LeadingNumber(std::string_view text);

/// Leading decimal integer after blanks, clamped to the int32 range; none -> 0.
std::int32_t LeadingInteger(std::string_view text);

/// Nearest integer with halves to even, saturating at the long long range; NaN -> 0.
long long RoundHalfEven(double value);

}  // namespace breezel
