#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/Form1.h"
#include "forms/IdPassForm.h"
#include "forms/MsgForm.h"
#include "forms/OptionForm.h"
#include "mail/Credentials.h"
#include "settings/AtomicFile.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class MailCheckTest : public ProgramFixture {
protected:
    /// A program with a server file and a saved account, its log cleared.
    Program& configured(const std::string& preferences = "",
                        const std::string& server = "POP3=pop.example\r\nAPOP=0\r\n") {
        writeServerFile(server);
        writeAccount("NAME=me\nNAME2=pw\n");
        writePreferences(preferences);
        Program& program = start();
        log_.clear();
        return program;
    }
    void check() { program_->mainForm().Command8.click(); }
};

TEST_F(MailCheckTest, WalksEveryMessageInOrderThenShowsTheBoardAndStartsTheAlert) {
    Program& program = configured();
    mail_.loginResult = 3;
    check();

    EXPECT_THAT(
        log_, ElementsAre("connect pop.example", "login 7 me pw 0", "status 7 1", "size 7 1",
                          "retrieve 7 1", "status 7 2", "size 7 2", "retrieve 7 2", "status 7 3",
                          "size 7 3", "retrieve 7 3", "close 7", "create MsgForm",
                          "open \"" + programDir_.path().string() + "/Sound/Kouka.wav\" alias bgm",
                          "play bgm", "create Form1"));
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text1.text(), "新着メールが有ります");
    EXPECT_EQ(program.msgForm().Text2.text(), "3");
    EXPECT_TRUE(program.msgForm().window.visible());
    EXPECT_TRUE(program.msgForm().window.topmost());
    EXPECT_TRUE(program.form1().window.visible());
    EXPECT_EQ(program.settings().AccountId, "me");
    EXPECT_EQ(program.idPassForm().PassText.text(), "pw");

    // Nothing is remembered: the same three messages raise the alert again, on the same board.
    log_.clear();
    check();
    EXPECT_EQ(program.msgForm().Text2.text(), "3");
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "play bgm"), 1);
    mail_.loginResult = 12;
    check();
    EXPECT_EQ(program.msgForm().Text2.text(), "12");
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "create MsgForm"), 0) << "one board only";
}

