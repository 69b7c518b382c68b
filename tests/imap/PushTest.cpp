// Push: opening INBOX read-only, waiting in IDLE for a message to arrive, the keep-alive that
// renews the IDLE and proves the link alive, the count of unseen messages, and closing.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ImapHarness.h"

namespace breezel::imap {
namespace {

using namespace std::chrono_literals;
using Result = PushOpened::Result;

const char* const kIdle = "a4 IDLE\r\n";
const char* const kBearer = "imap://;AUTH=XOAUTH2@localhost";
// XOAUTH2's response for taro with the token secret.
const std::string kTaroXOAuth2 = "dXNlcj10YXJvAWF1dGg9QmVhcmVyIHNlY3JldAEB";

// The outcomes of waits until one is Lost (at most five), e.g. "NewMail Lost".
std::string WaitUntilLost(PushSession& push) {
    std::string out;
    for (int i = 0; i < 5; ++i) {
        const PushNews news = RunNow(push.waitForNews());
        if (!out.empty()) {
            out += ' ';
        }
        out += news == PushNews::NewMail ? "NewMail" : "Lost";
        if (news == PushNews::Lost) {
            break;
        }
    }
    return out;
}

TEST(ImapPushTest, OpeningTellsWhereInboxStandsAndWaitsInIdle) {
    ImapHarness t;
    t.scriptWatching(5);
    t.client(kIdle);
    t.server("+ idling\r\n* 6 EXISTS\r\n");
    const PushOpened opened = t.open();
    EXPECT_EQ(opened.result, Result::Watching);
    EXPECT_EQ(opened.failure, "");
    EXPECT_EQ(opened.uidValidity, 1700u);
    EXPECT_EQ(opened.uidNext, 42u);
    EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::NewMail);
    EXPECT_EQ(t.talk().writes(), 2);
    // Still in IDLE: closing ends it and logs out, waiting for neither answer.
    const int reads = t.talk().reads();
    t.client("DONE\r\na5 LOGOUT\r\n");
    t.push().close();
    EXPECT_TRUE(t.talk().closed());
    EXPECT_EQ(t.talk().reads(), reads);
    EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::Lost);
}

