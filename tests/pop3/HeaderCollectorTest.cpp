// Cutting header values at a byte limit without splitting a UTF-8 character.

#include <gtest/gtest.h>

#include "platform/pop3/HeaderCollector.h"

namespace breezel::pop3 {
namespace {

TEST(Pop3HeaderCollectorTest, CutsOnlyAtCharacterBoundaries) {
    struct Case {
        std::string text;
        std::size_t limit;
        std::string cut;
    };
    const std::string a = "a";
    const std::string two = "\xC3\xA9";           // é
    const std::string three = "\xE3\x81\x82";     // あ
    const std::string four = "\xF0\x9F\x98\x80";  // an emoji
    const Case cases[] = {
        {a + a + a, 3, a + a + a},
        {a + a + a, 2, a + a},
        {a + two, 2, a},
        {a + two, 3, a + two},
        {three + three, 5, three},
        {three + three, 4, three},
        {three + three, 3, three},
        {three, 2, ""},
        {four + a, 3, ""},
        {four + a, 4, four},
        {"\x80\x80\x80\x80\x80\x80", 3, "\x80\x80\x80"},  // not UTF-8: a plain byte cut
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        EXPECT_EQ(HeaderCollector::cutUtf8(c.text, c.limit), c.cut);
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
