// A check: the count of INBOX's unseen messages from STATUS, hostile and slow servers, and the
// library's calls around it.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ImapHarness.h"

namespace breezel::imap {
namespace {

using namespace std::chrono_literals;

// Each row: the greeting ("" for the usual one, then the login with STATUS behind it) and what
// the server sends next; the check's value, its text and when it ended on the simulated clock.
TEST(ImapCheckTest, TheCountOrTheReasonThereIsNone) {
    enum class Then { Nothing, Silence, Drop };
    struct Case {
        const char* name;
        std::string greeting;
        std::string bytes;
        Then then;
        int value;
        std::string text;
        std::chrono::seconds end;
    };
    const std::string bad = "サーバーの応答が不正です: ";
    const std::string timeout = "サーバーから応答がありません（時間切れ）";
    // clang-format off
    const Case cases[] = {
        {"quoted mailbox name", "",
         "a1 OK\r\n* STATUS \"INBOX\" (MESSAGES 9 UNSEEN 3)\r\na2 OK\r\n", Then::Nothing, 3, "", 0s},
        {"mailbox name as a literal", "",
         "a1 OK\r\n* STATUS {5}\r\ninbox (UNSEEN 7)\r\na2 OK\r\n", Then::Nothing, 7, "", 0s},
        {"another mailbox's count is not INBOX's", "",
         "a1 OK\r\n* STATUS Trash (UNSEEN 1)\r\na2 OK done\r\n", Then::Nothing, -1,
         bad + "a2 OK done", 0s},
        {"count past what a check can hold", "",
         "a1 OK\r\n* STATUS INBOX (UNSEEN 2147483648)\r\na2 OK\r\n", Then::Nothing, -1,
         bad + "a2 OK", 0s},
        {"STATUS refused", "", "a1 OK\r\na2 NO [NONEXISTENT] No INBOX\r\n", Then::Nothing, -1,
         "[NONEXISTENT] No INBOX", 0s},
        {"huge literal announced, then nothing", "", "a1 OK\r\n* STATUS {999999999999}\r\n",
         Then::Silence, -1, "サーバーの応答が大きすぎます（上限 256 バイト）", 0s},
        {"BYE during the check", "", "a1 OK\r\n* BYE Server shutting down\r\n", Then::Drop, -1,
         "サーバーが接続を終了しました: Server shutting down", 0s},
        {"an answer to a tag never sent", "", "a9 OK\r\n", Then::Nothing, -1, bad + "a9 OK", 0s},
        {"a continuation nobody asked for", "", "+ more\r\n", Then::Nothing, -1, bad + "+ more",
         0s},
        {"silence after the login", "", "a1 OK\r\n", Then::Silence, -1, timeout, 30s},
        {"hang-up after the login", "", "a1 OK\r\n", Then::Drop, -1,
         "サーバーとの接続が切れました", 0s},
        {"greeting BYE", "* BYE Too many connections\r\n", "", Then::Drop, -1,
         "サーバーが接続を断りました: Too many connections", 0s},
        {"greeting of another protocol", "+OK POP3 ready\r\n", "", Then::Nothing, -1,
         bad + "+OK POP3 ready", 0s},
        {"silent greeting", "", "", Then::Silence, -1, timeout, 30s},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        if (!c.greeting.empty()) {
            t.server(c.greeting);
        } else if (!c.bytes.empty()) {
            t.greet();
            t.client(std::string(ImapHarness::kLogin) + "a2 STATUS INBOX (UNSEEN)\r\n");
        }
        t.server(c.bytes);
        if (c.then == Then::Silence) {
            t.talk().silence();
        } else if (c.then == Then::Drop) {
            t.talk().drop();
        }
        const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(ImapHarness::kServer)));
        EXPECT_GT(handle, 0);
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                       net::Credential::ofPassword("secret"), 0)),
                  c.value);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_EQ(t.talk().elapsed(), c.end);
        EXPECT_LE(t.talk().largestReadLimit(), t.limits.maxLineBytes);
        if (c.value < 0) {
            // Broken or refused, the session repeats its failure at once.
            const int reads = t.talk().reads();
            EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(
                          handle, "taro", net::Credential::ofPassword("secret"), 0)),
                      -1);
            EXPECT_EQ(t.message(), c.text);
            EXPECT_EQ(t.talk().reads(), reads);
        }
    }
}

