// Pipelined message walks (RFC 2449 PIPELINING): requests for a window of messages go out in
// one write, answers are taken in order, and a caller leaving the order still gets its answer.

#include <gtest/gtest.h>

#include "Pop3Harness.h"

namespace breezel::pop3 {
namespace {

std::string Triple(int n) {
    const std::string s = std::to_string(n);
    return "TOP " + s + " 0\r\nLIST " + s + "\r\nRETR " + s + "\r\n";
}

std::string Answers(int n) {
    const std::string s = std::to_string(n);
    const std::string header = "Subject: Message " + s + "\r\n\r\n";
    return "+OK\r\n" + header + ".\r\n+OK " + s + " " + std::to_string(n * 100) + "\r\n+OK\r\n" +
           header + "body of " + s + "\r\n.\r\n";
}

class Pop3PipelineTest : public Pop3Test {};

TEST_F(Pop3PipelineTest, AWalkKeepsTheWindowFullWithFewWritesAndAnswersInTheRightCalls) {
    constexpr int kCount = 50;
    // Each message's answers follow its requests; how many writes carried them is counted below.
    h.scriptLoggedIn(kCount, "PIPELINING\r\n");
    for (int n = 1; n <= kCount; ++n) {
        h.client(Triple(n));
        h.server(Answers(n));
    }
    const int handle = h.logIn(kCount);
    const int loginWrites = h.talk().writes();

    for (int n = 1; n <= kCount; ++n) {
        SCOPED_TRACE(n);
        const std::string subject = "Message " + std::to_string(n);
        EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, n, texts, 0)), 1);
        EXPECT_EQ(texts.h1, subject);
        EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, n)), n * 100);
        EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, n, texts, 0, 0)), 1);
        EXPECT_EQ(texts.h1, subject);
    }
    const int walkWrites = h.talk().writes() - loginWrites;
    EXPECT_EQ(walkWrites, 1 + kCount - h.limits.pipelineWindow) << "a full window, then one each";
    EXPECT_EQ(loginWrites, 2);  // CAPA, then USER+PASS+STAT together
    EXPECT_TRUE(h.talk().finished());
    EXPECT_EQ(h.talk().sent().find("TOP 51"), std::string::npos);
}

TEST_F(Pop3PipelineTest, ACallerLeavingTheOrderStillGetsItsOwnAnswers) {
    h.scriptLoggedIn(3, "PIPELINING\r\n");
    h.client(Triple(1) + Triple(2) + Triple(3));
    h.server(Answers(1) + Answers(2) + Answers(3));
    h.client("LIST 2\r\n");  // asked out of order: alone, after the queued answers
    h.server("+OK 2 222\r\n");
    h.client(Triple(3));  // back to a status call: a new window from there
    h.server(Answers(3));
    h.client("RETR 1\r\n");
    h.server("+OK\r\nSubject: Message 1 again\r\n\r\n.\r\n");
    h.client("QUIT\r\n");
    h.server("+OK\r\n");
    const int handle = h.logIn(3);

    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), 1);
    EXPECT_EQ(texts.h1, "Message 1");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, 2)), 222);
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 3, texts, 0)), 1);
    EXPECT_EQ(texts.h1, "Message 3");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), 1);
    EXPECT_EQ(texts.h1, "Message 1 again");
    EXPECT_EQ(RunNow(h.lib().NMailPop3Close(handle)), 1);
    EXPECT_TRUE(h.talk().finished());
}

TEST_F(Pop3PipelineTest, ARefusedMessageInTheWindowKeepsTheRestInStep) {
    h.scriptLoggedIn(2, "PIPELINING\r\n");
    h.client(Triple(1) + Triple(2));
    h.server("-ERR message 1 is locked\r\n-ERR no such message\r\n-ERR gone\r\n" + Answers(2));
    const int handle = h.logIn(2);
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), -1);
    EXPECT_EQ(h.message(), "message 1 is locked");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, 1)), -1);
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), -1);
    EXPECT_EQ(h.message(), "gone");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 2, texts, 0)), 1);
    EXPECT_EQ(texts.h1, "Message 2");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, 2)), 200);
    EXPECT_EQ(h.talk().writes(), 3);
}

TEST_F(Pop3PipelineTest, WithoutTheCapabilityEachRequestWaitsForItsAnswer) {
    h.scriptLoggedIn(2, "USER\r\nTOP\r\n");
    for (int n = 1; n <= 2; ++n) {
        const std::string s = std::to_string(n);
        h.client("TOP " + s + " 0\r\n");
        h.server("+OK\r\nSubject: Message " + s + "\r\n\r\n.\r\n");
        h.client("LIST " + s + "\r\n");
        h.server("+OK " + s + " 1\r\n");
        h.client("RETR " + s + "\r\n");
        h.server("+OK\r\n.\r\n");
    }
    h.client("QUIT\r\n");
    h.server("+OK bye\r\n");
    const int handle = h.logIn(2);
    const int loginWrites = h.talk().writes();
    for (int n = 1; n <= 2; ++n) {
        EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, n, texts, 0)), 1);
        EXPECT_EQ(texts.h1, "Message " + std::to_string(n));
        EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, n)), 1);
        EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, n, texts, 0, 0)), 1);
    }
    EXPECT_EQ(RunNow(h.lib().NMailPop3Close(handle)), 1);
    EXPECT_EQ(loginWrites, 4);
    EXPECT_EQ(h.talk().writes() - loginWrites, 7);
    EXPECT_TRUE(h.talk().finished());
    EXPECT_TRUE(h.talk().closed());
    EXPECT_EQ(h.message(), "");
}

}  // namespace
}  // namespace breezel::pop3
