#include "settings/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/AsciiText.h"

namespace breezel {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips blanks and an optional sign; returns true for a minus sign.
bool SkipBlanksAndSign(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && ascii::IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    return negative;
}

}  // namespace

double LeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    const bool negative = SkipBlanksAndSign(text, pos);
    const std::size_t start = pos;
    bool nonZeroInteger = false;
    while (pos < text.size() && IsDigit(text[pos])) {
        nonZeroInteger = nonZeroInteger || text[pos] != '0';
        ++pos;
    }
    std::size_t digits = pos - start;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fractionStart = ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
        }
        digits += pos - fractionStart;
    }
    if (digits == 0) {
        return 0.0;
    }
    // from_chars does not accept a trailing '.', which adds nothing anyway.
    std::string_view number = text.substr(start, pos - start);
    if (number.back() == '.') {
        number.remove_suffix(1);
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Without an exponent only a huge integer part can overflow.
        value = nonZeroInteger ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int32_t LeadingInteger(std::string_view text) {
    std::size_t pos = 0;
    const bool negative = SkipBlanksAndSign(text, pos);
    // Accumulate the magnitude in 64 bits and stop growing past the int32 range,
    // so arbitrarily long digit strings cannot overflow.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (magnitude <= limit) {
            magnitude = magnitude * 10 + (text[pos] - '0');
        }
        ++pos;
    }
    if (negative) {
        return magnitude >= limit ? std::numeric_limits<std::int32_t>::min()
                                  : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= limit ? std::numeric_limits<std::int32_t>::max()
                              : static_cast<std::int32_t>(magnitude);
}

long long RoundHalfEven(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // Done by hand rather than with nearbyint, which obeys the current FPU rounding mode.
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    constexpr double twoPow63 = 9223372036854775808.0;
    if (rounded >= twoPow63) {
        return std::numeric_limits<long long>::max();
    }
    if (rounded < -twoPow63) {
        return std::numeric_limits<long long>::min();
    }
    return static_cast<long long>(rounded);
}

}  // namespace breezel
