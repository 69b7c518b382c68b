// Header values kept within a byte limit without splitting a UTF-8 character.

#include <gtest/gtest.h>

#include "pop3/HeaderCollector.h"

namespace breezel::pop3 {
namespace {

TEST(Pop3HeaderCollectorTest, CutsValuesOnlyBetweenCharacters) {
    const std::string three = "\xE3\x81\x82";     // あ
    const std::string four = "\xF0\x9F\x98\x80";  // an emoji
    const std::pair<std::string, std::string> cases[] = {
        {"a" + three, "a" + three},  // fits exactly
        {"ab" + three, "ab"},
        {"abc" + three, "abc"},
        {"a" + four, "a"},
        {four + "a", four},
        {"\x80\x80\x80\x80\x80\x80", "\x80\x80\x80\x80"},  // not UTF-8: a plain byte cut
    };
    for (const auto& [value, kept] : cases) {
        HeaderCollector headers(4);
        headers.addLine("Subject: " + value);
        EXPECT_EQ(headers.texts().h1, kept) << value;
    }
}

TEST(Pop3HeaderCollectorTest, KeepsNoMoreThanTheLimitWhateverTheFolding) {
    HeaderCollector headers(10);
    headers.addLine("Subject: 0123456789");
    for (int i = 0; i < 1000; ++i) {
        headers.addLine(" continuation that goes on and on");
    }
    headers.addLine("From:");
    headers.addLine("   folded-only@example.jp  ");
    EXPECT_EQ(headers.texts().h1, "0123456789");
    EXPECT_EQ(headers.texts().h2, "folded-onl");
}

}  // namespace
}  // namespace breezel::pop3
