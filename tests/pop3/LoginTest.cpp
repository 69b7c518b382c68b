// Login conversations: greeting, CAPA, STLS, APOP or USER/PASS, STAT.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Pop3Harness.h"

namespace breezel::pop3 {
namespace {

class Pop3LoginTest : public Pop3Test {};

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

    h.logIn(1);
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
    // Each status is named: from a nested brace list, GCC 12 at -O3 warns that its string may
    // be destroyed uninitialized (a false positive).
    const Case cases[] = {
        {"refused", "-ERR TLS not available now\r\n", TransportStatus{},
         "サーバーが STLS を拒否しました: TLS not available now"},
        {"handshake fails", "+OK\r\n", TransportStatus{TransportCode::Tls, "certificate expired"},
         "TLS の確立に失敗しました: certificate expired"},
        {"silent after STLS", "", TransportStatus{}, "サーバーから応答がありません（時間切れ）"},
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
        const int handle = t.logIn(-1);
        EXPECT_EQ(t.message(), c.text);
        // A second attempt repeats the reason and sends nothing either.
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro", "secret", 0)), -1);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().sent().find("USER"), std::string::npos);
        EXPECT_EQ(t.talk().sent().find("PASS"), std::string::npos);
    }
}

TEST_F(Pop3LoginTest, ImplicitTlsWithBadCertificateGivesAHandleWhoseLoginTellsWhy) {
    h.talk().failConnect(TransportCode::Tls, "self-signed certificate");
    const int handle = RunNow(h.lib().NMailPop3Connect("pop3s://pop.example.jp"));
    EXPECT_GT(handle, 0);
    EXPECT_TRUE(h.talk().tlsAtConnect());
    EXPECT_EQ(h.talk().port(), 995);
    h.expectDead(handle, "TLS の確立に失敗しました: self-signed certificate");
    EXPECT_EQ(h.talk().sent(), "");
    EXPECT_EQ(RunNow(h.lib().NMailPop3Close(handle)), 1);
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

// Without PIPELINING each login command waits for its answer; with it they go out in one
// write and every answer is read, the first refusal being the one the user is told.
TEST_F(Pop3LoginTest, LoginsTakeTheirCountOrTheServersRefusalAndLeaveTheLinkWorking) {
    using Exchange = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::string greeting;
        std::string capa;
        std::string id, password;
        int apop;
        Exchange exchange;
        int result;
        std::string text;
    };
    const std::string pipelining = "+OK\r\nPIPELINING\r\n.\r\n";
    // clang-format off
    const Case cases[] = {
        {"APOP", "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n", "-ERR\r\n",
         "mrose", "tanstaaf", -1,
         {{"APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n", "+OK mrose's maildrop\r\n"},
          {"STAT\r\n", "+OK 2 320\r\n"}}, 2, ""},
        {"refusal text passes through", "+OK Dovecot ready.\r\n", "-ERR\r\n", "taro", "wrong", 0,
         {{"USER taro\r\n", "+OK\r\n"},
          {"PASS wrong\r\n", "-ERR [AUTH] Authentication failed.\r\n"}},
         -1, "[AUTH] Authentication failed."},
        {"pipelined USER/PASS", "+OK ready\r\n", pipelining, "taro", "secret", 0,
         {{"USER taro\r\nPASS secret\r\nSTAT\r\n", "+OK\r\n+OK\r\n+OK 3 999\r\n"}}, 3, ""},
        {"pipelined APOP", "+OK ready <1.2@host>\r\n", pipelining, "taro", "secret", -1,
         {{"APOP taro df68dac4efbd2209cc50ce36148b9eb1\r\nSTAT\r\n", "+OK\r\n+OK 4 999\r\n"}},
         4, ""},
        {"pipelined, first refusal wins", "+OK ready\r\n", pipelining, "taro", "secret", 0,
         {{"USER taro\r\nPASS secret\r\nSTAT\r\n",
           "-ERR no such user\r\n-ERR no USER\r\n-ERR not logged in\r\n"}}, -1, "no such user"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        t.server(c.greeting);
        t.client("CAPA\r\n");
        t.server(c.capa);
        for (const auto& [request, answer] : c.exchange) {
            t.client(request);
            t.server(answer);
        }
        t.client("QUIT\r\n");
        t.server("+OK\r\n");
        const int handle = RunNow(t.lib().NMailPop3Connect(Pop3Harness::kHost));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, c.id, c.password, c.apop)),
                  c.result);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().writes(), 1 + static_cast<int>(c.exchange.size()));
        EXPECT_TRUE(t.lib().NMailPop3Connected(handle));
        if (c.result < 0) {
            // The refusal sticks to the handle: message calls fail with it, sending nothing.
            t.expectRefused(handle, c.text);
        }
        // Every answer was read: QUIT's answer is the last thing left.
        EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), 1);
        EXPECT_TRUE(t.talk().finished());
    }
}

}  // namespace
}  // namespace breezel::pop3
