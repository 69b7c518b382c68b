// Login conversations: the capabilities from the greeting or asked for, STARTTLS before any
// credential, AUTHENTICATE PLAIN or LOGIN with quoted strings or literals, an OAuth2 token by
// AUTHENTICATE XOAUTH2 or OAUTHBEARER, and refusals: which of them refused the credentials.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ImapHarness.h"

namespace breezel::imap {
namespace {

const std::string kStatus = "a2 STATUS INBOX (UNSEEN)\r\n";
// The published examples: Google's of XOAUTH2 and RFC 7628's of OAUTHBEARER (its server is
// server.example.com on port 143).
const std::string kXOAuth2Id = "someuser@example.com";
const std::string kXOAuth2Token = "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg";
const std::string kXOAuth2 =
    "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5LnZGOWRmdDRxbVRjMk52YjNSbGNrQmhkSF"
    "JoZG1semRHRXVZMjl0Q2cBAQ==";
const std::string kOAuthBearerId = "user@example.com";
const std::string kOAuthBearerToken = "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==";
const std::string kOAuthBearer =
    "bixhPXVzZXJAZXhhbXBsZS5jb20sAWhvc3Q9c2VydmVyLmV4YW1wbGUuY29tAXBvcnQ9MTQzAWF1dGg9QmVhcmVyIH"
    "ZGOWRmdDRxbVRjMk52YjNSbGNrQmhiSFJoZG1semRHRXVZMjl0Q2c9PQEB";
// Dovecot's error challenge to a refused token: {"status":"401","schemes":"bearer","scope":"mail"}
const std::string kErrorChallenge =
    "+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJtYWlsIn0=\r\n";
const std::string kRefused = "a1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n";
const std::string kNoEncryption =
    "サーバーが暗号化（STARTTLS）に対応していないため、パスワードを送りませんでした。"
    "サーバー名を imaps:// で始めてください";

// Each row is the whole conversation of a check's login and count, ending in the login's value.
TEST(ImapLoginTest, TheCapabilitiesChooseHowTheCredentialsGo) {
    using Exchange = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::string greeting;
        std::string id, password;
        Exchange exchange;
        int result;
        std::string text;
        bool loginRefused = false;
        std::string server = ImapHarness::kServer;
    };
    const std::string counted = "a1 OK\r\n* STATUS INBOX (UNSEEN 2)\r\na2 OK\r\n";
    // TLS from the first byte, on the port of RFC 7628's example.
    const std::string xoauth2 = "imaps://;AUTH=XOAUTH2@server.example.com:143";
    const std::string oauthBearer = "imaps://;AUTH=OAUTHBEARER@server.example.com:143";
    const std::string anyBearer = "imaps://;AUTH=*@server.example.com:143";
    // Nothing goes behind a token: the count follows the login's OK.
    const std::pair<std::string, std::string> count = {kStatus,
                                                       "* STATUS INBOX (UNSEEN 2)\r\na2 OK\r\n"};
    // clang-format off
    const Case cases[] = {
        {"greeting's capabilities, LOGIN with quoted strings",
         "* OK [CAPABILITY IMAP4rev1] hi\r\n", "taro", "secret",
         {{ImapHarness::kLogin + kStatus, counted}}, 2, ""},
        {"capabilities asked at once, PLAIN with an initial response", "* OK hi\r\n",
         "taro", "secret",
         {{"a1 CAPABILITY\r\n", "* CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR\r\na1 OK\r\n"},
          {"a2 AUTHENTICATE PLAIN AHRhcm8Ac2VjcmV0\r\na3 STATUS INBOX (UNSEEN)\r\n",
           "a2 OK\r\n* STATUS INBOX (UNSEEN 0)\r\na3 OK\r\n"}}, 0, ""},
        {"PLAIN after the continuation", "* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] hi\r\n",
         "taro", "secret",
         {{"a1 AUTHENTICATE PLAIN\r\n", "+ \r\n"},
          {"AHRhcm8Ac2VjcmV0\r\n" + kStatus, counted}}, 2, ""},
        {"quotes and backslashes escaped", "* OK [CAPABILITY IMAP4rev1] hi\r\n",
         "taro", "se\"c\\ret",
         {{"a1 LOGIN \"taro\" \"se\\\"c\\\\ret\"\r\n" + kStatus, counted}}, 2, ""},
        {"8-bit password as LITERAL+", "* OK [CAPABILITY IMAP4rev1 LITERAL+] hi\r\n",
         "taro", "秘密",
         {{"a1 LOGIN \"taro\" {6+}\r\n秘密\r\n" + kStatus, counted}}, 2, ""},
        {"8-bit ID as LITERAL-", "* OK [CAPABILITY IMAP4rev1 LITERAL-] hi\r\n",
         "たろう", "secret",
         {{"a1 LOGIN {9+}\r\nたろう \"secret\"\r\n" + kStatus, counted}}, 2, ""},
        {"a literal waits for the continuation", "* OK [CAPABILITY IMAP4rev1] hi\r\n",
         "taro", "秘密",
         {{"a1 LOGIN \"taro\" {6}\r\n", "+ go ahead\r\n"}, {"秘密\r\n" + kStatus, counted}},
         2, ""},
        {"a literal refused keeps the password", "* OK [CAPABILITY IMAP4rev1] hi\r\n",
         "taro", "秘密",
         {{"a1 LOGIN \"taro\" {6}\r\n", "a1 NO [ALERT] Too long\r\n"}}, -1, "[ALERT] Too long",
         true},
        {"OK to half a command", "* OK [CAPABILITY IMAP4rev1] hi\r\n", "taro", "秘密",
         {{"a1 LOGIN \"taro\" {6}\r\n", "a1 OK Logged in\r\n"}}, -1,
         "サーバーの応答が不正です: a1 OK Logged in"},
        {"PREAUTH: no login", "* PREAUTH [CAPABILITY IMAP4rev1] welcome\r\n", "taro", "secret",
         {{"a1 STATUS INBOX (UNSEEN)\r\n", "* STATUS INBOX (UNSEEN 4)\r\na1 OK\r\n"}}, 4, ""},
        {"refusal as sent, markup and all, with the alerts before it",
         "* OK [CAPABILITY IMAP4rev1] hi\r\n", "taro", "secret",
         {{ImapHarness::kLogin + kStatus,
           "* OK [ALERT] <b>Password expires</b>\r\n"
           "a1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\na2 BAD Not logged in\r\n"}},
         -1, "[AUTHENTICATIONFAILED] Authentication failed. [ALERT] <b>Password expires</b>",
         true},
        {"BAD", "* OK [CAPABILITY IMAP4rev1] hi\r\n", "taro", "secret",
         {{ImapHarness::kLogin + kStatus, "a1 BAD <i>Invalid</i> arguments\r\n"}},
         -1, "<i>Invalid</i> arguments"},
        {"a passing fault of the server's", "* OK [CAPABILITY IMAP4rev1] hi\r\n", "taro", "secret",
         {{ImapHarness::kLogin + kStatus, "a1 NO [UNAVAILABLE] Try later\r\n"}},
         -1, "[UNAVAILABLE] Try later"},
        {"XOAUTH2 with an initial response",
         "* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN AUTH=XOAUTH2] hi\r\n",
         kXOAuth2Id, kXOAuth2Token,
         {{"a1 AUTHENTICATE XOAUTH2 " + kXOAuth2 + "\r\n", "a1 OK\r\n"}, count}, 2, "", false,
         xoauth2},
        {"OAUTHBEARER after the continuation",
         "* OK [CAPABILITY IMAP4rev1 AUTH=OAUTHBEARER] hi\r\n", kOAuthBearerId, kOAuthBearerToken,
         {{"a1 AUTHENTICATE OAUTHBEARER\r\n", "+ \r\n"}, {kOAuthBearer + "\r\n", "a1 OK\r\n"},
          count}, 2, "", false, oauthBearer},
        {"* takes OAUTHBEARER when offered",
         "* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2 AUTH=OAUTHBEARER] hi\r\n",
         kOAuthBearerId, kOAuthBearerToken,
         {{"a1 AUTHENTICATE OAUTHBEARER " + kOAuthBearer + "\r\n", "a1 OK\r\n"}, count}, 2, "",
         false, anyBearer},
        {"* takes XOAUTH2 else", "* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2] hi\r\n",
         kXOAuth2Id, kXOAuth2Token,
         {{"a1 AUTHENTICATE XOAUTH2 " + kXOAuth2 + "\r\n", "a1 OK\r\n"}, count}, 2, "", false,
         anyBearer},
        {"XOAUTH2 refused: an empty reply to the challenge, then the NO",
         "* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2] hi\r\n", kXOAuth2Id, kXOAuth2Token,
         {{"a1 AUTHENTICATE XOAUTH2 " + kXOAuth2 + "\r\n", kErrorChallenge}, {"\r\n", kRefused}},
         -1, "[AUTHENTICATIONFAILED] Authentication failed.", true, xoauth2},
        {"OAUTHBEARER refused: 0x01 replies to the challenge, then the NO",
         "* OK [CAPABILITY IMAP4rev1 AUTH=OAUTHBEARER] hi\r\n", kOAuthBearerId,
         kOAuthBearerToken,
         {{"a1 AUTHENTICATE OAUTHBEARER\r\n", "+\r\n"},
          {kOAuthBearer + "\r\n", kErrorChallenge}, {"AQ==\r\n", kRefused}},
         -1, "[AUTHENTICATIONFAILED] Authentication failed.", true, oauthBearer},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.server(c.greeting);
        for (const auto& [request, answer] : c.exchange) {
            t.client(request);
            t.server(answer);
        }
        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server)));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, c.id,
                                                       net::Credential::ofPassword(c.password), 0)),
                  c.result);
        EXPECT_EQ(t.message(), c.result < 0 ? c.text : "");
        EXPECT_EQ(t.lib().loginRefused(handle), c.loginRefused);
        EXPECT_EQ(t.talk().writes(), static_cast<int>(c.exchange.size()));
        EXPECT_TRUE(t.talk().finished());
        // Only a protocol failure breaks the link; a refusal leaves it working.
        EXPECT_EQ(t.lib().NMailPop3Connected(handle),
                  !c.text.starts_with("サーバーの応答が不正です"));
        if (c.result < 0) {
            // The refusal sticks to the handle, and nothing more goes out.
            EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(
                          handle, c.id, net::Credential::ofPassword(c.password), 0)),
                      -1);
            EXPECT_EQ(t.message(), c.text);
            EXPECT_EQ(t.talk().writes(), static_cast<int>(c.exchange.size()));
        }
    }
}