TEST(ImapPushTest, OpeningSaysWhetherPushCanWorkAndWhetherTryingAgainCould) {
    struct Case {
        const char* name;
        std::string server;
        std::function<void(ImapHarness&)> script;
        Result result;
        std::string failure;
    };
    const Case cases[] = {
        {"a POP3 name", "pop.example.jp", {}, Result::Unsupported, ""},
        {"a malformed name", "imap://", {}, Result::Refused, "サーバー名が不正です: imap://"},
        {"no IDLE after the login", ImapHarness::kServer,
         [](ImapHarness& t) {
             t.scriptWatching(5, "IMAP4rev1 ESEARCH");
             t.client("a4 LOGOUT\r\n");
         },
         Result::Unsupported, ""},
        {"login refused", ImapHarness::kServer,
         [](ImapHarness& t) {
             t.greet();
             t.client(std::string(ImapHarness::kLogin) + "a2 CAPABILITY\r\na3 EXAMINE INBOX\r\n");
             t.server("a1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
         },
         Result::Refused, "[AUTHENTICATIONFAILED] Authentication failed."},
        {"token refused", kBearer,
         [](ImapHarness& t) {
             t.greet("IMAP4rev1 IDLE SASL-IR AUTH=XOAUTH2");
             t.client("a1 AUTHENTICATE XOAUTH2 " + kTaroXOAuth2 + "\r\n");
             t.server("+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJtYWlsIn0=\r\n");
             t.client("\r\n");
             t.server("a1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
         },
         Result::Refused, "[AUTHENTICATIONFAILED] Authentication failed."},
        {"token taken, then EXAMINE behind it and no IDLE", kBearer,
         [](ImapHarness& t) {
             t.greet("IMAP4rev1 SASL-IR AUTH=XOAUTH2");
             t.client("a1 AUTHENTICATE XOAUTH2 " + kTaroXOAuth2 + "\r\n");
             t.server("a1 OK\r\n");
             t.client("a2 CAPABILITY\r\na3 EXAMINE INBOX\r\n");
             t.server("* CAPABILITY IMAP4rev1\r\na2 OK\r\n* 5 EXISTS\r\na3 OK [READ-ONLY]\r\n");
             t.client("a4 LOGOUT\r\n");
         },
         Result::Unsupported, ""},
        {"STARTTLS refused", ImapHarness::kServer,
         [](ImapHarness& t) {
             t.greet("IMAP4rev1 STARTTLS IDLE");
             t.client("a1 STARTTLS\r\n");
             t.server("a1 BAD no\r\n");
         },
         Result::Refused, "サーバーが STARTTLS を拒否しました: no"},
        {"LOGINDISABLED", ImapHarness::kServer,
         [](ImapHarness& t) { t.greet("IMAP4rev1 IDLE LOGINDISABLED"); }, Result::Refused,
         "サーバーが暗号化されていない接続でのログインを許可していません。サーバー名を imaps:// "
         "で始めるか、STARTTLS に対応したサーバーを使ってください"},
        {"no STARTTLS on another machine", "imap://imap.example.jp",
         [](ImapHarness& t) { t.greet("IMAP4rev1 IDLE"); }, Result::Refused,
         "サーバーが暗号化（STARTTLS）に対応していないため、パスワードを送りませんでした。"
         "サーバー名を imaps:// で始めてください"},
        {"certificate refused", "imaps://imap.example.jp",
         [](ImapHarness& t) { t.talk().failConnect(TransportCode::Tls, "self-signed"); },
         Result::Refused, "TLS の確立に失敗しました: self-signed"},
        {"nobody listening", ImapHarness::kServer,
         [](ImapHarness& t) { t.talk().failConnect(TransportCode::Refused); }, Result::Failed,
         "サーバーに接続できません: localhost:143"},
        {"the link breaks", ImapHarness::kServer,
         [](ImapHarness& t) {
             t.greet();
             t.talk().drop();
         },
         Result::Failed, "サーバーとの接続が切れました"},
        {"greeting BYE", ImapHarness::kServer,
         [](ImapHarness& t) { t.server("* BYE Too busy\r\n"); }, Result::Failed,
         "サーバーが接続を断りました: Too busy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        if (c.script) {
            c.script(t);
        }
        const PushOpened opened = t.open(c.server);
        EXPECT_EQ(opened.result, c.result);
        EXPECT_EQ(opened.failure, c.failure);
        // Only a refused login or token is worth a new token.
        EXPECT_EQ(opened.credentialsRefused,
                  std::string(c.name).ends_with("refused") && c.failure.starts_with("[AUTH"));
        EXPECT_EQ(t.created(), c.script ? 1u : 0u);
        EXPECT_TRUE(t.talk().finished());
        EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::Lost);
    }
}

// INBOX holds 5 messages; each row is what the server says in IDLE, then BYE.
TEST(ImapPushTest, OnlyAGrowingCountOfMessagesIsNews) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string waits;
        std::uint32_t uidNext;  // expected after the waits: UIDNEXT 42 and the arrivals
    };
    const Case cases[] = {
        {"a message arrives", "* 6 EXISTS\r\n* 1 RECENT\r\n", "NewMail Lost", 43},
        {"flags, recent, keep-alives and warnings",
         "* 3 FETCH (FLAGS (\\Seen))\r\n* 1 RECENT\r\n* OK Still here\r\n* NO Disk nearly full\r\n",
         "Lost", 42},
        {"a message removed, the count confirmed", "* 2 EXPUNGE\r\n* 4 EXISTS\r\n", "Lost", 42},
        // The count fell to 4 with the EXPUNGE: 5 again means one came as another went.
        {"a message removed, then one arrives", "* 2 EXPUNGE\r\n* 5 EXISTS\r\n", "NewMail Lost",
         43},
        {"two arrivals, two waits", "* 2 EXPUNGE\r\n* 6 EXISTS\r\n* 6 EXISTS\r\n* 7 EXISTS\r\n",
         "NewMail NewMail Lost", 45},
        {"EXISTS without its number", "* EXISTS\r\n* 9 EXISTS\r\n", "Lost", 42},
        {"the server tells UIDNEXT itself", "* 6 EXISTS\r\n* OK [UIDNEXT 50] next\r\n",
         "NewMail Lost", 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.scriptWatching(5);
        t.client(kIdle);
        t.server("+ idling\r\n" + c.bytes + "* BYE Shutting down\r\n");
        EXPECT_EQ(t.open().result, Result::Watching);
        EXPECT_EQ(t.push().expectedUidNext(), 42u);
        EXPECT_EQ(WaitUntilLost(t.push()), c.waits);
        EXPECT_EQ(t.push().expectedUidNext(), c.uidNext);
        EXPECT_EQ(t.talk().writes(), 2);
        EXPECT_EQ(t.talk().elapsed(), 0s);
    }
}

