// The mail library over the Qt transport against the private Dovecot that run_dovecot_tests.sh
// started.
#include <gtest/gtest.h>

#include "Dovecot.h"
#include "RunTask.h"

namespace breezel {
namespace {

std::string Pop3s(const std::string& host = "127.0.0.1") {
    return "pop3s://" + host + ":" + Env("DOVECOT_POP3S_PORT");
}

/// The result of a call, run in the event loop; a call that did not end within 30 s fails.
int Call(Task<int> call) {
    const std::optional<int> result = RunTask(std::move(call));
    EXPECT_TRUE(result.has_value()) << "the call did not end";
    return result.value_or(-100);
}

/// Connects and logs in as a check does: the login's result, or -1 when there was no connection
/// to log in on. failure: the library's text after a failure.
int LogIn(MailLibrary& mail, const std::string& server, const std::string& password, int apop,
          std::string& failure) {
    const int handle = Call(mail.NMailPop3Connect(net::MailboxAt(server)));
    const int result = handle == -1
                           ? -1
                           : Call(mail.NMailPop3Authenticate(
                                 handle, "box3", net::Credential::ofPassword(password), apop));
    failure = result < 0 ? mail.NMailGetMessage(0) : "";
    if (handle != -1) {
        Call(mail.NMailPop3Close(handle));
    }
    return result;
}

// Dovecot's log tells how each login went: STLS on the plain port comes before the credentials.
TEST(Pop3DovecotTest, EveryWayInLogsInOverTls) {
    Pop3MailLibrary mail(TrustingTransports());
    const struct {
        std::string server;
        int apop;
        const char* method;
    } cases[] = {
        {DovecotPlain(), 0, "method=PLAIN"},
        {DovecotPlain(), -1, "method=APOP"},
        {Pop3s(), 0, "method=PLAIN"},
        // The certificate names localhost and 127.0.0.1.
        {Pop3s("localhost"), 0, "method=PLAIN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server + " " + c.method);
        DovecotLog log;
        std::string failure;
        EXPECT_EQ(LogIn(mail, c.server, Env("DOVECOT_PASSWORD"), c.apop, failure), 3) << failure;
        const std::string login = log.lineWith("Login: user=<box3>");
        EXPECT_NE(login.find(c.method), std::string::npos) << login;
        EXPECT_NE(login.find(", TLS,"), std::string::npos) << login;
    }
}

/// What a walk over every message of a mailbox found.
struct Walked {
    int count = -1;
    int failures = 0;
    int badSizes = 0;
    MailTexts last;
};

/// A check's walk as one task: connect, log in, status, size and retrieval of every message,
/// close. fileSize: the size of each message as the harness wrote it, with bare line feeds.
Task<Walked> WalkMailbox(MailLibrary& mail, std::string user, int fileSize) {
    Walked walked;
    const int handle = co_await mail.NMailPop3Connect(net::MailboxAt(DovecotPlain()));
    if (handle == -1) {
        co_return walked;
    }
    walked.count = co_await mail.NMailPop3Authenticate(
        handle, user, net::Credential::ofPassword(Env("DOVECOT_PASSWORD")), 0);
    for (int n = 1; n <= walked.count; ++n) {
        walked.failures +=
            co_await mail.NMailPop3GetMailStatus(handle, n, walked.last, 0) < 0 ? 1 : 0;
        const int size = co_await mail.NMailPop3GetMailSize(handle, n);
        // POP3 counts CR LF where the file has LF.
        walked.badSizes += size < fileSize || size > fileSize * 2 ? 1 : 0;
        walked.failures += co_await mail.NMailPop3GetMail(handle, n, walked.last, 0, 0) < 0 ? 1 : 0;
    }
    walked.failures += co_await mail.NMailPop3Close(handle) != 1 ? 1 : 0;
    co_return walked;
}

TEST(Pop3DovecotTest, EveryMessageOfEachMailboxIsWalked) {
    Pop3MailLibrary mail(TrustingTransports());
    const std::vector<std::pair<int, int>> mailboxes = {{0, 0}, {3, 1500}, {1000, 2048}};
    for (const auto& [count, fileSize] : mailboxes) {
        SCOPED_TRACE("box" + std::to_string(count));
        const std::optional<Walked> walked =
            RunTask(WalkMailbox(mail, "box" + std::to_string(count), fileSize));
        ASSERT_TRUE(walked.has_value()) << "the walk did not end";
        EXPECT_EQ(walked->count, count) << mail.NMailGetMessage(0);
        EXPECT_EQ(walked->failures, 0) << mail.NMailGetMessage(0);
        EXPECT_EQ(walked->badSizes, 0);
        if (count > 0) {
            const MailTexts& texts = walked->last;
            EXPECT_FALSE(texts.h1.empty() && texts.h2.empty() && texts.h3.empty() &&
                         texts.h4.empty())
                << "the last message's headers reach the caller";
        }
    }
}

// A failed login, never an empty mailbox nor a silent missing connection.
TEST(Pop3DovecotTest, EveryFailedLoginTellsItsReason) {
    QtTransportFactory systemOnly;
    const struct {
        QtTransportFactory& transports;
        std::string server;
        std::string password;
        std::vector<std::string> reasons;
    } cases[] = {
        {TrustingTransports(), Pop3s("127.0.0.2"), Env("DOVECOT_PASSWORD"), {"TLS", "host name"}},
        {systemOnly, Pop3s(), Env("DOVECOT_PASSWORD"), {"TLS", "certificate"}},
        {systemOnly, DovecotPlain(), Env("DOVECOT_PASSWORD"), {"TLS", "certificate"}},
        // Dovecot holds back every failed login by about two seconds, and the logins from the
        // same address after it too: the last case of the last test.
        {TrustingTransports(), DovecotPlain(), "not-the-password", {"Authentication failed"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server + " " + c.reasons.back());
        Pop3MailLibrary mail(c.transports);
        std::string failure;
        EXPECT_LT(LogIn(mail, c.server, c.password, 0, failure), 0);
        for (const std::string& reason : c.reasons) {
            EXPECT_NE(failure.find(reason), std::string::npos) << failure;
        }
    }
}

}  // namespace
}  // namespace breezel
