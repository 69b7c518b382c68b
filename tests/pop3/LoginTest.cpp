// Login conversations: greeting, CAPA, STLS, APOP or USER/PASS, STAT.

#include <gtest/gtest.h>

#include "Pop3Harness.h"

namespace breezel::pop3 {
namespace {

class Pop3LoginTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(h.talk().deviation(), ""); }

    Pop3Harness h;
};

TEST_F(Pop3LoginTest, PlainDialogueSendsOneCommandPerWriteAndEndsWithQuit) {
    h.scriptLoggedIn(2, "USER\r\nTOP\r\n");
    h.client("TOP 1 0\r\n");
    h.server("+OK\r\nSubject: hello\r\nFrom: hanako@example.jp\r\n\r\n.\r\n");
    h.client("LIST 1\r\n");
    h.server("+OK 1 1200\r\n");
    h.client("RETR 1\r\n");
    h.server("+OK 1200 octets\r\nSubject: hello\r\n\r\nbody\r\n.\r\n");
    h.client("QUIT\r\n");
    h.server("+OK bye\r\n");

    int handle = 0;
    EXPECT_EQ(h.connectAndLogIn(handle), 2);
    MailTexts texts;
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), 1);
    EXPECT_EQ(texts.h1, "hello");
    EXPECT_EQ(texts.h2, "hanako@example.jp");
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailSize(handle, 1)), 1200);
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), 1);
    EXPECT_EQ(RunNow(h.lib().NMailPop3Close(handle)), 1);

    EXPECT_EQ(
        h.talk().sent(),
        "CAPA\r\nUSER taro\r\nPASS secret\r\nSTAT\r\nTOP 1 0\r\nLIST 1\r\nRETR 1\r\nQUIT\r\n");
    EXPECT_EQ(h.talk().writes(), 8);
    EXPECT_EQ(h.talk().host(), Pop3Harness::kHost);
    EXPECT_EQ(h.talk().port(), 110);
    EXPECT_FALSE(h.talk().tlsAtConnect());
    EXPECT_TRUE(h.talk().finished());
    EXPECT_TRUE(h.talk().closed());
    EXPECT_EQ(h.message(), "");
}

TEST_F(Pop3LoginTest, StlsComesBeforeCredentialsAndBytesBeforeTheHandshakeAreNeverUsed) {
    // The answer to STLS carries a forged CAPA answer in the same packet. Had the client read
    // it, it would believe in PIPELINING and batch its login into one write.
    const std::string injected = "+OK\r\nPIPELINING\r\n.\r\n";
    h.server("+OK POP3 ready\r\n");
    h.client("CAPA\r\n");
    h.server("+OK\r\nSTLS\r\nUSER\r\n.\r\n");
    h.client("STLS\r\n");
    h.server("+OK Begin TLS\r\n" + injected);
    h.talk().tls();
    h.client("CAPA\r\n");
    h.server("+OK\r\nUSER\r\n.\r\n");
    h.client("USER taro\r\n");
    h.server("+OK\r\n");
    h.client("PASS secret\r\n");
    h.server("+OK\r\n");
    h.client("STAT\r\n");
    h.server("+OK 1 50\r\n");

    int handle = 0;
    EXPECT_EQ(h.connectAndLogIn(handle), 1);
    EXPECT_EQ(h.talk().sent(), "CAPA\r\nSTLS\r\n<TLS>CAPA\r\nUSER taro\r\nPASS secret\r\nSTAT\r\n");
    EXPECT_EQ(h.talk().writes(), 6);
    EXPECT_EQ(h.talk().discardedAtTls(), injected.size());
    EXPECT_EQ(h.talk().tlsHost(), Pop3Harness::kHost);
}