// IDLE is renewed 3 minutes after it began, whatever the server said meanwhile, DONE and IDLE
// in one write; the old IDLE's answer is awaited for the response timeout.
TEST(ImapPushTest, TheKeepAliveRenewsIdleOnTimeAndNoticesADeadLink) {
    struct Case {
        const char* name;
        bool stillHere;  // "* OK Still here" 2 minutes into the IDLE
        bool answered;
        PushNews news;
        std::chrono::seconds end;
    };
    const Case cases[] = {
        {"quiet server", false, true, PushNews::NewMail, 4min},
        {"a line every 2 minutes does not postpone it", true, true, PushNews::NewMail, 4min},
        {"renewal unanswered", false, false, PushNews::Lost, 3min + 30s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.scriptWatching(5);
        t.client(kIdle);
        t.server("+ idling\r\n");
        if (c.stillHere) {
            t.talk().drip("* OK Still here\r\n", 100, 2min);
        }
        t.client("DONE\r\na5 IDLE\r\n");
        if (c.answered) {
            t.server("a4 OK Idle completed\r\n+ idling\r\n");
            t.talk().drip("* 6 EXISTS\r\n", 100, 1min);  // a minute into the new IDLE
        } else {
            t.talk().silence();
        }
        EXPECT_EQ(t.open().result, Result::Watching);
        EXPECT_EQ(RunNow(t.push().waitForNews()), c.news);
        EXPECT_EQ(t.talk().elapsed(), c.end);
        EXPECT_EQ(t.talk().writes(), 3);
    }
}

// After news the count leaves the IDLE in the same write. What the server told before the
// IDLE's end, however much, the count includes; what it tells while the count is in flight is
// one pending news for the next wait, however many lines it takes.
TEST(ImapPushTest, TheCountLeavesIdleInTheSameWriteAndTheServerDoesNotSetThePace) {
    struct Case {
        const char* name;
        std::string capabilities;
        std::string idle;    // what the server says in the IDLE, in one read
        std::string count;   // the command after DONE
        std::string answer;  // after the IDLE's answer
        int unseen;
        bool pending;       // the next wait ends at once
        std::string after;  // what the server says in the next IDLE
    };
    std::string flood;
    for (int n = 6; n <= 10005; ++n) {
        flood += "* " + std::to_string(n) + " EXISTS\r\n";
    }
    const std::string search = "a5 SEARCH RETURN (COUNT) UNSEEN\r\n";
    const std::string status = "a5 STATUS INBOX (UNSEEN)\r\n";
    const Case cases[] = {
        {"ESEARCH", "IMAP4rev1 IDLE ESEARCH", "* 6 EXISTS\r\n", search,
         "* ESEARCH (TAG \"a5\") COUNT 3\r\na5 OK Search completed\r\n", 3, false,
         "* 6 EXISTS\r\n* 7 EXISTS\r\n"},
        {"ESEARCH, none unseen", "IMAP4rev1 IDLE ESEARCH", "* 6 EXISTS\r\n", search,
         "* ESEARCH (TAG \"a5\")\r\na5 OK\r\n", 0, false, "* 7 EXISTS\r\n"},
        {"STATUS without ESEARCH", "IMAP4rev1 IDLE", "* 6 EXISTS\r\n", status,
         "* STATUS INBOX (UNSEEN 2)\r\na5 OK\r\n", 2, false, "* 7 EXISTS\r\n"},
        {"a flood of 10 000 in one read: one count", "IMAP4rev1 IDLE", flood, status,
         "* STATUS INBOX (UNSEEN 9)\r\na5 OK\r\n", 9, false,
         "* 10005 EXISTS\r\n* 10006 EXISTS\r\n"},
        {"two during the count: one pending news", "IMAP4rev1 IDLE", "* 6 EXISTS\r\n", status,
         "* 7 EXISTS\r\n* 8 EXISTS\r\n* STATUS INBOX (UNSEEN 2)\r\na5 OK\r\n", 2, true,
         "* 9 EXISTS\r\n"},
        {"the link fails", "IMAP4rev1 IDLE", "* 6 EXISTS\r\n", status, "", -1, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.scriptWatching(5, c.capabilities);
        t.client(kIdle);
        t.server("+ idling\r\n" + c.idle);
        t.client("DONE\r\n" + c.count);
        if (c.unseen < 0) {
            t.talk().drop();
        } else {
            t.server("a4 OK Idle completed\r\n" + c.answer);
            t.client("a6 IDLE\r\n");
            t.server("+ idling\r\n" + c.after);
        }
        EXPECT_EQ(t.open().result, Result::Watching);
        EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::NewMail);
        EXPECT_EQ(RunNow(t.push().countUnseen()), c.unseen);
        EXPECT_EQ(t.talk().writes(), 3);
        const int reads = t.talk().reads();
        if (c.unseen < 0) {
            EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::Lost);
            EXPECT_EQ(t.talk().reads(), reads);  // Lost at once
            continue;
        }
        EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::NewMail);
        if (c.pending) {
            EXPECT_EQ(t.talk().reads(), reads);
            EXPECT_EQ(t.talk().writes(), 3);
            EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::NewMail);
        }
        EXPECT_EQ(t.talk().writes(), 4);
        EXPECT_TRUE(t.talk().finished());
    }
}

