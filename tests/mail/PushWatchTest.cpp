// Push: when the connection opens and closes as the settings change, the server's word of new
// mail announced as a check's count, a word during a check, coming back after a lost link with
// the mail that came meanwhile, and a refused login left alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/MsgForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "mail/PushWatch.h"
#include "settings/AtomicFile.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Result = PushOpened::Result;

PushOpened Opened(Result result, std::uint32_t uidNext = 100, std::uint32_t uidValidity = 7) {
    PushOpened opened;
    opened.result = result;
    opened.uidValidity = uidValidity;
    opened.uidNext = uidNext;
    // Refused here means the credentials were.
    opened.credentialsRefused = result == Result::Refused;
    return opened;
}

class PushWatchTest : public ProgramFixture {
protected:
    /// Started with automatic checks every interval minutes, on an IMAP server with push.
    Program& startWatching(const std::string& interval = "5") {
        writeServerFile("POP3=imaps://imap.example\r\n");
        writeAccount("NAME=me\nNAME2=pw\n");
        writePreferences("NUMBER2=" + interval + "\n");
        push_.openings = {Opened(Result::Watching)};
        Program& program = start();
        log_.clear();
        return program;
    }
    int checks() const {
        return static_cast<int>(
            std::count(log_.begin(), log_.end(), "connect imaps://imap.example"));
    }
    const std::string kOpen = "open imaps://imap.example me pw";
};

TEST_F(PushWatchTest, NewMailIsCountedOnTheConnectionAndAnnouncedAsACheckFindsIt) {
    Program& program = startWatching();
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait"));
    EXPECT_TRUE(program.push().watching());

    push_.unseen = 4;
    ASSERT_TRUE(push_.tell(PushNews::NewMail));
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait", "count", "wait"));
    EXPECT_EQ(checks(), 0) << "no new session: the connection that was told counts";
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "4");
    EXPECT_TRUE(program.hasForm1()) << "the alert follows the board";

    // Nothing unseen (read elsewhere meanwhile): nothing to tell.
    program.closeMsgForm();
    push_.unseen = 0;
    push_.tell(PushNews::NewMail);
    EXPECT_FALSE(program.hasMsgForm());
}

TEST_F(PushWatchTest, NewsDuringACheckGivesOneCheckAfterItNotOneEach) {
    Program& program = startWatching();
    mail_.latencyMs = 100;
    mail_.loginResult = 2;
    program.mainForm().Command8.click();
    for (int i = 0; i < 3; ++i) {
        timers_.advance(20);
        ASSERT_TRUE(program.mailCheck().running());
        push_.tell(PushNews::NewMail);
    }
    timers_.advance(10 * 1000);
    EXPECT_EQ(checks(), 2) << "the click's check and one after it";
    EXPECT_FALSE(program.mailCheck().running());
}

TEST_F(PushWatchTest, TheConnectionFollowsTheIntervalTheServerAndTheAccount) {
    Program& program = startWatching("0");
    EXPECT_TRUE(push_.calls.empty()) << "no automatic checks, no push";

    push_.openings = {Opened(Result::Watching), Opened(Result::Watching), Opened(Result::Watching)};
    program.setForm().Text2.setText("3");
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait"));
    program.setForm().Text2.setText("10");
    EXPECT_EQ(push_.calls.size(), 2u) << "another interval, the same mailbox: kept";

    program.optionForm().Pop3Text.setText("imap://other.example");
    program.optionForm().OKCommand.click();
    EXPECT_THAT(push_.calls,
                ElementsAre(kOpen, "wait", "close", "open imap://other.example me pw", "wait"));
    writeAccount("NAME=you\nNAME2=pw2\n");
    program.mailboxChanged.notify();  // as the account dialog's OK does
    EXPECT_EQ(push_.calls.back(), "wait");
    EXPECT_EQ(push_.calls[push_.calls.size() - 2], "open imap://other.example you pw2");

    push_.calls.clear();
    program.setForm().Text2.setText("0");
    EXPECT_THAT(push_.calls, ElementsAre("close"));
    EXPECT_FALSE(program.push().watching());
}

TEST_F(PushWatchTest, ClosingTheProgramLogsOut) {
    Program& program = startWatching();
    program.mainForm().Form_Unload();
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait", "close"));
    EXPECT_EQ(log_.back(), "end process");
}

