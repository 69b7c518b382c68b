// Run by goa_test.sh, one suite per state of the private session bus: NoDesktopAccounts* with no
// account service on it, GoaDaemon* with the real goa-daemon holding an "IMAP and SMTP" account
// for alice, StandIn* with the stand-in holding an OAuth2 account for GOA_TEST_EMAIL whose tokens
// come from the test's OpenID provider. Dovecot (run_dovecot's environment) is behind both.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "imap/ImapMailLibrary.h"
#include "net/Credential.h"
#include "net/Mailbox.h"
#include "qt/GoaDesktopAccounts.h"
#include "system/pop3/Dovecot.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;

std::uint16_t ImapPort() {
    return static_cast<std::uint16_t>(std::stoi(Env("DOVECOT_IMAP_PORT")));
}

template <typename T>
T Await(Task<T> task) {
    // Below every bound of the adapter's own: an answer, not a call that ran out of time.
    std::optional<T> result = RunTask(std::move(task), 2500ms);
    EXPECT_TRUE(result.has_value()) << "no answer in time";
    return result ? std::move(*result) : T{};
}

/// Logs in as user on server (a server name as the user writes it) with the desktop's secret, a
/// token when the name says so: the login's count, and whether the server refused the secret.
int LogIn(const std::string& server, const std::string& user, Secret secret,
          bool* refused = nullptr) {
    ImapMailLibrary mail(TrustingTransports());
    const net::Mailbox mailbox = net::MailboxAt(server, user);
    const int handle = RunTask(mail.NMailPop3Connect(mailbox)).value_or(-1);
    EXPECT_NE(handle, -1) << server;
    if (handle == -1) {
        return -1;
    }
    const auto kind =
        mailbox.bearer() ? net::Credential::Kind::Token : net::Credential::Kind::Password;
    const int count = RunTask(mail.NMailPop3Authenticate(
                                  handle, user, net::Credential{kind, std::move(secret)}, 0))
                          .value_or(-1);
    if (refused != nullptr) {
        *refused = mail.loginRefused(handle);
    }
    RunTask(mail.NMailPop3Close(handle));
    return count;
}

TEST(NoDesktopAccounts, EveryAnswerIsNoneAndComesAtOnce) {
    GoaDesktopAccounts desktop;
    EXPECT_TRUE(Await(desktop.mailAccounts()).empty());
    EXPECT_FALSE(Await(desktop.find("127.0.0.1", 143, "alice", false)));
    DesktopAccount unknown;
    unknown.id = "/org/gnome/OnlineAccounts/Accounts/account_0_0";
    unknown.oauth2 = true;
    EXPECT_TRUE(Await(desktop.credential(unknown)).empty());
    EXPECT_FALSE(Await(desktop.renew(unknown)));
}

TEST(GoaDaemon, TheImapAccountIsFoundByHostAndUserAndItsPasswordLogsIn) {
    GoaDesktopAccounts desktop;
    const auto found = Await(desktop.find("127.0.0.1", ImapPort(), "alice", false));
    ASSERT_TRUE(found) << "the account added to goa-daemon";
    EXPECT_EQ(found->name, "Alice");
    EXPECT_EQ(found->email, "alice@example.org");
    EXPECT_EQ(found->imapHost, "127.0.0.1:" + Env("DOVECOT_IMAP_PORT"));
    EXPECT_FALSE(found->oauth2);
    // Not for a token login, another user, or another port of the same host.
    EXPECT_FALSE(Await(desktop.find("127.0.0.1", ImapPort(), "alice", true)));
    EXPECT_FALSE(Await(desktop.find("127.0.0.1", ImapPort(), "bob", false)));
    EXPECT_FALSE(Await(desktop.find("127.0.0.1", ImapPort() + 1, "alice", false)));

    Secret password = Await(desktop.credential(*found));
    ASSERT_FALSE(password.empty());
    EXPECT_EQ(LogIn("imap://127.0.0.1:" + Env("DOVECOT_IMAP_PORT"), "alice", std::move(password)),
              3);
}

TEST(StandIn, TheOAuth2AccountIsFoundByAddressAndItsTokenLogsInAndIsRenewedOnRefusal) {
    GoaDesktopAccounts desktop;
    const std::string address = Env("GOA_TEST_EMAIL");
    const std::string server = "imap://;AUTH=XOAUTH2@127.0.0.1:" + Env("DOVECOT_IMAP_PORT");
    const auto found = Await(desktop.find("127.0.0.1", ImapPort(), address, true));
    ASSERT_TRUE(found) << "the stand-in's account";
    EXPECT_TRUE(found->oauth2);
    EXPECT_FALSE(Await(desktop.find("127.0.0.1", ImapPort(), address, false)));

    DovecotLog log;
    EXPECT_EQ(LogIn(server, address, Await(desktop.credential(*found))), 3);
    EXPECT_NE(log.lineWith("method=XOAUTH2"), "");

    // The desktop still holds a token its provider has withdrawn.
    const QDBusMessage stale = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.OnlineAccounts"), QString::fromStdString(found->id),
        QStringLiteral("invalid.breezel.Test"), QStringLiteral("StaleOnce")));
    ASSERT_EQ(stale.type(), QDBusMessage::ReplyMessage);
    bool refused = false;
    EXPECT_LT(LogIn(server, address, Await(desktop.credential(*found)), &refused), 0);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(Await(desktop.renew(*found)));
    EXPECT_EQ(LogIn(server, address, Await(desktop.credential(*found))), 3);
}

struct Resume {
    int pid;
    ~Resume() { ::kill(pid, SIGCONT); }
};

TEST(SilentDesktopAccounts, AStoppedServiceHoldsNothingUpAndIsNoAccountAfterSeconds) {
    const char* pid = std::getenv("GOA_STANDIN_PID");
    ASSERT_NE(pid, nullptr) << "goa_test.sh passes the stand-in's PID";
    const Resume resume{std::atoi(pid)};
    ASSERT_EQ(::kill(resume.pid, SIGSTOP), 0);
    using Clock = std::chrono::steady_clock;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&ticks] { ++ticks; });
    timer.start(50);

    // An adapter that goes while its call waits must never answer it.
    auto doomed = std::make_unique<GoaDesktopAccounts>();
    bool doomedAnswered = false;
    TaskScope orphans;
    orphans.spawn([](DesktopAccounts& desktop, bool& answered) -> Task<> {
        co_await desktop.mailAccounts();
        answered = true;
    }(*doomed, doomedAnswered));
    doomed.reset();

    GoaDesktopAccounts desktop;
    const Clock::time_point start = Clock::now();
    const auto accounts = RunTask(desktop.mailAccounts(), 10s);
    const double answered = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_TRUE(accounts.has_value());
    EXPECT_TRUE(accounts->empty());
    // It waited on the service, for the listing's bound and not for QtDBus's 25 s.
    EXPECT_GE(answered, 1.0);
    EXPECT_LT(answered, 5.0);
    EXPECT_GE(ticks, 10) << "the event loop was held while the service was asked";
    EXPECT_FALSE(doomedAnswered);
}

}  // namespace
}  // namespace breezel