TEST_F(Pop3LoginTest, OfferedTlsThatFailsNeverLeadsToCredentialsInClear) {
    struct Case {
        const char* name;
        std::string stlsAnswer;
        TransportStatus handshake;
        std::string text;
    };
    const Case cases[] = {
        {"refused",
         "-ERR TLS not available now\r\n",
         {},
         "サーバーが STLS を拒否しました: TLS not available now"},
        {"handshake fails",
         "+OK\r\n",
         {TransportCode::Tls, "certificate expired"},
         "TLS の確立に失敗しました: certificate expired"},
        {"silent after STLS", "", {}, "サーバーから応答がありません（時間切れ）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        t.server("+OK ready\r\n");
        t.client("CAPA\r\n");
        t.server("+OK\r\nSTLS\r\n.\r\n");
        t.client("STLS\r\n");
        t.server(c.stlsAnswer);
        if (!c.stlsAnswer.empty()) {
            t.talk().tls(c.handshake);
        }
        int handle = 0;
        EXPECT_EQ(t.connectAndLogIn(handle), -1);
        EXPECT_EQ(t.message(), c.text);
        // A second attempt repeats the reason and sends nothing either.
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro", "secret", 0)), -1);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().sent().find("USER"), std::string::npos);
        EXPECT_EQ(t.talk().sent().find("PASS"), std::string::npos);
        EXPECT_EQ(t.talk().deviation(), "");
    }
}

TEST_F(Pop3LoginTest, ImplicitTlsWithBadCertificateGivesAHandleWhoseLoginTellsWhy) {
    h.talk().failConnect(TransportCode::Tls, "self-signed certificate");
    const int handle = RunNow(h.lib().NMailPop3Connect("pop3s://pop.example.jp"));
    EXPECT_GT(handle, 0);
    EXPECT_TRUE(h.talk().tlsAtConnect());
    EXPECT_EQ(h.talk().port(), 995);
    EXPECT_EQ(RunNow(h.lib().NMailPop3Authenticate(handle, "taro", "secret", 0)), -1);
    EXPECT_EQ(h.message(), "TLS の確立に失敗しました: self-signed certificate");
    EXPECT_EQ(h.talk().sent(), "");
    EXPECT_EQ(RunNow(h.lib().NMailPop3Close(handle)), 1);
}

TEST_F(Pop3LoginTest, ApopSendsTheDigestOfTimestampAndSecret) {
    h.server("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n");
    h.client("CAPA\r\n");
    h.server("-ERR\r\n");
    h.client("APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n");
    h.server("+OK mrose's maildrop has 2 messages (320 octets)\r\n");
    h.client("STAT\r\n");
    h.server("+OK 2 320\r\n");

    const int handle = RunNow(h.lib().NMailPop3Connect(Pop3Harness::kHost));
    EXPECT_EQ(RunNow(h.lib().NMailPop3Authenticate(handle, "mrose", "tanstaaf", -1)), 2);
    EXPECT_TRUE(h.talk().finished());
}

TEST_F(Pop3LoginTest, RefusedBeforeSendingAnything) {
    struct Case {
        const char* name;
        std::string id;
        std::string password;
        int apop;
        std::string text;
    };
    const Case cases[] = {
        {"APOP without timestamp", "taro", "secret", -1,
         "APOP に必要なタイムスタンプがサーバーの挨拶にありません"},
        {"line break in the password", "taro", "secret\r\nDELE 1", 0,
         "ユーザー ID かパスワードに使えない文字（改行など）があります"},
        {"line break in the ID", "taro\nx", "secret", 0,
         "ユーザー ID かパスワードに使えない文字（改行など）があります"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        t.server("+OK ready, no timestamp\r\n");
        const int handle = RunNow(t.lib().NMailPop3Connect(Pop3Harness::kHost));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, c.id, c.password, c.apop)), -1);
        EXPECT_EQ(t.message(), c.text);
        // Only the capability query that goes out with the connection.
        EXPECT_EQ(t.talk().sent(), "CAPA\r\n");
    }
}

TEST_F(Pop3LoginTest, ServerRefusalTextPassesThroughAndSticksToTheHandle) {
    h.server("+OK Dovecot ready.\r\n");
    h.client("CAPA\r\n");
    h.server("-ERR\r\n");
    h.client("USER taro\r\n");
    h.server("+OK\r\n");
    h.client("PASS wrong\r\n");
    h.server("-ERR [AUTH] Authentication failed.\r\n");

    const int handle = RunNow(h.lib().NMailPop3Connect(Pop3Harness::kHost));
    EXPECT_EQ(RunNow(h.lib().NMailPop3Authenticate(handle, "taro", "wrong", 0)), -1);
    EXPECT_EQ(h.message(), "[AUTH] Authentication failed.");
    EXPECT_TRUE(h.lib().NMailPop3Connected(handle)) << "the link still works: QUIT goes out";
    MailTexts texts;
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), -1);
    EXPECT_EQ(h.message(), "[AUTH] Authentication failed.");
    EXPECT_EQ(h.talk().sent(), "CAPA\r\nUSER taro\r\nPASS wrong\r\n");
}

TEST_F(Pop3LoginTest, EmptyMailboxCountsZeroAndHasNoMessageToAskAbout) {
    h.scriptLoggedIn(0);
    int handle = 0;
    EXPECT_EQ(h.connectAndLogIn(handle), 0);
    const std::string sent = h.talk().sent();
    MailTexts texts;
    EXPECT_EQ(RunNow(h.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), -1);
    EXPECT_EQ(h.message(), "メッセージ番号が範囲外です: 1");
    EXPECT_EQ(h.talk().sent(), sent);
}

TEST_F(Pop3LoginTest, PipeliningBatchesTheLoginIntoOneWrite) {
    struct Case {
        const char* name;
        std::string greeting;
        int apop;
        std::string login;
        std::string answers;
        int result;
        std::string text;
    };
    const Case cases[] = {
        {"USER/PASS", "+OK ready\r\n", 0, "USER taro\r\nPASS secret\r\nSTAT\r\n",
         "+OK\r\n+OK\r\n+OK 3 999\r\n", 3, ""},
        {"APOP", "+OK ready <1.2@host>\r\n", -1,
         "APOP taro df68dac4efbd2209cc50ce36148b9eb1\r\nSTAT\r\n", "+OK\r\n+OK 4 999\r\n", 4, ""},
        {"first refusal wins", "+OK ready\r\n", 0, "USER taro\r\nPASS secret\r\nSTAT\r\n",
         "-ERR no such user\r\n-ERR no USER\r\n-ERR not logged in\r\n", -1, "no such user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        t.server(c.greeting);
        t.client("CAPA\r\n");
        t.server("+OK\r\nPIPELINING\r\n.\r\n");
        t.client(c.login);
        t.server(c.answers);
        t.client("QUIT\r\n");
        t.server("+OK\r\n");
        const int handle = RunNow(t.lib().NMailPop3Connect(Pop3Harness::kHost));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro", "secret", c.apop)),
                  c.result);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().writes(), 2);
        // Every answer was read: QUIT's answer is the last thing left.
        EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), 1);
        EXPECT_TRUE(t.talk().finished());
        EXPECT_EQ(t.talk().deviation(), "");
    }
}

}  // namespace
}  // namespace breezel::pop3