// The count is the sum of INBOX's and the folders' unseen messages, one STATUS each in the
// login's write; a folder the server does not have is named as the user wrote it.
TEST(ImapCheckTest, TheFoldersCountWithInbox) {
    struct Case {
        const char* name;
        std::vector<std::string> folders;
        std::string statuses;  // after INBOX's, in the login's write
        std::string answers;   // after INBOX's
        int value;
        std::string text;
    };
    const std::string work = "a3 STATUS \"&TtVOiw-\" (UNSEEN)\r\n";
    const std::string lists = "a4 STATUS \"Lists/\\\"ruby\\\"\" (UNSEEN)\r\n";
    const Case cases[] = {
        {"two folders",
         {"仕事", "Lists/\"ruby\""},
         work + lists,
         "* STATUS \"&TtVOiw-\" (UNSEEN 4)\r\na3 OK\r\n"
         "* STATUS {12}\r\nLists/\"ruby\" (UNSEEN 5)\r\na4 OK\r\n",
         12,
         ""},
        {"INBOX and repeats once",
         {"inbox", "仕事", "仕事"},
         work,
         "* STATUS &TtVOiw- (MESSAGES 9 UNSEEN 0)\r\na3 OK\r\n",
         3,
         ""},
        {"a folder that does not exist",
         {"仕事", "Lists/\"ruby\""},
         work + lists,
         "a3 NO [NONEXISTENT] Mailbox doesn't exist: &TtVOiw-\r\n"
         "* STATUS {12}\r\nLists/\"ruby\" (UNSEEN 5)\r\na4 OK\r\n",
         -1,
         "フォルダー「仕事」がサーバーにありません"},
        {"a folder refused",
         {"仕事"},
         work,
         "a3 NO [NOPERM] <b>no</b>\r\n",
         -1,
         "フォルダー「仕事」の未読メールを数えられません: [NOPERM] <b>no</b>"},
        {"a folder's count missing",
         {"仕事"},
         work,
         "a3 OK\r\n",
         -1,
         "サーバーの応答が不正です: a3 OK"},
        {"a name no line can carry",
         {"仕事\r\nDELETE INBOX"},
         "",
         "",
         -1,
         "フォルダー名に使えない文字（改行など）があります"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.greet();
        if (!c.statuses.empty()) {
            t.client(std::string(ImapHarness::kLogin) + "a2 STATUS INBOX (UNSEEN)\r\n" +
                     c.statuses);
            t.server("a1 OK\r\n* STATUS INBOX (UNSEEN 3)\r\na2 OK\r\n" + c.answers);
        }
        net::Mailbox mailbox = net::MailboxAt(ImapHarness::kServer, "taro");
        mailbox.folders = c.folders;
        const int handle = RunNow(t.lib().NMailPop3Connect(mailbox));
        EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                       net::Credential::ofPassword("secret"), 0)),
                  c.value);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_TRUE(t.talk().finished());
    }
}

TEST(ImapCheckTest, AServerDrippingItsAnswerIsGivenUpByTheLowSpeedRule) {
    ImapHarness t;
    t.greet();
    t.client(std::string(ImapHarness::kLogin) + "a2 STATUS INBOX (UNSEEN)\r\n");
    t.talk().drip("a1 OK\r\n* STATUS INBOX (UNSEEN 1)\r\na2 OK\r\n", 1, 5s);
    EXPECT_EQ(t.check(), -1);
    EXPECT_EQ(t.message(), "サーバーから応答がありません（時間切れ）");
    EXPECT_EQ(t.talk().elapsed(), 30s);
    EXPECT_EQ(t.talk().readFailure(), "less than 1 KB from the server in 30 s");
}