// A lost link comes back after 1, 2, 4 ... seconds, up to five minutes between tries; mail
// that came while none watched is announced once it is back, and only then.
TEST_F(PushWatchTest, ALostLinkComesBackBackingOffAndAnnouncesWhatCameMeanwhile) {
    Program& program = startWatching();
    mail_.connectResult = -1;  // the interval's checks reach no server either
    push_.openings = {Opened(Result::Failed), Opened(Result::Failed),
                      Opened(Result::Watching, 100)};
    push_.expectedUidNext = 100;
    push_.tell(PushNews::Lost);
    std::vector<std::int64_t> tries;
    for (int ms = 0; ms < 10000; ms += 20) {
        const std::size_t before = push_.calls.size();
        timers_.advance(20);
        if (push_.calls.size() > before && push_.calls[before] == "close") {
            continue;
        }
        if (push_.calls.size() > before) {
            tries.push_back(timers_.now());
        }
    }
    ASSERT_EQ(tries.size(), 3u);
    EXPECT_NEAR(tries[0], 1000, 40);
    // A server that is not there: tried a second later, then twice as long each time.
    EXPECT_NEAR(tries[1] - tries[0], 1000, 40);
    EXPECT_NEAR(tries[2] - tries[1], 2000, 40);
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "count"), 0)
        << "nothing came meanwhile (UIDNEXT as expected)";

    // Lost again after a few seconds: that session's good login did not undo the back-off (2 s
    // now, not 1 s). Back with a UIDNEXT past what the connection expected: counted and shown.
    push_.openings = {Opened(Result::Watching, 103), Opened(Result::Failed),
                      Opened(Result::Watching, 103), Opened(Result::Watching, 103)};
    push_.unseen = 3;
    push_.tell(PushNews::Lost);
    timers_.advance(1900);
    EXPECT_NE(push_.calls.back(), "wait");
    timers_.advance(100);
    EXPECT_EQ(push_.calls.back(), "wait");
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "count"), 1);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "3");

    // Lost again at once (the next wait 4 s), and down when tried: a server coming back from a
    // restart is tried again a second later, not after 8 s.
    push_.expectedUidNext = 103;
    push_.tell(PushNews::Lost);
    timers_.advance(4000);
    EXPECT_EQ(push_.calls.back(), "close");
    timers_.advance(1000);
    EXPECT_EQ(push_.calls.back(), "wait");
    // Up for a minute: a loss then starts from a second again.
    timers_.advance(PushWatch::kSteadyMs);
    push_.tell(PushNews::Lost);
    timers_.advance(1000);
    EXPECT_EQ(push_.calls.back(), "wait");

    // Away for an hour: at most 8 s apart for the first two minutes (a restart is back within
    // seconds of its return), then twice as long each time, never more than five minutes.
    push_.openings.assign(100, Opened(Result::Failed));
    push_.calls.clear();
    timers_.advance(PushWatch::kSteadyMs);
    push_.tell(PushNews::Lost);
    const std::int64_t lost = timers_.now();
    tries.clear();
    for (std::int64_t ms = 0; ms < 60 * 60 * 1000; ms += 100) {
        const auto opens = std::count(push_.calls.begin(), push_.calls.end(), kOpen);
        timers_.advance(100);
        if (std::count(push_.calls.begin(), push_.calls.end(), kOpen) > opens) {
            tries.push_back(timers_.now() - lost);
        }
    }
    ASSERT_GT(tries.size(), 20u);
    std::int64_t longest = 0;
    for (std::size_t i = 1; i < tries.size(); ++i) {
        const std::int64_t gap = tries[i] - tries[i - 1];
        SCOPED_TRACE(tries[i]);
        EXPECT_GE(gap, tries[i - 1] - (i > 1 ? tries[i - 2] : 0) - 100) << "never closer again";
        if (tries[i] <= 2 * 60 * 1000) {
            EXPECT_LE(gap, 8100);
        }
        longest = std::max(longest, gap);
    }
    EXPECT_NEAR(longest, 5 * 60 * 1000, 100);
}

