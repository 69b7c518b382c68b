// Connections and handles: server names, connect failures, QUIT, several open sessions.

#include <gtest/gtest.h>

#include "Pop3Harness.h"

namespace breezel::pop3 {
namespace {

// The forms themselves are the server name parser's table; here, that the library goes where it
// says and takes POP3's names only.
TEST(Pop3ServerNameTest, TheLibraryConnectsWhereTheNameSaysAndOnlyForPop3) {
    struct Case {
        std::string server;
        std::string host;
        std::uint16_t port;
        bool tls;
    };
    const Case cases[] = {
        {"  pop.example.jp\t", "pop.example.jp", 110, false},
        {"[2001:db8::1]:1110", "2001:db8::1", 1110, false},
        {"pop3s://pop.example.jp", "pop.example.jp", 995, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        Pop3Harness t;
        t.server("+OK ready\r\n");
        EXPECT_GT(RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server))), 0);
        EXPECT_EQ(t.talk().host(), c.host);
        EXPECT_EQ(t.talk().port(), c.port);
        EXPECT_EQ(t.talk().tlsAtConnect(), c.tls);
    }
    for (const std::string server : {"host:0", "[::1]x", "imap://host", "imaps://host"}) {
        SCOPED_TRACE(server);
        Pop3Harness t;
        EXPECT_EQ(RunNow(t.lib().NMailPop3Connect(net::MailboxAt(server))), -1);
        EXPECT_EQ(t.message(), "サーバー名が不正です: " + server);
        EXPECT_EQ(t.created(), 0u);
    }
}

TEST(Pop3ConnectTest, NoConnectionMeansNoHandleButAReason) {
    struct Case {
        TransportCode code;
        std::string detail;
        std::string text;
    };
    const Case cases[] = {
        {TransportCode::HostNotFound, "", "サーバーが見つかりません: pop.example.jp"},
        {TransportCode::Refused, "", "サーバーに接続できません: pop.example.jp:110"},
        {TransportCode::Timeout, "", "サーバーに接続できません（時間切れ）: pop.example.jp:110"},
        {TransportCode::Other, "network is unreachable",
         "サーバーに接続できません: pop.example.jp:110: network is unreachable"},
        {TransportCode::Other, "ネットワークに\a到達できません",
         "サーバーに接続できません: pop.example.jp:110: ネットワークに到達できません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Pop3Harness t;
        t.talk().failConnect(c.code, c.detail);
        EXPECT_EQ(RunNow(t.lib().NMailPop3Connect(net::MailboxAt(Pop3Harness::kHost))), -1);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().reads(), 0);
    }
}

TEST(Pop3ConnectTest, StartUpCallsNeedNothingAndNoFailureMeansNoText) {
    Pop3Harness t;
    EXPECT_EQ(t.lib().NMailInitializeWinSock(), 1);
    EXPECT_EQ(t.lib().NMailSetOption(1, 8192), 1);
    EXPECT_EQ(t.lib().NMailEndWinSock(), 1);
    EXPECT_EQ(t.message(), "");
    EXPECT_EQ(t.created(), 0u);
}

TEST(Pop3CloseTest, QuitIsAwaitedOnlyBrieflyAndTheClosedHandleIsUnknownToEveryCall) {
    Pop3Harness t;
    t.scriptLoggedIn(1);
    t.client("QUIT\r\n");
    t.talk().silence();
    const int handle = t.logIn(1);
    EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), 1);
    EXPECT_EQ(t.talk().lastReadTimeout(), t.limits.quitTimeout);
    EXPECT_TRUE(t.talk().closed());
    const std::string unknown = "接続番号が不正です: " + std::to_string(handle);
    EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), -1);
    EXPECT_EQ(t.message(), unknown);
    t.expectDead(handle, unknown);
}

TEST(Pop3CloseTest, HandlesAreIndependent) {
    Pop3Harness t;
    t.scriptLoggedIn(2);
    t.client("LIST 2\r\n");
    t.server("+OK 2 222\r\n");
    Conversation& second = t.add();
    second.server("+OK other server\r\n");
    second.client("CAPA\r\n");
    second.drop();

    const int first = t.logIn(2);
    const int other = RunNow(t.lib().NMailPop3Connect(net::MailboxAt("other.example.jp:1110")));
    EXPECT_GT(other, 0);
    EXPECT_NE(other, first);
    EXPECT_EQ(
        RunNow(t.lib().NMailPop3Authenticate(other, "jiro", net::Credential::ofPassword("pw"), 0)),
        -1);
    EXPECT_EQ(t.message(), "サーバーとの接続が切れました");
    // The broken second session does not disturb the first.
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMailSize(first, 2)), 222);
    EXPECT_EQ(RunNow(t.lib().NMailPop3Close(other)), 1);
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMailSize(other, 2)), -1);
    EXPECT_EQ(second.host(), "other.example.jp");
}

}  // namespace
}  // namespace breezel::pop3