// A server named with ;AUTH= signs in with a token for the ID (no password): the browser may
// open only for a check by hand or the first after the mailbox changed; a refused token is
// renewed once on a new connection; without a token, automatic checks stay quiet and nothing
// connects.
TEST_F(MailCheckTest, ATokenAccountSignsInAsTheUserAllowsAndRenewsARefusedTokenOnce) {
    const std::string server = "POP3=imaps://;AUTH=XOAUTH2@imap.example\r\n";
    const std::string token = "token imaps://;AUTH=XOAUTH2@imap.example me ";
    struct Row {
        const char* name;
        bool byHand;
        bool changed;  // the server dialog's OK came before the check
        std::vector<int> logins;
        std::deque<AccessToken> tokens;
        std::vector<std::string> signIns;
        int connects;
        std::string box;  // "" for none
        // The desktop holds a token account for the mailbox; what it was asked.
        bool desktop = false;
        std::vector<std::string> desktopCalls = {"accounts"};
        std::string firstLogin = "login 7 me token-1 0";
        bool desktopGivesNothing = false;
    };
    const std::string desktopGaveNothing =
        "box エラー: デスクトップのオンラインアカウントからサインインできませんでした: "
        "設定の「オンラインアカウント」を確かめてください";
    // clang-format off
    const std::vector<Row> rows = {
        {"by hand: may ask", true, false, {2}, {}, {token + "ask"}, 1, ""},
        {"automatic: never asks", false, false, {2}, {}, {token + "quiet"}, 1, ""},
        {"first after a change: may ask", false, true, {2}, {}, {token + "ask"}, 1, ""},
        {"refused once: renewed on a new connection", false, false, {-1, 2}, {},
         {token + "quiet", "refused token-1", token + "quiet"}, 2, ""},
        {"refused twice: one box, no loop", true, false, {-1, -1}, {},
         {token + "ask", "refused token-1", token + "ask"}, 2, "box エラー: refused"},
        // Without a token nothing connects: a check that cannot sign in costs the server nothing.
        {"no token, automatic: quiet", false, false, {}, {{"", "サインインが必要です", false}},
         {token + "quiet"}, 0, ""},
        {"no token, by hand: the reason", true, false, {}, {{"", "サインインが必要です", false}},
         {token + "ask"}, 0, "box エラー: サインインが必要です"},
        {"revoked, automatic: told once", false, false, {}, {{"", "取り消されました", true}},
         {token + "quiet"}, 0, "box エラー: 取り消されました"},
        {"refused, and no new token: no second connection", false, false, {-1},
         {{"token-1", "", false}, {"", "取り消されました", true}},
         {token + "quiet", "refused token-1", token + "quiet"}, 1, "box エラー: 取り消されました"},
        // The desktop's own account comes first, and renews its own token; no sign-in at all.
        {"the desktop's token", false, false, {2}, {}, {}, 1, "", true,
         {"accounts", "credential goa/1"}, "login 7 me desktop-2 0"},
        {"the desktop's token refused once: the desktop renews it", false, false, {-1, 2}, {}, {},
         2, "", true, {"accounts", "credential goa/1", "renew goa/1", "credential goa/1"},
         "login 7 me desktop-2 0"},
        {"the desktop gives no token, by hand: the reason, nothing connects", true, false, {}, {},
         {}, 0, desktopGaveNothing, true, {"accounts", "credential goa/1"}, "", true},
    };
    // clang-format on
    DesktopAccount desktopAccount;
    desktopAccount.id = "goa/1";
    desktopAccount.imapHost = "IMAP.example";
    desktopAccount.imapUser = "me";
    desktopAccount.oauth2 = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeServerFile(server);
        writeAccount("NAME=me\n");
        Program& program = start();
        log_.clear();
        signIn_.calls.clear();
        desktopAccounts_.calls.clear();
        desktopAccounts_.accounts.clear();
        if (row.desktop) {
            desktopAccounts_.accounts.push_back(desktopAccount);
        }
        desktopAccounts_.credentials.clear();
        if (row.desktopGivesNothing) {
            desktopAccounts_.credentials.emplace_back();
        }
        signIn_.tokens = row.tokens;
        mail_.loginResults.assign(row.logins.begin(), row.logins.end());
        mail_.errorText = "refused";
        if (row.changed) {
            program.optionForm().OKCommand.click();
        }
        if (row.byHand) {
            program.mainForm().Command8.click();
        } else {
            program_->spawn(program.mailCheck().CheckMail());
        }
        EXPECT_THAT(signIn_.calls, ElementsAreArray(row.signIns));
        EXPECT_EQ(std::count_if(log_.begin(), log_.end(),
                                [](const std::string& l) { return l.starts_with("connect"); }),
                  row.connects);
        EXPECT_EQ(std::count(log_.begin(), log_.end(), "close 7"), row.connects)
            << "every connection closed";
        const auto box = std::find_if(log_.begin(), log_.end(),
                                      [](const std::string& l) { return l.starts_with("box"); });
        EXPECT_EQ(box == log_.end() ? "" : *box, row.box);
        EXPECT_EQ(program.hasMsgForm(), !row.logins.empty() && row.logins.back() > 0);
        EXPECT_FALSE(program.hasIdPassForm() && program.idPassForm().window.visible())
            << "no password to ask for";
        EXPECT_THAT(desktopAccounts_.calls, ElementsAreArray(row.desktopCalls));
        // The token went to the login as its password, never into a box.
        if (!row.logins.empty()) {
            EXPECT_NE(std::find(log_.begin(), log_.end(), row.firstLogin), log_.end());
        }
    }
}