// A token account's connection takes a token without ever asking the user, renews a refused one
// once, and rests without one.
TEST_F(PushWatchTest, ATokenAccountOpensWithATokenNeverAskingTheUser) {
    writeServerFile("POP3=imaps://;AUTH=XOAUTH2@imap.example\r\n");
    writeAccount("NAME=me\n");
    writePreferences("NUMBER2=5\n");
    push_.openings = {Opened(Result::Refused), Opened(Result::Watching)};
    Program& program = start();
    const std::string open = "open imaps://;AUTH=XOAUTH2@imap.example me ";
    EXPECT_THAT(push_.calls, ElementsAre(open + "token-1", "close", open + "token-3", "wait"));
    const std::string token = "token imaps://;AUTH=XOAUTH2@imap.example me quiet";
    EXPECT_THAT(signIn_.calls, ElementsAre(token, "refused token-1", token));
    EXPECT_TRUE(program.push().watching());

    // Refused for another cause (TLS, say): a new token would not help.
    push_.calls.clear();
    signIn_.calls.clear();
    PushOpened tls = Opened(Result::Refused);
    tls.credentialsRefused = false;
    push_.openings = {tls};
    program.optionForm().Pop3Text.setText("imap://;AUTH=XOAUTH2@other.example");
    program.optionForm().OKCommand.click();
    EXPECT_EQ(std::count(signIn_.calls.begin(), signIn_.calls.end(), "refused token-1"), 0);
    EXPECT_EQ(signIn_.calls.size(), 1u);
    program.optionForm().Pop3Text.setText("imaps://;AUTH=XOAUTH2@imap.example");
    push_.openings = {Opened(Result::Watching)};
    program.optionForm().OKCommand.click();
    ASSERT_TRUE(program.push().watching());

    // Lost, and no token to be had quietly: it rests, until a check logs in.
    signIn_.tokens = {AccessToken{"", "サインインが必要です", false}};
    push_.tell(PushNews::Lost);
    timers_.advance(1000);
    EXPECT_FALSE(program.push().watching());
    EXPECT_EQ(push_.calls.back(), "close");
    mail_.connectResult = -1;
    timers_.advance(30 * 60 * 1000);
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "wait"), 1);
}

// The desktop's own account opens the connection with what the desktop gives, before the
// mailbox's own password or sign-in; the desktop renews a refused token of its own.
TEST_F(PushWatchTest, TheDesktopsAccountOpensTheConnection) {
    struct Row {
        const char* name;
        const char* server;
        const char* account;
        bool desktop;  // the desktop holds an account of the server's kind for me at imap.example
        std::deque<PushOpened> openings;
        std::vector<std::string> pushCalls;
        std::vector<std::string> desktopCalls;
    };
    const std::string token = "imaps://;AUTH=XOAUTH2@imap.example";
    const std::string open = "open " + token + " me ";
    // clang-format off
    const std::vector<Row> rows = {
        {"the desktop's token", token.c_str(), "NAME=me\n", true, {Opened(Result::Watching)},
         {open + "desktop-2", "wait"}, {"accounts", "credential goa/1"}},
        {"the desktop's token refused once: renewed by the desktop", token.c_str(), "NAME=me\n",
         true, {Opened(Result::Refused), Opened(Result::Watching)},
         {open + "desktop-2", "close", open + "desktop-4", "wait"},
         {"accounts", "credential goa/1", "renew goa/1", "credential goa/1"}},
        {"the desktop's password, none saved", "imaps://imap.example", "NAME=me\n", true,
         {Opened(Result::Watching)}, {"open imaps://imap.example me desktop-2", "wait"},
         {"accounts", "credential goa/1"}},
        {"none saved and no desktop account: no connection", "imaps://imap.example", "NAME=me\n",
         false, {Opened(Result::Watching)}, {"close"}, {"accounts"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeServerFile(std::string("POP3=") + row.server + "\r\n");
        writeAccount(row.account);
        writePreferences("NUMBER2=5\n");
        DesktopAccount account;
        account.id = "goa/1";
        account.imapHost = "imap.example";
        account.imapUser = "me";
        account.oauth2 = std::string(row.server).find(";AUTH=") != std::string::npos;
        desktopAccounts_.accounts.clear();
        if (row.desktop) {
            desktopAccounts_.accounts.push_back(account);
        }
        desktopAccounts_.calls.clear();
        push_.calls.clear();
        signIn_.calls.clear();
        push_.openings = row.openings;
        Program& program = start();
        EXPECT_THAT(push_.calls, ElementsAreArray(row.pushCalls));
        EXPECT_THAT(desktopAccounts_.calls, ElementsAreArray(row.desktopCalls));
        EXPECT_TRUE(signIn_.calls.empty()) << "no sign-in of its own";
        EXPECT_EQ(program.push().watching(), row.pushCalls.back() == "wait");
        program_.reset();
    }
}

TEST_F(PushWatchTest, ARefusedLoginRestsUntilTheSettingsChangeOrACheckLogsIn) {
    writeServerFile("POP3=imaps://imap.example\r\n");
    writeAccount("NAME=me\nNAME2=pw\n");
    writePreferences("NUMBER2=5\n");
    push_.openings = {Opened(Result::Refused)};
    Program& program = start();
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "close"));
    EXPECT_TRUE(messages_.answerOpen() == 0) << "push shows no box of its own";
    mail_.connectResult = -1;  // the interval's checks reach no server
    timers_.advance(30 * 60 * 1000);
    EXPECT_EQ(push_.calls.size(), 2u) << "no retry on its own";
    mail_.connectResult = 7;

    // A check that fails to log in changes nothing; one that logs in brings push back.
    mail_.loginResult = -1;
    program.mainForm().Command8.click();
    EXPECT_EQ(push_.calls.size(), 2u);
    push_.openings = {Opened(Result::Watching)};
    mail_.loginResult = 0;
    program.mainForm().Command8.click();
    EXPECT_EQ(push_.calls.back(), "wait");
    EXPECT_TRUE(program.push().watching());

    // A server without IDLE rests likewise, until the settings change.
    push_.calls.clear();
    push_.openings = {Opened(Result::Unsupported)};
    program.optionForm().Pop3Text.setText("imaps://plain.example");
    program.optionForm().OKCommand.click();
    EXPECT_THAT(push_.calls, ElementsAre("close", "open imaps://plain.example me pw", "close"));
    mail_.connectResult = -1;
    timers_.advance(30 * 60 * 1000);
    EXPECT_EQ(push_.calls.size(), 3u);
}

