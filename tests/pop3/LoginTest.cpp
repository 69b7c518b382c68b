// Login conversations: greeting, CAPA, STLS, APOP or USER/PASS or an OAuth2 token by AUTH
// (XOAUTH2, OAUTHBEARER), STAT; and which refusals refused the credentials.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Pop3Harness.h"
#include "net/Sasl.h"

namespace breezel::pop3 {
namespace {

const std::string kBearerText =
    "サーバーが OAuth2 でのログイン（OAUTHBEARER、XOAUTH2）に対応していません";
// XOAUTH2's and OAUTHBEARER's responses for taro with the token secret at pop.example.jp:110.
const std::string kTaroXOAuth2 = "dXNlcj10YXJvAWF1dGg9QmVhcmVyIHNlY3JldAEB";
const std::string kTaroOAuthBearer =
    "bixhPXRhcm8sAWhvc3Q9cG9wLmV4YW1wbGUuanABcG9ydD0xMTABYXV0aD1CZWFyZXIgc2VjcmV0AQE=";
// Dovecot's error challenge to a refused token: {"status":"401","schemes":"bearer","scope":"mail"}
const std::string kErrorChallenge =
    "+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJtYWlsIn0=\r\n";

// XOAUTH2's response for taro with token, for tokens too long to write out.
std::string TaroXOAuth2(const std::string& token) {
    std::string message = "user=taro";
    message += '\x01';
    message += "auth=Bearer ";
    message += token;
    message += "\x01\x01";
    return net::Base64(message);
}

class Pop3LoginTest : public Pop3Test {};

TEST_F(Pop3LoginTest, StlsComesBeforeCredentialsAndBytesBeforeTheHandshakeAreNeverUsed) {
    using Exchange = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::string server;
        std::string capa;  // over TLS
        Exchange login;
    };
    const Case cases[] = {
        {"password",
         Pop3Harness::kHost,
         "USER",
         {{"USER taro\r\n", "+OK\r\n"}, {"PASS secret\r\n", "+OK\r\n"}}},
        {"token",
         "pop3://;AUTH=*@pop.example.jp",
         "SASL XOAUTH2",
         {{"AUTH XOAUTH2 " + kTaroXOAuth2 + "\r\n", "+OK\r\n"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The answer to STLS carries a forged CAPA answer in the same packet. Had the client
        // read it, it would believe in PIPELINING and batch its login into one write, or take
        // OAUTHBEARER where the server offers it no more.
        const std::string injected = "+OK\r\nPIPELINING\r\nSASL OAUTHBEARER\r\n.\r\n";
        Pop3Harness t;
        t.server("+OK POP3 ready\r\n");
        t.client("CAPA\r\n");
        t.server("+OK\r\nSTLS\r\nUSER\r\n.\r\n");
        t.client("STLS\r\n");
        t.server("+OK Begin TLS\r\n" + injected);
        t.talk().tls();
        t.client("CAPA\r\n");
        t.server("+OK\r\n" + c.capa + "\r\n.\r\n");
        std::string sent = "CAPA\r\nSTLS\r\n<TLS>CAPA\r\n";
        for (const auto& [request, answer] : c.login) {
            t.client(request);
            t.server(answer);
            sent += request;
        }
        t.client("STAT\r\n");
        t.server("+OK 1 50\r\n");

        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server)));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                       net::Credential::ofPassword("secret"), 0)),
                  1);
        EXPECT_EQ(t.talk().sent(), sent + "STAT\r\n");
        EXPECT_EQ(t.talk().writes(), 4 + static_cast<int>(c.login.size()));
        EXPECT_EQ(t.talk().discardedAtTls(), injected.size());
        EXPECT_EQ(t.talk().tlsHost(), Pop3Harness::kHost);
    }
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
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                       net::Credential::ofPassword("secret"), 0)),
                  -1);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().sent().find("USER"), std::string::npos);
        EXPECT_EQ(t.talk().sent().find("PASS"), std::string::npos);
        EXPECT_FALSE(t.lib().loginRefused(handle));
    }
}

