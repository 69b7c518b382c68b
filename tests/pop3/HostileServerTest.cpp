// Servers that lie, stall, flood or vanish. Each case walks a check of message 1 (connect,
// login, status, size, retrieval) and must stop at the call where the server misbehaved, with
// the right text, quickly and without a large allocation; afterwards the handle fails at once
// and Close still works.

#include <gtest/gtest.h>

#include <chrono>

#include "AllocationWatch.h"
#include "Pop3Harness.h"

namespace breezel::pop3 {
namespace {

// Where the hostile bytes start: the answer to this is the first thing the row scripts.
enum class Phase { Greeting, Capa, Stat, Top, List, Retr };
// What the server does after its bytes.
enum class Then { Nothing, Silence, Drop };

void ScriptUpTo(Pop3Harness& t, Phase phase) {
    if (phase == Phase::Greeting) {
        return;
    }
    if (phase == Phase::Capa) {
        t.server("+OK ready\r\n");
        t.client("CAPA\r\n");
        return;
    }
    t.scriptLogin();
    t.client("STAT\r\n");
    const char* const steps[][2] = {{"+OK 1 100\r\n", "TOP 1 0\r\n"},
                                    {"+OK\r\nSubject: s\r\n\r\n.\r\n", "LIST 1\r\n"},
                                    {"+OK 1 100\r\n", "RETR 1\r\n"}};
    for (int i = 0; i < static_cast<int>(phase) - static_cast<int>(Phase::Stat); ++i) {
        t.server(steps[i][0]);
        t.client(steps[i][1]);
    }
}

// The call that runs into the phase's answer, and the value and text it ended with.
std::string Walk(Pop3Harness& t, int& handle, int& value) {
    MailTexts texts;
    handle = RunNow(t.lib().NMailPop3Connect(net::MailboxAt(Pop3Harness::kHost)));
    // No case fails the connect; were it to, the login would fail with another text.
    if ((value = RunNow(t.lib().NMailPop3Authenticate(
             handle, "taro", net::Credential::ofPassword("secret"), 0))) <= 0) {
        return "login";
    }
    if ((value = RunNow(t.lib().NMailPop3GetMailStatus(handle, 1, texts, 0))) < 0) {
        return "status";
    }
    if ((value = RunNow(t.lib().NMailPop3GetMailSize(handle, 1))) < 0) {
        return "size";
    }
    if ((value = RunNow(t.lib().NMailPop3GetMail(handle, 1, texts, 0, 0))) < 0) {
        return "retrieve";
    }
    return "none";
}

std::string Lines(int count, std::size_t width) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += std::string(width, 'x') + "\r\n";
    }
    return out;
}