// Every mailbox pushes on a connection of its own, counted as it opens for the list and the
// total without a board; news on one recounts it there and the board shows the total; a mailbox
// taken out of the file logs its connection out.
TEST_F(PushWatchTest, EachFurtherMailboxWatchesOnItsOwnConnection) {
    WriteFileAtomically(dataFolder() / "mailboxes.ini",
                        "[mailbox-2]\nname=仕事\nserver=imaps://imap.work\nid=taro\n"
                        "[mailbox-3]\nname=off\nserver=imaps://imap.off\nid=x\non=0\n");
    push_.unseen = 2;
    Program& program = startWatching();
    // Its password comes only now: the window's OK tells, and the resting watch tries again.
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "count", "wait", "close"));
    EXPECT_EQ(program.mailboxResults()[""].count, 2);
    program_->spawn(secrets_.save("mailbox-2", "wpw"));
    push_.openings = {Opened(Result::Watching)};
    push_.calls.clear();
    push_.unseen = 1;
    program.mailboxChanged.notify();
    EXPECT_THAT(push_.calls, ElementsAre("open imaps://imap.work taro wpw", "count", "wait"));
    EXPECT_EQ(program.mailboxResults()["mailbox-2"].count, 1);
    EXPECT_FALSE(program.hasMsgForm()) << "what was there is no news";

    push_.unseen = 4;
    ASSERT_TRUE(push_.tell(PushNews::NewMail));
    EXPECT_EQ(checks(), 0);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "6") << "the first's 2 and the news' 4";
    EXPECT_EQ(program.mailboxResults()["mailbox-2"].count, 4);

    push_.calls.clear();
    WriteFileAtomically(dataFolder() / "mailboxes.ini", "");
    program.mailboxChanged.notify();
    EXPECT_THAT(push_.calls, ElementsAre("close"));
    EXPECT_TRUE(program.push().watching()) << "the first mailbox's connection stays";
}