TEST(ImapLoginTest, StartTlsComesFirstAndBytesBeforeTheHandshakeAreNeverUsed) {
    using Exchange = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::string server;
        std::string capabilities;  // those told over TLS
        Exchange login;
    };
    const std::string status = "a4 STATUS INBOX (UNSEEN)\r\n";
    const std::string counted = "* STATUS INBOX (UNSEEN 1)\r\na4 OK\r\n";
    const Case cases[] = {
        {"password",
         "imap://imap.example.jp",
         "IMAP4rev1 IDLE",
         {{"a3 LOGIN \"taro\" \"secret\"\r\n" + status, "a3 OK\r\n" + counted}}},
        {"token",
         "imap://;AUTH=XOAUTH2@imap.example.jp",
         "IMAP4rev1 SASL-IR AUTH=XOAUTH2",
         {{"a3 AUTHENTICATE XOAUTH2 dXNlcj10YXJvAWF1dGg9QmVhcmVyIHNlY3JldAEB\r\n", "a3 OK\r\n"},
          {status, counted}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A forged capability list in the same packet as STARTTLS's answer: read, it would have
        // the client believe in AUTH=PLAIN, or in XOAUTH2 where the server offers it only later.
        const std::string forged = "* CAPABILITY IMAP4rev1 AUTH=PLAIN AUTH=XOAUTH2 SASL-IR\r\n";
        ImapHarness t;
        t.greet("IMAP4rev1 STARTTLS LOGINDISABLED");
        t.client("a1 STARTTLS\r\n");
        t.server("a1 OK Begin TLS negotiation now.\r\n" + forged);
        t.talk().tls();
        t.client("a2 CAPABILITY\r\n");
        t.server("* CAPABILITY " + c.capabilities + "\r\na2 OK\r\n");
        std::string sent = "a1 STARTTLS\r\n<TLS>a2 CAPABILITY\r\n";
        for (const auto& [request, answer] : c.login) {
            t.client(request);
            t.server(answer);
            sent += request;
        }
        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server)));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                       net::Credential::ofPassword("secret"), 0)),
                  1);
        EXPECT_EQ(t.talk().sent(), sent);
        EXPECT_EQ(t.talk().writes(), 2 + static_cast<int>(c.login.size()));
        EXPECT_EQ(t.talk().discardedAtTls(), forged.size());
        EXPECT_EQ(t.talk().tlsHost(), "imap.example.jp");
    }
}