// An IMAP mailbox that the desktop's own account serves logs in with the password the desktop
// gives, saved or not; without such an account, or for POP3, the mailbox's own rules stand.
TEST_F(MailCheckTest, TheDesktopsPasswordAccountComesBeforeTheSavedPassword) {
    struct Row {
        const char* name;
        const char* server;
        const char* account;
        bool desktop;  // the desktop holds a password account for me at the server's host
        std::vector<std::string> desktopCalls;
        const char* login;  // "" for none
    };
    // clang-format off
    const std::vector<Row> rows = {
        {"none saved", "imap://imap.example:1143", "NAME=me\n", true,
         {"accounts", "accounts", "credential goa/2"}, "login 7 me desktop-3 0"},
        {"one saved: the desktop's first", "imap://imap.example:1143", "NAME=me\nNAME2=pw\n", true,
         {"accounts", "credential goa/2"}, "login 7 me desktop-2 0"},
        {"no desktop account, none saved: the dialog", "imap://imap.example:1143", "NAME=me\n",
         false, {"accounts"}, ""},
        {"POP3 is never the desktop's", "pop.example", "NAME=me\n", true, {}, ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeServerFile(std::string("POP3=") + row.server + "\r\n");
        writeAccount(row.account);
        DesktopAccount password;
        password.id = "goa/2";
        password.imapHost = row.server[0] == 'p' ? "pop.example" : "imap.example:1143";
        password.imapUser = "me";
        desktopAccounts_.accounts.clear();
        if (row.desktop) {
            desktopAccounts_.accounts.push_back(password);
        }
        Program& program = start();
        program.closeIdPassForm();
        log_.clear();
        desktopAccounts_.calls.clear();
        mail_.loginResult = 2;
        program.mainForm().Command8.click();
        EXPECT_THAT(desktopAccounts_.calls, ElementsAreArray(row.desktopCalls));
        const auto login = std::find_if(
            log_.begin(), log_.end(), [](const std::string& l) { return l.starts_with("login"); });
        EXPECT_EQ(login == log_.end() ? "" : *login, row.login);
        EXPECT_EQ(program.hasIdPassForm() && program.idPassForm().window.visible(), !*row.login);
        EXPECT_EQ(program.hasMsgForm(), *row.login != '\0');
    }
}

TEST_F(MailCheckTest, AMailboxThatIsOnlyCountedIsNotWalked) {
    Program& program = configured("", "POP3=imaps://imap.example\r\n");
    mail_.countsOnlyResult = true;
    mail_.loginResult = 5;
    check();
    EXPECT_THAT(std::vector<std::string>(log_.begin(), log_.begin() + 4),
                ElementsAre("connect imaps://imap.example", "login 7 me pw 0", "close 7",
                            "create MsgForm"));
    EXPECT_EQ(program.msgForm().Text2.text(), "5");
}

// Checks that find no mail: their calls, the hang-up when asked, and no board.
TEST_F(MailCheckTest, ChecksWithoutMailMakeTheirCallsAndShowNothing) {
    const std::string server = "POP3=pop.example\r\nAPOP=0\r\n";
    struct Row {
        const char* name;
        std::string server;
        std::string preferences;
        int connect;
        int login;
        std::string error;
        std::vector<std::string> expected;
    };
    // clang-format off
    const std::vector<Row> rows = {
        {"no server: still hangs up", "", "NUMBER=1\n", 7, 0, "",
         {"list dial-up", "hang up modem"}},
        {"connect fails: still hangs up", server, "NUMBER=1\n", -1, 0, "",
         {"connect pop.example", "list dial-up", "hang up modem"}},
        {"failed login: the session ends, then one error box, cut at the first NUL", server, "",
         7, -1, std::string("[AUTH] Authentication failed.\0garbage", 38),
         {"connect pop.example", "login 7 me pw 0", "message", "close 7",
          "box エラー: [AUTH] Authentication failed."}},
        {"empty mailbox", server, "", 7, 0, "",
         {"connect pop.example", "login 7 me pw 0", "close 7"}},
        {"APOP flag selects APOP", "POP3=pop.example\r\nAPOP=1\r\n", "", 7, 0, "",
         {"connect pop.example", "login 7 me pw -1", "close 7"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Program& program = configured(row.preferences, row.server);
        mail_.connectResult = row.connect;
        mail_.loginResult = row.login;
        mail_.errorText = row.error;
        dialUp_.active = {"modem"};
        check();
        EXPECT_THAT(log_, ElementsAreArray(row.expected));
        EXPECT_FALSE(program.hasMsgForm());
    }
}

TEST_F(MailCheckTest, MissingPasswordShowsTheAccountDialogAndSkipsTheLogin) {
    Program& program = configured();
    writeAccount("NAME=me\n");
    program.closeIdPassForm();
    log_.clear();
    check();

    EXPECT_THAT(log_, ElementsAre("connect pop.example", "create IdPassForm", "close 7"));
    EXPECT_TRUE(program.idPassForm().window.visible());
    EXPECT_EQ(program.idPassForm().IdText.text(), "me");
    EXPECT_EQ(program.settings().AccountPassword, "");
}

TEST_F(MailCheckTest, LaunchBoxStartsTheMailerInsteadOfTheAlert) {
    Program& program = configured("NUMBER3=1\nNAME=  /opt/My Mail/mailer  \n");
    mail_.loginResult = 2;
    check();
    EXPECT_EQ(log_.back(), "start /opt/My Mail/mailer");
    EXPECT_FALSE(program.hasMsgForm());
    EXPECT_FALSE(program.hasForm1());

    // With no mailer chosen (or only blanks) there is nothing to start: the board and the
    // alert announce the mail instead of nothing at all.
    for (const char* none : {"未設定", "  "}) {
        SCOPED_TRACE(none);
        program.mainForm().Text7.setText(none);
        log_.clear();
        check();
        EXPECT_EQ(std::count_if(log_.begin(), log_.end(),
                                [](const std::string& line) { return line.starts_with("start"); }),
                  0);
        ASSERT_TRUE(program.hasMsgForm());
        EXPECT_EQ(program.msgForm().Text2.text(), "2");
        EXPECT_TRUE(program.hasForm1());
        program.mainForm().Command3.click();  // 戻す
        program.closeMsgForm();
    }
}

TEST_F(MailCheckTest, AutoCloseShowsTheBoardForOneSecondBeforeTheAlert) {
    Program& program = configured("NUMBER4=1\n");
    mail_.loginResult = 1;
    bool boardGoneAtAlert = false;
    program.mainForm().Command2.onClick.connect([&] { boardGoneAtAlert = !program.hasMsgForm(); });
    check();
    EXPECT_TRUE(program.hasMsgForm()) << "the check waits with the board up";
    timers_.advance(1000);
    EXPECT_TRUE(program.hasMsgForm()) << "for more than a second";
    EXPECT_FALSE(program.hasForm1());
    timers_.advance(BeatSchedule::kBeatMs);
    EXPECT_FALSE(program.hasMsgForm());
    EXPECT_TRUE(boardGoneAtAlert);
    EXPECT_TRUE(program.hasForm1());
}

TEST_F(MailCheckTest, TriggerDuringACheckIsIgnored) {
    configured();
    mail_.duringLogin = [this] { program_->mainForm().Picture7.click(); };
    check();
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.example"), 1);
    mail_.duringLogin = nullptr;
    check();
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.example"), 2)
        << "the guard is released at the end";
}

TEST_F(MailCheckTest, ADeadSessionEndsTheWalkAtOnceAndTheBoardShowsWhatTheLoginSaid) {
    Program& program = configured();
    mail_.loginResult = 2147483647;
    mail_.hangsUpAfterLogin = true;
    check();
    EXPECT_THAT(log_, testing::IsSupersetOf({"status 7 1", "retrieve 7 1", "close 7", "play bgm"}));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "status 7 2"), 0) << "no walk on the dead link";
    EXPECT_EQ(program.msgForm().Text2.text(), "2147483647");
}

TEST_F(MailCheckTest, NothingElseThatWaitsHoldsACheckBack) {
    // Automatic checks on (the lamp waits two seconds at every step), a question left open, a
    // server 100 ms away: the check takes the time of its own three calls and no more.
    Program& program = configured("NUMBER2=5\n");
    mail_.latencyMs = 100;
    messages_.keepOpen = true;
    timers_.advance(1000);  // the lamp's step is in its wait
    program.mainForm().mhp.click();
    ASSERT_EQ(messages_.open(), 1);
    const std::int64_t start = timers_.now();
    check();
    while (mail_.answered < 3 && timers_.now() - start < 10000) {
        timers_.advance(BeatSchedule::kBeatMs);
    }
    EXPECT_THAT(log_, testing::Contains("close 7"));
    EXPECT_LE(timers_.now() - start, 3 * (100 + BeatSchedule::kBeatMs));
    EXPECT_EQ(messages_.open(), 1) << "the question is still open";
    EXPECT_EQ(messages_.answerOpen(), 1);
}

TEST_F(MailCheckTest, DisconnectButtonHangsUpEveryConnectionOrNothing) {
    MainForm& main = started();
    dialUp_.active = {"gsm-1", "pppoe-2"};
    main.Command5.click();
    EXPECT_THAT(log_, ElementsAre("list dial-up", "hang up gsm-1", "hang up pppoe-2"));

    dialUp_.listable = false;
    log_.clear();
    main.Command5.click();
    EXPECT_THAT(log_, ElementsAre("list dial-up"));
}

// Several mailboxes: one check looks at every one that is on, the board shows the total and its
// tip each count; failures share one box naming their mailboxes, which an automatic check does not
// open again for the same failure; news on one mailbox shows the new total.
TEST_F(MailCheckTest, SeveralMailboxesShareOneBoardWithTheTotalAndOneBoxForTheirFailures) {
    Program& program = configured();
    WriteFileAtomically(dataFolder() / "mailboxes.ini",
                        "[mailbox-2]\nname=仕事\nserver=imaps://imap.work\nid=taro\n"
                        "[mailbox-3]\nname=古い\nserver=pop.old\nid=old\n"
                        "[mailbox-4]\nname=off\nserver=pop.off\nid=x\non=0\n"
                        "[mailbox-5]\nname=鍵なし\nserver=pop.none\nid=y\n");
    program_->spawn(secrets_.save("mailbox-2", "wpw"));
    program_->spawn(secrets_.save("mailbox-3", "opw"));
    mail_.countsOnlyResult = true;
    mail_.loginResults = {3, 2, -1};
    mail_.errorText = "refused";
    messages_.keepOpen = true;
    check();

    EXPECT_THAT(std::vector<std::string>(log_.begin(), log_.begin() + 6),
                ElementsAre("connect pop.example", "login 7 me pw 0", "close 7",
                            "connect imaps://imap.work", "login 7 taro wpw 0", "close 7"));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.off"), 0) << "off";
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.none"), 0) << "no password";
    EXPECT_EQ(std::count(log_.begin(), log_.end(),
                         "box エラー: 古い: refused\n鍵なし: " + NoPasswordText()),
              1);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "5");
    EXPECT_EQ(program.msgForm().Text2.toolTip(),
              "me: 3 通\n仕事: 2 通\n古い: refused\n鍵なし: " + NoPasswordText());
    EXPECT_EQ(program.mailboxResults()["mailbox-2"].count, 2);
    EXPECT_EQ(program.mailboxResults()["mailbox-3"].failure, "refused");

    // The box is still open: the same failures again open nothing, a new one waits for it.
    mail_.loginResults = {3, 2, -1};
    program_->spawn(program.mailCheck().CheckMail());
    EXPECT_EQ(messages_.open(), 1);
    mail_.loginResults = {3, 2, -1};
    mail_.errorText = "gone";
    program_->spawn(program.mailCheck().CheckMail());
    EXPECT_EQ(messages_.open(), 1);
    log_.clear();
    EXPECT_EQ(messages_.answerOpen(), 1);
    EXPECT_THAT(log_, ElementsAre("box エラー: 古い: gone"));
    messages_.answerOpen();

    // News on the work mailbox: its new count, the others' last.
    program_->spawn(program.mailCheck().CheckCounted("mailbox-2", 4));
    EXPECT_EQ(program.msgForm().Text2.text(), "7");

    // A server that does not answer for a minute holds the others' announcement back a second;
    // its mail is announced when it ends, and no second session goes to it meanwhile.
    mail_.slowServer = "pop.old";
    mail_.slowMs = 60000;
    mail_.loginResults = {1, 1};
    mail_.errorText = "";
    program.closeMsgForm();
    check();
    timers_.advance(999);
    EXPECT_FALSE(program.hasMsgForm());
    timers_.advance(1);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "2");
    log_.clear();
    mail_.loginResults = {1, 1};
    check();
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.old"), 0);
    mail_.loginResults = {5};
    timers_.advance(60000);
    EXPECT_EQ(program.msgForm().Text2.text(), "7") << "1 + 1 + the slow one's 5";

    // One that answers but then talks for a minute is waited for three seconds.
    mail_.slowServer.clear();
    mail_.slowLoginId = "old";
    mail_.loginResults = {1, 1, 2};
    program.closeMsgForm();
    check();
    timers_.advance(2999);
    EXPECT_FALSE(program.hasMsgForm());
    timers_.advance(1);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "7") << "1 + 1 + the slow one's last 5";
}

// News while another mailbox was never counted costs one whole check, so that the board's
// total is not short; once every count is known, news is counted alone.
TEST_F(MailCheckTest, NewsBeforeEveryMailboxWasCountedChecksThemAll) {
    Program& program = configured();
    WriteFileAtomically(dataFolder() / "mailboxes.ini",
                        "[mailbox-2]\nname=仕事\nserver=imaps://imap.work\nid=taro\n");
    program_->spawn(secrets_.save("mailbox-2", "wpw"));
    mail_.countsOnlyResult = true;
    mail_.loginResults = {3, 4};
    program_->spawn(program.mailCheck().CheckCounted("mailbox-2", 4));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.example"), 1);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "7");

    log_.clear();
    program.closeMsgForm();
    program_->spawn(program.mailCheck().CheckCounted("mailbox-2", 5));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "connect pop.example"), 0);
    ASSERT_TRUE(program.hasMsgForm());
    EXPECT_EQ(program.msgForm().Text2.text(), "8");
}

}  // namespace
}  // namespace breezel
