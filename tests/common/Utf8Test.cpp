#include <gtest/gtest.h>

#include "common/Utf8.h"

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
        {emoji + "x", 3, "", emoji + "x"},       {emoji + "x", 4, emoji, emoji + "x"},
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

}  // namespace
}  // namespace breezel