// However the login fails before credentials would be safe to send, none are sent.
TEST(ImapLoginTest, NoCredentialGoesWhereItIsForbiddenOrWouldBreakTheLine) {
    struct Case {
        const char* name;
        std::string capabilities;
        std::string startTlsAnswer;  // "" when STARTTLS is not asked
        TransportStatus handshake;
        std::string id, password;
        std::string text;
        std::string server = ImapHarness::kServer;
    };
    const std::string badCharacters =
        "ユーザー ID かパスワードに使えない文字（改行など）があります";
    // Each status is named: from a nested brace list, GCC 12 at -O3 warns that its string may
    // be destroyed uninitialized (a false positive).
    const Case cases[] = {
        {"LOGINDISABLED without STARTTLS", "IMAP4rev1 LOGINDISABLED", "", TransportStatus{}, "taro",
         "secret",
         "サーバーが暗号化されていない接続でのログインを許可していません。サーバー名を imaps:// "
         "で始めるか、STARTTLS に対応したサーバーを使ってください"},
        {"STARTTLS refused", "IMAP4rev1 STARTTLS", "a1 NO [UNAVAILABLE] <b>later</b>\r\n",
         TransportStatus{}, "taro", "secret",
         "サーバーが STARTTLS を拒否しました: [UNAVAILABLE] <b>later</b>"},
        {"handshake fails", "IMAP4rev1 STARTTLS", "a1 OK\r\n",
         TransportStatus{TransportCode::Tls, "certificate expired"}, "taro", "secret",
         "TLS の確立に失敗しました: certificate expired"},
        {"LF in the password", "IMAP4rev1", "", TransportStatus{}, "taro",
         "secret\na2 DELETE INBOX", badCharacters},
        {"CR in the ID", "IMAP4rev1", "", TransportStatus{}, "ta\rro", "secret", badCharacters},
        {"NUL in the password", "IMAP4rev1 AUTH=PLAIN", "", TransportStatus{}, "taro",
         std::string("sec\0ret", 7), badCharacters},
        {"LF in the token", "IMAP4rev1 AUTH=XOAUTH2", "", TransportStatus{}, "taro",
         "tok\na2 DELETE INBOX", badCharacters, "imap://;AUTH=XOAUTH2@localhost"},
        {"0x01 in the ID of a token", "IMAP4rev1 AUTH=XOAUTH2", "", TransportStatus{},
         "taro\x01user=jiro", "tok", badCharacters, "imap://;AUTH=XOAUTH2@localhost"},
        {"XOAUTH2 not offered", "IMAP4rev1 AUTH=PLAIN AUTH=OAUTHBEARER", "", TransportStatus{},
         "taro", "tok", "サーバーが XOAUTH2 でのログインに対応していません",
         "imap://;AUTH=XOAUTH2@localhost"},
        {"OAUTHBEARER not offered", "IMAP4rev1 AUTH=XOAUTH2", "", TransportStatus{}, "taro", "tok",
         "サーバーが OAUTHBEARER でのログインに対応していません",
         "imap://;AUTH=OAUTHBEARER@localhost"},
        {"neither offered for *", "IMAP4rev1 AUTH=PLAIN", "", TransportStatus{}, "taro", "tok",
         "サーバーが OAuth2 でのログイン（OAUTHBEARER、XOAUTH2）に対応していません",
         "imap://;AUTH=*@localhost"},
        {"no STARTTLS on another machine", "IMAP4rev1 AUTH=PLAIN LOGINDISABLED", "",
         TransportStatus{}, "taro", "secret", kNoEncryption, "imap://imap.example.jp"},
        {"no STARTTLS for a token to another machine", "IMAP4rev1 AUTH=XOAUTH2", "",
         TransportStatus{}, "taro", "tok", kNoEncryption, "imap://;AUTH=XOAUTH2@192.0.2.7"},
        {"LOGINDISABLED where no mechanism is offered", "IMAP4rev1 LOGINDISABLED", "",
         TransportStatus{}, "taro", "tok",
         "サーバーが暗号化されていない接続でのログインを許可していません。サーバー名を imaps:// "
         "で始めるか、STARTTLS に対応したサーバーを使ってください",
         "imap://;AUTH=*@localhost"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.greet(c.capabilities);
        std::string sent;
        if (!c.startTlsAnswer.empty()) {
            t.client(sent = "a1 STARTTLS\r\n");
            t.server(c.startTlsAnswer);
            if (c.startTlsAnswer.starts_with("a1 OK")) {
                t.talk().tls(c.handshake);
                sent += "<TLS>";
            }
        }
        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server)));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, c.id,
                                                       net::Credential::ofPassword(c.password), 0)),
                  -1);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().sent(), sent);
        EXPECT_FALSE(t.lib().loginRefused(handle));
    }
}

}  // namespace
}  // namespace breezel::imap
