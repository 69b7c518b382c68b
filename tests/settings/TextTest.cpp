#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "settings/NumberText.h"
#include "settings/Utf8.h"

namespace breezel {
namespace {

TEST(Utf8, PrefixesNeverSplitACharacter) {
    const std::string a = "\xE3\x81\x82", emoji = "\xF0\x9F\x98\x80";
    struct Case {
        std::string text;
        std::size_t limit;
        std::string bytes, chars;  // expected Utf8PrefixBytes / Utf8PrefixChars
    };
    // clang-format off
    const Case cases[] = {
        {"abc", 2, "ab", "ab"},                 {a + a + a, 5, a, a + a + a},
        {emoji + "x", 3, "", emoji + "x"},
        {"a\xFF" + a, 2, "a\xFF", "a\xFF"},        // a stray byte is a character
        {"\xE3\x81", 1, "\xE3", "\xE3"},           // so is each byte of a cut-off one
        {"\xC0\x80z", 2, "\xC0\x80", "\xC0\x80"},  // and of an overlong form
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8PrefixBytes(c.text, c.limit), c.bytes) << c.text << " " << c.limit;
        EXPECT_EQ(Utf8PrefixChars(c.text, c.limit), c.chars) << c.text << " " << c.limit;
    }
}

TEST(NumberText, LeadingNumberAndInteger) {
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    constexpr auto min = std::numeric_limits<std::int32_t>::min();
    const std::string nines(40, '9');
    struct Case {
        std::string text;
        double number;
        std::int32_t integer;
    };
    // clang-format off
    const Case cases[] = {
        {"1.5", 1.5, 1},   {" 7x", 7, 7},      {"\t-3", -3, -3}, {"abc", 0, 0},   {"", 0, 0},
        {"1e3", 1, 1},     {".5", 0.5, 0},     {"5.", 5, 5},     {".", 0, 0},     {"- 1", 0, 0},
        {"+2.25", 2.25, 2},                    {"2147483648", 2147483648.0, max},
        {"-2147483649", -2147483649.0, min},   {nines, 1e40, max}, {"-" + nines, -1e40, min},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.number) << c.text;
        EXPECT_EQ(LeadingInteger(c.text), c.integer) << c.text;
    }
    EXPECT_TRUE(std::isinf(LeadingNumber(std::string(400, '9'))));
}

TEST(NumberText, RoundHalfEven) {
    constexpr auto max = std::numeric_limits<long long>::max();
    const std::pair<double, long long> cases[] = {
        {0.5, 0}, {1.5, 2},   {2.5, 2},     {-0.5, 0},          {-1.5, -2},
        {2.6, 3}, {-2.6, -3}, {1e300, max}, {-1e300, -max - 1}, {std::nan(""), 0},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    }
}

}  // namespace
}  // namespace breezel
