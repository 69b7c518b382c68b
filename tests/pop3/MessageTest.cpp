// The per-message calls: header texts from TOP and RETR, sizes, dot-unstuffing, refusals.

#include <gtest/gtest.h>

#include "Pop3Harness.h"

namespace breezel::pop3 {
namespace {

class Pop3MessageTest : public Pop3Test {};

TEST_F(Pop3MessageTest, HeaderTextsAreUnfoldedFirstFieldsOfTheHeaderOnly) {
    h.scriptLoggedIn(1);
    h.client("TOP 1 0\r\n");
    h.server(
        "+OK\r\n"
        "Received: from a\r\n"
        "SUBJECT: Meeting\r\n"
        "\tat noon  \r\n"
        "from:   Hanako <hanako@example.jp>\r\n"
        "Subject: second subject is ignored\r\n"
        "date: Mon, 1 Apr 2024 09:00:00 +0900\r\n"
        "Message-Id: <abc@example.jp>\r\n"
        "\r\n"
        ".\r\n");
    h.client("RETR 1\r\n");
    h.server(
        "+OK\r\n"
        "Subject: Meeting\r\n"
        "\r\n"
        "From: a body line, not a header\r\n"
        ".\r\n");
    const int handle = h.logIn(1);

    ASSERT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), 1);
    EXPECT_EQ(texts.h1, "Meeting\tat noon");
    EXPECT_EQ(texts.h2, "Hanako <hanako@example.jp>");
    EXPECT_EQ(texts.h3, "Mon, 1 Apr 2024 09:00:00 +0900");
    EXPECT_EQ(texts.h4, "<abc@example.jp>");

    ASSERT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), 1);
    EXPECT_EQ(texts.h1, "Meeting");
    EXPECT_EQ(texts.h2, "");
}

// Where a cut falls between characters is the header collector's own test.
TEST_F(Pop3MessageTest, LongHeaderValuesAreCutAt8191Bytes) {
    h.limits.maxLineBytes = 16 * 1024;
    h.scriptLoggedIn(1);
    h.client("TOP 1 0\r\n");
    h.server("+OK\r\nFrom: x" + std::string(9000, 'y') + "\r\n\r\n.\r\n");
    const int handle = h.logIn(1);
    ASSERT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), 1);
    EXPECT_EQ(texts.h2, "x" + std::string(8190, 'y'));
}

TEST_F(Pop3MessageTest, DotStuffedLinesAreNotTheEnd) {
    h.scriptLoggedIn(1);
    h.client("RETR 1\r\n");
    h.server("+OK\r\nSubject: dots\r\n\r\n..\r\n...\r\n..foo\r\n.\r\n");
    h.client("LIST 1\r\n");
    h.server("+OK 1 321\r\n");
    const int handle = h.logIn(1);
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), 1);
    EXPECT_EQ(texts.h1, "dots");
    // Had "..", "..." or "..foo" ended the message, LIST would read its leftovers.
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, 1)), 321);
    EXPECT_TRUE(h.talk().finished());
}

TEST_F(Pop3MessageTest, ServerRefusalOfOneMessageLeavesTheSessionUsable) {
    h.scriptLoggedIn(2);
    h.client("TOP 1 0\r\n");
    h.server("-ERR no such message\r\n");
    h.client("RETR 1\r\n");
    h.server("-ERR\r\n");
    h.client("LIST 2\r\n");
    h.server("+OK 2 0\r\n");
    const int handle = h.logIn(2);
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), -1);
    EXPECT_EQ(h.message(), "no such message");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), -1);
    EXPECT_EQ(h.message(), "サーバーがエラーを返しました");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, 2)), 0);
}

TEST_F(Pop3MessageTest, CallsOutsideTheMailboxSendNothing) {
    struct Case {
        int count;
        int number;
    };
    for (const Case c : {Case{2, 0}, Case{2, 3}, Case{2, -1}, Case{0, 1}}) {
        SCOPED_TRACE(std::to_string(c.count) + " messages, number " + std::to_string(c.number));
        Pop3Harness t;
        t.scriptLoggedIn(c.count);
        const int handle = t.logIn(c.count);
        t.expectRefused(handle, "メッセージ番号が範囲外です: " + std::to_string(c.number),
                        c.number);
    }
}

TEST_F(Pop3MessageTest, MessageCallsBeforeLoginSendNothing) {
    h.server("+OK ready\r\n");
    const int handle = RunNow(h.lib().NMailPop3Connect(net::MailboxAt(Pop3Harness::kHost)));
    h.expectRefused(handle, "サーバーにログインしていません");
    EXPECT_EQ(h.talk().sent(), "CAPA\r\n") << "only the query sent with the connection";
}

}  // namespace
}  // namespace breezel::pop3