TEST(Pop3HostileServerTest, EveryMisbehaviourEndsTheCheckWithItsReason) {
    const std::string timeout = "サーバーから応答がありません（時間切れ）";
    const std::string closed = "サーバーとの接続が切れました";
    const std::string tooLong = "サーバーの行が長すぎます";
    const std::string tooManyLines = "サーバーの応答の行数が多すぎます";
    const std::string bad = "サーバーの応答が不正です: ";
    const std::string megabyte(1 << 20, 'A');
    struct Case {
        const char* name;
        Phase phase;
        std::string bytes;
        Then then;
        std::string text;
    };
    const Case cases[] = {
        {"garbage greeting", Phase::Greeting, "HTTP/1.1 400 Bad\x01\r\n", Then::Nothing,
         bad + "HTTP/1.1 400 Bad?"},
        {"greeting -ERR", Phase::Greeting, "-ERR too many connections\r\n", Then::Nothing,
         "サーバーが接続を断りました: too many connections"},
        {"silence at greeting", Phase::Greeting, "", Then::Silence, timeout},
        {"1 MB greeting without a line end", Phase::Greeting, megabyte, Then::Nothing, tooLong},
        {"disconnect after greeting", Phase::Greeting, "+OK ready\r\n", Then::Drop, closed},
        {"CAPA list without end", Phase::Capa, "+OK\r\n" + Lines(60, 8), Then::Nothing,
         tooManyLines},
        {"STAT count -1", Phase::Stat, "+OK -1 0\r\n", Then::Nothing, bad + "+OK -1 0"},
        {"STAT count x", Phase::Stat, "+OK x 0\r\n", Then::Nothing, bad + "+OK x 0"},
        {"STAT count above int32", Phase::Stat, "+OK 2147483648 0\r\n", Then::Nothing,
         bad + "+OK 2147483648 0"},
        {"silence at STAT", Phase::Stat, "", Then::Silence, timeout},
        {"TOP header without end", Phase::Top, "+OK\r\n" + Lines(200, 8), Then::Nothing,
         tooManyLines},
        {"LIST size -5", Phase::List, "+OK 1 -5\r\n", Then::Nothing, bad + "+OK 1 -5"},
        {"LIST size 99999999999", Phase::List, "+OK 1 99999999999\r\n", Then::Nothing,
         bad + "+OK 1 99999999999"},
        {"LIST size abc", Phase::List, "+OK 1 abc\r\n", Then::Nothing, bad + "+OK 1 abc"},
        {"LIST about another message", Phase::List, "+OK 2 100\r\n", Then::Nothing,
         bad + "+OK 2 100"},
        {"LIST neither +OK nor -ERR", Phase::List, "200 OK\r\n", Then::Nothing, bad + "200 OK"},
        {"RETR announcing 2 GB that never ends", Phase::Retr,
         "+OK 2000000000 octets\r\nSubject: s\r\n\r\n" + Lines(10, 100), Then::Silence, timeout},
        {"RETR streaming past the byte limit", Phase::Retr, "+OK\r\n" + Lines(100, 1000),
         Then::Nothing, "サーバーの応答が大きすぎます（上限 65536 バイト）"},
        {"disconnect in the middle of RETR", Phase::Retr, "+OK\r\nSubject: s\r\n\r\nhalf a li",
         Then::Drop, closed},
        {"1 MB line inside RETR", Phase::Retr, "+OK\r\n" + megabyte + "\r\n.\r\n", Then::Nothing,
         tooLong},
    };
    const char* const calls[] = {"login", "login", "login", "status", "size", "retrieve"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        ScriptUpTo(t, c.phase);
        t.server(c.bytes);
        if (c.then == Then::Silence) {
            t.talk().silence();
        } else if (c.then == Then::Drop) {
            t.talk().drop();
        }
        int handle = 0;
        int value = 0;
        std::string call;
        std::size_t largest = 0;
        const auto started = std::chrono::steady_clock::now();
        {
            AllocationWatch watch;
            call = Walk(t, handle, value);
            largest = watch.largest();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
        EXPECT_EQ(call, calls[static_cast<int>(c.phase)]);
        EXPECT_EQ(value, -1);
        EXPECT_EQ(t.message(), c.text);
        EXPECT_LT(largest, 16 * t.limits.maxLineBytes);
        EXPECT_LE(t.talk().largestReadLimit(), t.limits.maxLineBytes);
        EXPECT_LT(t.talk().reads(), 200);
        // The session is broken for good.
        t.expectDead(handle, c.text);
        EXPECT_EQ(RunNow(t.lib().NMailPop3Close(handle)), 1);
        EXPECT_TRUE(t.talk().closed());
    }
}

// Servers that answer, but too slowly for the session's time bounds, on the simulated clock: the
// retrieval is dripped in pieces, and the time at which the check ended tells which bound did it.
TEST(Pop3HostileServerTest, SlowServersAreGivenUpByTheFirstBoundToRunOut) {
    using namespace std::chrono_literals;
    const std::string message = "+OK\r\nSubject: s\r\n\r\n" + Lines(400, 98) + ".\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t piece;
        std::chrono::milliseconds every;
        int value;
        std::chrono::seconds end;
        std::string detail;
    };
    const Case cases[] = {
        {"a byte every 5 s", message, 1, 5s, -1, 30s, "less than 1 KB from the server in 30 s"},
        {"2 KB every 20 s: slow but honest", message, 2048, 20s, 1, 400s, ""},
        {"1 KB every 25 s, longer than a session may last", message + message, 1024, 25s, -1, 600s,
         "the check took longer than 10 min"},
        {"part of the header, then silence", "+OK\r\nSubject: s\r\n", 1000, 0s, -1, 30s,
         "no answer from the server within 30 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pop3Harness t;
        t.limits.maxMessageBytes = 1 << 20;
        ScriptUpTo(t, Phase::Retr);
        t.talk().drip(c.bytes, c.piece, c.every);
        int handle = 0;
        int value = 0;
        const std::string call = Walk(t, handle, value);
        EXPECT_EQ(call, c.value < 0 ? "retrieve" : "none");
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(t.talk().elapsed(), c.end);
        EXPECT_EQ(t.talk().readFailure(), c.detail);
        if (c.value < 0) {
            EXPECT_EQ(t.message(), "サーバーから応答がありません（時間切れ）");
        }
    }
}

// A check walks every message the server claims: once the server has hung up, each call must
// fail at once, and the check can see that the session is over.
TEST(Pop3HostileServerTest, AHugeCountFromAServerThatHungUpCostsOneFailedCall) {
    Pop3Harness t;
    t.scriptLoggedIn(2147483647);
    t.talk().drop();
    const int handle = t.logIn(2147483647);
    EXPECT_TRUE(t.lib().NMailPop3Connected(handle));
    MailTexts texts;
    EXPECT_EQ(RunNow(t.lib().NMailPop3GetMailStatus(handle, 1, texts, 0)), -1);
    for (const int n : {1, 2, 2147483647}) {
        t.expectDead(handle, "サーバーとの接続が切れました", n);
    }
}

}  // namespace
}  // namespace breezel::pop3
