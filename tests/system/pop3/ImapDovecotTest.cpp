// The IMAP engine over the Qt transport against the private Dovecot that run_dovecot_tests.sh
// started: every way in logs in over TLS, a check counts the unseen messages and changes no
// flag, a wrong password is the check's error box, and push hears a delivery and logs out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Dovecot.h"
#include "imap/ImapPush.h"
#include "platform/MailPush.h"

namespace breezel {
namespace {

std::string Imap(const std::string& host = "127.0.0.1") {
    return "imap://" + host + ":" + Env("DOVECOT_IMAP_PORT");
}

std::string Imaps(const std::string& host = "127.0.0.1") {
    return "imaps://" + host + ":" + Env("DOVECOT_IMAPS_PORT");
}

int Call(Task<int> call) {
    const std::optional<int> result = RunTask(std::move(call));
    EXPECT_TRUE(result.has_value()) << "the call did not end";
    return result.value_or(-100);
}

/// A check's calls: the count, or -1 with the library's text in failure.
int Count(MailLibrary& mail, const std::string& server, const std::string& user,
          std::string& failure) {
    const int handle = Call(mail.NMailPop3Connect(net::MailboxAt(server)));
    const int result =
        handle == -1 ? -1
                     : Call(mail.NMailPop3Authenticate(
                           handle, user, net::Credential::ofPassword(Env("DOVECOT_PASSWORD")), 0));
    failure = result < 0 ? mail.NMailGetMessage(0) : "";
    if (handle != -1) {
        EXPECT_TRUE(mail.countsOnly(handle));
        Call(mail.NMailPop3Close(handle));
    }
    return result;
}

/// The names of a maildir's messages, which hold their flags.
std::set<std::string> MessageFiles(const std::string& user) {
    std::set<std::string> names;
    for (const char* folder : {"cur", "new"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(Env("DOVECOT_MAIL") + "/" + user + "/" + folder)) {
            names.insert(std::string(folder) + "/" + entry.path().filename().string());
        }
    }
    return names;
}

TEST(ImapDovecotTest, EveryWayInLogsInOverTlsAndCountsTheUnseenWithoutChangingAFlag) {
    ImapMailLibrary mail(TrustingTransports());
    // mixed: five messages, the first two seen.
    const std::set<std::string> before = MessageFiles("mixed");
    for (const std::string& server : {Imap(), Imaps(), Imaps("localhost")}) {
        SCOPED_TRACE(server);
        DovecotLog log;
        std::string failure;
        EXPECT_EQ(Count(mail, server, "mixed", failure), 3) << failure;
        const std::string login = log.lineWith("Login: user=<mixed>");
        EXPECT_NE(login.find("method=PLAIN"), std::string::npos) << login;
        EXPECT_NE(login.find(", TLS,"), std::string::npos) << login;
        EXPECT_FALSE(log.lineWith("imap(mixed)").empty()) << "the session logged out";
    }
    EXPECT_EQ(MessageFiles("mixed"), before) << "no message read, no flag changed";
}

// Push on the real server: the delivery is heard, counted on the same connection, and the
// connection logs out when closed.
TEST(ImapDovecotTest, PushHearsADeliveryAndCountsItOnTheSameConnection) {
    ImapPush push(TrustingTransports());
    std::unique_ptr<PushSession> session = push.create();
    DovecotLog log;
    const std::optional<PushOpened> opened = RunTask(session->open(
        net::MailboxAt(Imaps(), "pushed"), net::Credential::ofPassword(Env("DOVECOT_PASSWORD"))));
    ASSERT_TRUE(opened.has_value());
    ASSERT_EQ(opened->result, PushOpened::Result::Watching) << opened->failure;
    EXPECT_EQ(opened->uidNext, 2u) << "one message there already";

    // Delivered the maildir way, as Dovecot's own delivery does.
    const std::string maildir = Env("DOVECOT_MAIL") + "/pushed/";
    { std::ofstream(maildir + "tmp/pushed.1") << "Subject: pushed\n\nbody\n"; }
    ASSERT_EQ(::chown((maildir + "tmp/pushed.1").c_str(), 65534, 65534), 0);
    std::filesystem::rename(maildir + "tmp/pushed.1", maildir + "new/pushed.1");
    const std::optional<PushNews> news = RunTask(session->waitForNews());
    ASSERT_TRUE(news.has_value()) << "no word of the delivery within 30 s";
    EXPECT_EQ(*news, PushNews::NewMail);
    EXPECT_EQ(Call(session->countUnseen()), 2);
    EXPECT_EQ(session->expectedUidNext(), 3u);
    // Dovecot's log process writes in its own time: the login's line is awaited first.
    log.lineWith("Login: user=<pushed>");
    const std::size_t logins = log.count("Login: user=<pushed>");
    EXPECT_EQ(logins, 1u) << "counted without a new session";

    session->close();
    EXPECT_NE(log.lineWith("imap(pushed)").find("Logged out"), std::string::npos);
}

// Folders on the real server: the check counts INBOX and 「仕事」 and names a folder that is
// not there; push hears, by NOTIFY, a delivery into 「仕事」 and counts both.
TEST(ImapDovecotTest, TheFoldersAreCountedAndWatched) {
    net::Mailbox mailbox = net::MailboxAt(Imaps(), "folders");
    const auto check = [&mailbox](std::vector<std::string> folders) {
        ImapMailLibrary mail(TrustingTransports());
        mailbox.folders = std::move(folders);
        const int handle = Call(mail.NMailPop3Connect(mailbox));
        const int count = Call(mail.NMailPop3Authenticate(
            handle, "folders", net::Credential::ofPassword(Env("DOVECOT_PASSWORD")), 0));
        const std::string failure = count < 0 ? mail.NMailGetMessage(0) : "";
        Call(mail.NMailPop3Close(handle));
        return std::make_pair(count, failure);
    };
    EXPECT_EQ(check({"仕事"}), std::make_pair(3, std::string()));
    const auto [missing, failure] = check({"仕事", "遊び"});
    EXPECT_EQ(missing, -1);
    // Dovecot's STATUS refuses it without a code, so its own words say why.
    EXPECT_THAT(failure,
                ::testing::StartsWith(
                    "フォルダー「遊び」の未読メールを数えられません: Mailbox doesn't exist"));

    ImapPush push(TrustingTransports());
    std::unique_ptr<PushSession> session = push.create();
    mailbox.folders = {"仕事"};
    const std::optional<PushOpened> opened =
        RunTask(session->open(mailbox, net::Credential::ofPassword(Env("DOVECOT_PASSWORD"))));
    ASSERT_TRUE(opened.has_value());
    ASSERT_EQ(opened->result, PushOpened::Result::Watching) << opened->failure;
    // Delivered through Dovecot, as its LDA would: a file renamed into a folder that is not
    // selected reaches no index, and NOTIFY hears of indexes.
    ASSERT_EQ(std::system("printf 'Subject: work\\n\\nbody\\n' | "
                          "doveadm -c \"$DOVECOT_CONF\" save -u folders -m 仕事"),
              0);
    const std::optional<PushNews> news = RunTask(session->waitForNews());
    ASSERT_TRUE(news.has_value()) << "no word of the delivery within 30 s";
    EXPECT_EQ(*news, PushNews::NewMail);
    EXPECT_EQ(Call(session->countUnseen()), 4);
    session->close();
}

using ImapCheckDovecotTest = DovecotProgramFixture;

// Last: Dovecot holds back every failed login, and the ones after it from the same address.
TEST_F(ImapCheckDovecotTest, AWrongPasswordIsTheChecksErrorBoxAfterTheSessionEnded) {
    Program& program = startFor("mixed", Imaps(), messages_);
    writeAccount("NAME=mixed\nNAME2=not-the-password\n");
    DovecotLog log;
    ASSERT_TRUE(RunTask(program.mailCheck().CheckMail(), std::chrono::seconds(30)));
    const auto box = std::find_if(log_.begin(), log_.end(), [](const std::string& line) {
        return line.starts_with("box エラー: ");
    });
    ASSERT_NE(box, log_.end()) << ::testing::PrintToString(log_);
    EXPECT_NE(box->find("Authentication failed"), std::string::npos) << *box;
    EXPECT_EQ(box->find("not-the-password"), std::string::npos) << "no password in a box";
    EXPECT_FALSE(program.hasMsgForm());
    EXPECT_FALSE(log.lineWith("imap-login").empty());
}

}  // namespace
}  // namespace breezel