TEST(ImapLibraryTest, ImapNamesOnlyAndTheConnectionGoesWhereTheNameSays) {
    struct Case {
        std::string server;
        std::uint16_t port;
        bool tls;
    };
    for (const Case& c :
         {Case{"imap://imap.example.jp", 143, false}, Case{"imaps://imap.example.jp", 993, true},
          Case{"IMAP://imap.example.jp:1143", 1143, false}}) {
        SCOPED_TRACE(c.server);
        ImapHarness t;
        t.greet();
        EXPECT_GT(RunNow(t.lib().NMailPop3Connect(net::MailboxAt(c.server))), 0);
        EXPECT_EQ(t.talk().host(), "imap.example.jp");
        EXPECT_EQ(t.talk().port(), c.port);
        EXPECT_EQ(t.talk().tlsAtConnect(), c.tls);
    }
    for (const std::string server : {"imap.example.jp", "pop3s://imap.example.jp", "imap://"}) {
        SCOPED_TRACE(server);
        ImapHarness t;
        EXPECT_EQ(RunNow(t.lib().NMailPop3Connect(net::MailboxAt(server))), -1);
        EXPECT_EQ(t.message(), "サーバー名が不正です: " + server);
        EXPECT_EQ(t.created(), 0u);
    }
    ImapHarness t;
    t.talk().failConnect(TransportCode::Refused);
    EXPECT_EQ(RunNow(t.lib().NMailPop3Connect(net::MailboxAt(ImapHarness::kServer))), -1);
    EXPECT_EQ(t.message(), "サーバーに接続できません: localhost:143");
}

TEST(ImapLibraryTest, MessageCallsFailAtOnceAndCloseLogsOutWithoutWaiting) {
    ImapHarness t;
    t.scriptCheck(3);
    t.client("a3 LOGOUT\r\n");
    EXPECT_EQ(t.lib().NMailInitializeWinSock(), 1);
    EXPECT_EQ(t.lib().NMailSetOption(1, 8192), 1);
    const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(ImapHarness::kServer)));
    EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                   net::Credential::ofPassword("secret"), -1)),
              3);
    EXPECT_TRUE(t.lib().countsOnly(handle));

    const std::string sent = t.talk().sent();
    const int reads = t.talk().reads();
    MailTexts texts{"h1", "h2", "h3", "h4"};
    const std::string text =
        "IMAP ではメッセージを一通ずつ読みません（数えるのは INBOX の未読メールだけです）";
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), -1);
    EXPECT_EQ(t.message(), text);
    EXPECT_EQ(texts.h1, "");
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMailSize(handle, 1)), -1);
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMail(handle, 1, texts, 0, 0)), -1);
    EXPECT_EQ(t.message(), text);
    EXPECT_EQ(t.talk().sent(), sent);
    EXPECT_TRUE(t.lib().NMailPop3Connected(handle));

    EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), 1);
    EXPECT_TRUE(t.talk().closed());
    EXPECT_EQ(t.talk().reads(), reads);
    EXPECT_FALSE(t.lib().NMailPop3Connected(handle));
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMailSize(handle, 1)), -1);
    EXPECT_EQ(t.message(), "接続番号が不正です: " + std::to_string(handle));
    EXPECT_EQ(t.lib().NMailEndWinSock(), 1);
}

TEST(ImapLibraryTest, ALogoutWaitWhenAskedForEndsAtItsAnswer) {
    ImapHarness t;
    t.limits.logoutTimeout = 5s;
    t.scriptCheck(3);
    t.client("a3 LOGOUT\r\n");
    t.server("* BYE Logging out\r\na3 OK Logout completed.\r\n");
    t.talk().silence();
    const int handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(ImapHarness::kServer)));
    EXPECT_EQ(RunNow(t.lib().NMailPop3Authenticate(handle, "taro",
                                                   net::Credential::ofPassword("secret"), 0)),
              3);
    EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), 1);
    EXPECT_EQ(t.talk().lastReadTimeout(), 5s);
    EXPECT_EQ(t.talk().elapsed(), 0s);
    EXPECT_TRUE(t.talk().closed());
}

}  // namespace
}  // namespace breezel::imap