TEST_F(Pop3LoginTest, ImplicitTlsWithBadCertificateGivesAHandleWhoseLoginTellsWhy) {
    h.talk().failConnect(TransportCode::Tls, "self-signed certificate");
    const int handle = RunNow(h.lib().NMailPop3Connect(net::MailboxAt("pop3s://pop.example.jp")));
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
        std::string server = Pop3Harness::kHost;
        std::string capa = "";  // "": not read
    };
    const std::string badCharacters =
        "ユーザー ID かパスワードに使えない文字（改行など）があります";
    const Case cases[] = {
        {"APOP without timestamp", "taro", "secret", -1,
         "APOP に必要なタイムスタンプがサーバーの挨拶にありません"},
        {"line break in the password", "taro", "secret\r\nDELE 1", 0, badCharacters},
        {"line break in the ID", "taro\nx", "secret", 0, badCharacters},
        {"line break in the token", "taro", "tok\r\nDELE 1", 0, badCharacters,
         "pop3://;AUTH=XOAUTH2@pop.example.jp"},
        {"XOAUTH2 not offered", "taro", "tok", 0,
         "サーバーが XOAUTH2 でのログインに対応していません", "pop3://;AUTH=XOAUTH2@pop.example.jp",
         "+OK\r\nSASL PLAIN OAUTHBEARER\r\n.\r\n"},
        {"no CAPA, so no mechanism for *", "taro", "tok", 0, kBearerText,
         "pop3s://;AUTH=*@pop.example.jp", "-ERR unknown command\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        t.server("+OK ready, no timestamp\r\n");
        if (!c.capa.empty()) {
            t.client("CAPA\r\n");
            t.server(c.capa);
        }
        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server)));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(
                      handle, c.id, net::Credential::ofPassword(c.password), c.apop)),
                  -1);
        EXPECT_EQ(t.message(), c.text);
        // Only the capability query that goes out with the connection.
        EXPECT_EQ(t.talk().sent(), "CAPA\r\n");
        EXPECT_FALSE(t.lib().loginRefused(handle));
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
        bool loginRefused = false;
        std::string server = Pop3Harness::kHost;
    };
    const std::string pipelining = "+OK\r\nPIPELINING\r\n.\r\n";
    const std::string xoauth2 = "pop3://;AUTH=XOAUTH2@pop.example.jp";
    const std::string sasl = "+OK\r\nPIPELINING\r\nSASL PLAIN XOAUTH2 OAUTHBEARER\r\n.\r\n";
    // RFC 5034: the AUTH line with its initial response within 255 octets, CRLF included.
    const std::string fits(156, 't');
    const std::string tooLong(157, 't');
    const std::pair<std::string, std::string> stat = {"STAT\r\n", "+OK 3 999\r\n"};
    // clang-format off
    const Case cases[] = {
        {"APOP", "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n", "-ERR\r\n",
         "mrose", "tanstaaf", -1,
         {{"APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n", "+OK mrose's maildrop\r\n"},
          {"STAT\r\n", "+OK 2 320\r\n"}}, 2, ""},
        {"refusal text passes through", "+OK Dovecot ready.\r\n", "-ERR\r\n", "taro", "wrong", 0,
         {{"USER taro\r\n", "+OK\r\n"},
          {"PASS wrong\r\n", "-ERR [AUTH] Authentication failed.\r\n"}},
         -1, "[AUTH] Authentication failed.", true},
        {"pipelined USER/PASS", "+OK ready\r\n", pipelining, "taro", "secret", 0,
         {{"USER taro\r\nPASS secret\r\nSTAT\r\n", "+OK\r\n+OK\r\n+OK 3 999\r\n"}}, 3, ""},
        {"pipelined APOP", "+OK ready <1.2@host>\r\n", pipelining, "taro", "secret", -1,
         {{"APOP taro df68dac4efbd2209cc50ce36148b9eb1\r\nSTAT\r\n", "+OK\r\n+OK 4 999\r\n"}},
         4, ""},
        {"pipelined, first refusal wins", "+OK ready\r\n", pipelining, "taro", "secret", 0,
         {{"USER taro\r\nPASS secret\r\nSTAT\r\n",
           "-ERR no such user\r\n-ERR no USER\r\n-ERR not logged in\r\n"}}, -1, "no such user",
         true},
        {"pipelined, only STAT refused", "+OK ready\r\n", pipelining, "taro", "secret", 0,
         {{"USER taro\r\nPASS secret\r\nSTAT\r\n", "+OK\r\n+OK\r\n-ERR [IN-USE] locked\r\n"}},
         -1, "[IN-USE] locked"},
        {"XOAUTH2, initial response at 255 octets, not pipelined", "+OK ready\r\n", sasl,
         "taro", fits, 0,
         {{"AUTH XOAUTH2 " + TaroXOAuth2(fits) + "\r\n", "+OK\r\n"}, stat}, 3, "", false,
         xoauth2},
        {"XOAUTH2, one byte more: the response after the +", "+OK ready\r\n", sasl,
         "taro", tooLong, 0,
         {{"AUTH XOAUTH2\r\n", "+ \r\n"}, {TaroXOAuth2(tooLong) + "\r\n", "+OK\r\n"}, stat},
         3, "", false, xoauth2},
        {"* takes OAUTHBEARER, and APOP means nothing", "+OK ready <1.2@host>\r\n", sasl,
         "taro", "secret", -1,
         {{"AUTH OAUTHBEARER " + kTaroOAuthBearer + "\r\n", "+OK\r\n"}, stat}, 3, "", false,
         "pop3://;AUTH=*@pop.example.jp"},
        {"* takes XOAUTH2 else", "+OK ready\r\n", "+OK\r\nSASL XOAUTH2\r\n.\r\n",
         "taro", "secret", 0,
         {{"AUTH XOAUTH2 " + kTaroXOAuth2 + "\r\n", "+OK\r\n"}, stat}, 3, "", false,
         "pop3://;AUTH=*@pop.example.jp"},
        {"XOAUTH2 refused: an empty reply to the challenge, then the -ERR", "+OK ready\r\n",
         sasl, "taro", "secret", 0,
         {{"AUTH XOAUTH2 " + kTaroXOAuth2 + "\r\n", kErrorChallenge},
          {"\r\n", "-ERR [AUTH] Authentication failed.\r\n"}},
         -1, "[AUTH] Authentication failed.", true, xoauth2},
        {"OAUTHBEARER refused: 0x01 replies to the challenge", "+OK ready\r\n", sasl,
         "taro", "secret", 0,
         {{"AUTH OAUTHBEARER " + kTaroOAuthBearer + "\r\n", kErrorChallenge},
          {"AQ==\r\n", "-ERR [AUTH] Authentication failed.\r\n"}},
         -1, "[AUTH] Authentication failed.", true, "pop3://;AUTH=OAUTHBEARER@pop.example.jp"},
        {"a passing fault of the server's", "+OK ready\r\n", sasl, "taro", "secret", 0,
         {{"AUTH XOAUTH2 " + kTaroXOAuth2 + "\r\n", "-ERR [SYS/TEMP] Try later\r\n"}},
         -1, "[SYS/TEMP] Try later", false, xoauth2},
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
        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server)));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(
                      handle, c.id, net::Credential::ofPassword(c.password), c.apop)),
                  c.result);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.lib().loginRefused(handle), c.loginRefused);
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