// A server that cannot push is not asked after every check: a refused IDLE rests until the
// settings change, a server without IDLE is asked again after an hour; checks that log in
// wake neither, and the interval's checks go on.
TEST_F(PushWatchTest, AServerThatCannotPushIsNotAskedAfterEveryCheck) {
    struct Row {
        const char* what;
        Result opened;
        std::optional<PushNews> news;
        std::int64_t askedAgainMs;  // 0: not until the settings change
    };
    for (const Row& row : {Row{"IDLE refused", Result::Watching, PushNews::Refused, 0},
                           Row{"no IDLE", Result::Unsupported, std::nullopt, 60 * 60 * 1000}}) {
        SCOPED_TRACE(row.what);
        push_.calls.clear();
        Program& program = startWatching("1");
        push_.calls.clear();
        push_.openings = {Opened(row.opened), Opened(row.opened)};
        program.optionForm().Pop3Text.setText("imaps://imap.example:993");
        program.optionForm().OKCommand.click();
        if (row.news) {
            push_.tell(*row.news);
        }
        const auto opens = [this] {
            return std::count_if(push_.calls.begin(), push_.calls.end(),
                                 [](const std::string& call) { return call.starts_with("open"); });
        };
        log_.clear();
        timers_.advance(59 * 60 * 1000);
        EXPECT_EQ(opens(), 1);
        EXPECT_GE(std::count(log_.begin(), log_.end(), "connect imaps://imap.example:993"), 50)
            << "the interval's checks go on";
        timers_.advance(60 * 1000);
        EXPECT_EQ(opens(), row.askedAgainMs ? 2 : 1);
        program.optionForm().Pop3Text.setText("imaps://imap.example");
        push_.openings = {Opened(Result::Watching)};
        program.optionForm().OKCommand.click();
        EXPECT_EQ(push_.calls.back(), "wait") << "the settings changed: asked at once";
    }
}

// 10 000 words of new mail within a second: one count at once, one more after the gap, none
// beyond.
TEST_F(PushWatchTest, AFloodOfNewsGivesOneCountAndOneAfterIt) {
    startWatching();
    push_.unseen = 1;
    for (int n = 0; n < 10000; ++n) {
        push_.tell(PushNews::NewMail);
        if (n % 100 == 99) {
            timers_.advance(10);
        }
    }
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "count"), 1);
    timers_.advance(PushWatch::kRecountGapMs);
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "count"), 2);
    timers_.advance(60 * 1000);
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "count"), 2);
    EXPECT_EQ(push_.calls.back(), "wait");
}

// Before sleep the connection logs out and lets sleep come; on wake nothing is tried until the
// network is up, then the connection is back at once and one check tells of what came
// meanwhile, the interval counted anew from it.
TEST_F(PushWatchTest, SleepLogsOutAndWakeCatchesUpOnceTheNetworkIsUp) {
    Program& program = startWatching();
    timers_.advance(3 * 61 * 1000);
    system_.sleep();
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait", "close"));
    EXPECT_FALSE(system_.held()) << "sleep may come";
    system_.setNetwork(NetworkState::Reach::Down);

    system_.wake();
    timers_.advance(60 * 1000);
    EXPECT_EQ(push_.calls.size(), 3u) << "no network, no try";
    EXPECT_EQ(checks(), 0);

    mail_.loginResult = 2;
    push_.openings = {Opened(Result::Watching, 150)};
    system_.setNetwork(NetworkState::Reach::Up, "/wifi");
    EXPECT_EQ(push_.calls.back(), "wait");
    timers_.settle();
    EXPECT_EQ(checks(), 1);
    EXPECT_EQ(std::count(push_.calls.begin(), push_.calls.end(), "count"), 0)
        << "the check told of it: push does not again";
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.mainForm().Text1.text(), "0");
    timers_.advance(5 * 61 * 1000 - 1000);
    EXPECT_EQ(checks(), 1) << "no check of the interval's before a whole interval";
    timers_.advance(2000);
    EXPECT_EQ(checks(), 2);
}

// The network gone: nothing is tried. Back, or moved to another link: made again at once.
TEST_F(PushWatchTest, TheConnectionFollowsTheNetwork) {
    startWatching();
    system_.setNetwork(NetworkState::Reach::Up, "/cable");
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait")) << "first news of it: nothing moved";
    system_.setNetwork(NetworkState::Reach::Down);
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait", "close"));
    timers_.advance(10 * 60 * 1000);
    EXPECT_EQ(push_.calls.size(), 3u);

    push_.openings = {Opened(Result::Watching), Opened(Result::Watching)};
    const int checked = checks();
    system_.setNetwork(NetworkState::Reach::Up, "/wifi");
    EXPECT_THAT(push_.calls, ElementsAre(kOpen, "wait", "close", kOpen, "wait"));
    system_.setNetwork(NetworkState::Reach::Up, "/vpn");
    EXPECT_THAT(push_.calls,
                ElementsAre(kOpen, "wait", "close", kOpen, "wait", "close", kOpen, "wait"));
    EXPECT_EQ(checks(), checked) << "no catching up without a wake";
}

}  // namespace
}  // namespace breezel