// Where the server offers NOTIFY, new mail in a watched folder is news too: a rise from the
// counts told first, or any new mail where none were. Elsewhere INBOX alone is watched.
TEST(ImapPushTest, NotifyWatchesTheFoldersWhereOffered) {
    struct Case {
        const char* name;
        std::string capabilities;
        std::string notifyAnswer;  // "" when NOTIFY is not asked
        std::string idle;          // what the server says in the IDLE, then BYE
        std::string waits;
    };
    const std::string notified = "* STATUS \"&TtVOiw-\" (MESSAGES 3 UIDNEXT 7)\r\na4 OK\r\n";
    const Case cases[] = {
        {"a folder gains a message", "IMAP4rev1 IDLE NOTIFY", notified,
         "* STATUS \"&TtVOiw-\" (MESSAGES 4 UIDNEXT 8)\r\n", "NewMail Lost"},
        {"a folder named in UTF-8 gains one", "IMAP4rev1 IDLE NOTIFY", notified,
         "* STATUS {6}\r\n仕事 (MESSAGES 4 UIDNEXT 8)\r\n", "NewMail Lost"},
        {"told first without counts", "IMAP4rev1 IDLE NOTIFY", "a4 OK\r\n",
         "* STATUS \"&TtVOiw-\" (MESSAGES 4 UIDNEXT 8)\r\n", "NewMail Lost"},
        {"another mailbox is no news", "IMAP4rev1 IDLE NOTIFY", notified,
         "* STATUS Sent (MESSAGES 4 UIDNEXT 8)\r\n", "Lost"},
        {"a folder loses one", "IMAP4rev1 IDLE NOTIFY", notified,
         "* STATUS \"&TtVOiw-\" (MESSAGES 2 UIDNEXT 7)\r\n", "Lost"},
        {"INBOX still by EXISTS", "IMAP4rev1 IDLE NOTIFY", notified, "* 6 EXISTS\r\n",
         "NewMail Lost"},
        {"NOTIFY refused: INBOX alone", "IMAP4rev1 IDLE NOTIFY", "a4 BAD what\r\n",
         "* 6 EXISTS\r\n", "NewMail Lost"},
        {"no NOTIFY: INBOX alone", "IMAP4rev1 IDLE", "", "* 6 EXISTS\r\n", "NewMail Lost"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImapHarness t;
        t.scriptWatching(5, c.capabilities);
        if (!c.notifyAnswer.empty()) {
            t.client(
                "a4 NOTIFY SET STATUS (SELECTED (MessageNew MessageExpunge)) "
                "(PERSONAL (MessageNew MessageExpunge))\r\n");
            t.server(c.notifyAnswer);
        }
        t.client(c.notifyAnswer.empty() ? "a4 IDLE\r\n" : "a5 IDLE\r\n");
        t.server("+ idling\r\n" + c.idle + "* BYE Shutting down\r\n");
        net::Mailbox mailbox = net::MailboxAt(ImapHarness::kServer, "taro");
        mailbox.folders = {"仕事"};
        EXPECT_EQ(RunNow(t.push().open(mailbox, net::Credential::ofPassword("secret"))).result,
                  Result::Watching);
        EXPECT_EQ(WaitUntilLost(t.push()), c.waits);
        EXPECT_TRUE(t.talk().finished());
    }
}

// A server that offers IDLE and then refuses it refuses push; that is not a lost link, which
// would be tried again at once.
TEST(ImapPushTest, IdleRefusedRefusesPush) {
    for (const std::string answer : {"a4 BAD Unknown command\r\n", "a4 NO IDLE not allowed\r\n"}) {
        SCOPED_TRACE(answer);
        ImapHarness t;
        t.scriptWatching(5);
        t.client(kIdle);
        t.server(answer);
        EXPECT_EQ(t.open().result, Result::Watching);
        EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::Refused);
        const int reads = t.talk().reads();
        EXPECT_EQ(RunNow(t.push().waitForNews()), PushNews::Refused);
        EXPECT_EQ(RunNow(t.push().countUnseen()), -1);
        EXPECT_EQ(t.talk().reads(), reads);
        EXPECT_EQ(t.talk().writes(), 2);
        // The link still works: closing logs out.
        t.client("a5 LOGOUT\r\n");
        t.push().close();
        EXPECT_TRUE(t.talk().finished());
    }
}

}  // namespace
}  // namespace breezel::imap
