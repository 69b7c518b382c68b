// The mail library over the Qt transport against the private Dovecot that run_dovecot_tests.sh
// started: its ports, CA, log and the password of the boxN users (N messages each) come in the
// environment.
#include <gtest/gtest.h>

#include <QSslSocket>
#include <fstream>
#include <sstream>

#include "LocalServer.h"
#include "RunTask.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtPop3TransportFactory.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Password() {
    return Env("DOVECOT_PASSWORD");
}

std::string Plain(const std::string& host = "127.0.0.1") {
    return host + ":" + Env("DOVECOT_POP3_PORT");
}

std::string Pop3s(const std::string& host = "127.0.0.1") {
    return "pop3s://" + host + ":" + Env("DOVECOT_POP3S_PORT");
}

/// The result of a call, run in the event loop; a call that did not end within 30 s fails.
int Call(Task<int> call) {
    const std::optional<int> result = RunTask(std::move(call));
    EXPECT_TRUE(result.has_value()) << "the call did not end";
    return result.value_or(-100);
}

/// Reads Dovecot's log from a mark on, as lines are written by its own log process.
class DovecotLog {
public:
    DovecotLog() : mark_(content().size()) {}

    /// The first line since the mark that holds `needle`, waiting for it up to 5 s.
    std::string lineWith(const std::string& needle) const {
        std::string found;
        ProcessEventsUntil([&] {
            std::istringstream lines(content().substr(mark_));
            for (std::string line; std::getline(lines, line);) {
                if (line.find(needle) != std::string::npos) {
                    found = line;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

private:
    static std::string content() {
        std::ifstream file(Env("DOVECOT_LOG"));
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::size_t mark_;
};

class Pop3DovecotTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        trusting_ = new QtPop3TransportFactory;
        trustsTestCa_ = trusting_->addCaCertificates(QString::fromStdString(Env("DOVECOT_CA")));
        systemOnly_ = new QtPop3TransportFactory;
    }
    static void TearDownTestSuite() {
        delete trusting_;
        delete systemOnly_;
    }
    void SetUp() override {
        ASSERT_TRUE(trustsTestCa_) << "DOVECOT_CA must name the test CA";
        ASSERT_FALSE(Password().empty()) << "run through run_dovecot_tests.sh";
    }

    /// Connects and logs in as a check does: the login's result, or -1 when there was no
    /// connection to log in on. failure: the library's text after a failure.
    static int logIn(MailLibrary& mail, const std::string& server, const std::string& user,
                     const std::string& password, int apop = 0, std::string* failure = nullptr) {
        const int handle = Call(mail.NMailPop3Connect(server));
        int result = -1;
        if (handle != -1) {
            result = Call(mail.NMailPop3Authenticate(handle, user, password, apop));
        }
        if (failure != nullptr) {
            *failure = result < 0 ? mail.NMailGetMessage(0) : "";
        }
        if (handle != -1) {
            Call(mail.NMailPop3Close(handle));
        }
        return result;
    }

    static inline QtPop3TransportFactory* trusting_ = nullptr;
    static inline QtPop3TransportFactory* systemOnly_ = nullptr;
    static inline bool trustsTestCa_ = false;
};

TEST_F(Pop3DovecotTest, PlainServerOfferingStlsIsUpgradedBeforeTheLogin) {
    Pop3MailLibrary mail(*trusting_);
    DovecotLog log;
    std::string failure;
    EXPECT_EQ(logIn(mail, Plain(), "box3", Password(), 0, &failure), 3) << failure;
    const std::string login = log.lineWith("Login: user=<box3>");
    EXPECT_NE(login.find("method=PLAIN"), std::string::npos) << login;
    EXPECT_NE(login.find(", TLS,"), std::string::npos) << login;
}

TEST_F(Pop3DovecotTest, Pop3sIsVerifiedAgainstTheTestCaAndByName) {
    Pop3MailLibrary mail(*trusting_);
    std::string failure;
    EXPECT_EQ(logIn(mail, Pop3s(), "box3", Password(), 0, &failure), 3) << failure;
    EXPECT_EQ(logIn(mail, Pop3s("localhost"), "box3", Password(), 0, &failure), 3) << failure;

    // The certificate names localhost and 127.0.0.1 only.
    EXPECT_LT(logIn(mail, Pop3s("127.0.0.2"), "box3", Password(), 0, &failure), 0);
    EXPECT_NE(failure.find("TLS"), std::string::npos) << failure;
    EXPECT_NE(failure.find("host name"), std::string::npos) << failure;
}

TEST_F(Pop3DovecotTest, UntrustedCertificateFailsTheLoginWithItsReason) {
    Pop3MailLibrary mail(*systemOnly_);
    for (const std::string& server : {Pop3s(), Plain()}) {
        SCOPED_TRACE(server);
        std::string failure;
        // A failed login, never an empty mailbox nor a silent missing connection.
        EXPECT_LT(logIn(mail, server, "box3", Password(), 0, &failure), 0);
        EXPECT_NE(failure.find("TLS"), std::string::npos) << failure;
        EXPECT_NE(failure.find("certificate"), std::string::npos) << failure;
    }
}

TEST_F(Pop3DovecotTest, ApopLogsIn) {
    Pop3MailLibrary mail(*trusting_);
    DovecotLog log;
    std::string failure;
    EXPECT_EQ(logIn(mail, Plain(), "box3", Password(), -1, &failure), 3) << failure;
    const std::string login = log.lineWith("Login: user=<box3>");
    EXPECT_NE(login.find("method=APOP"), std::string::npos) << login;
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
    const int handle = co_await mail.NMailPop3Connect(Plain());
    if (handle == -1) {
        co_return walked;
    }
    walked.count = co_await mail.NMailPop3Authenticate(handle, user, Password(), 0);
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

TEST_F(Pop3DovecotTest, EveryMessageOfEachMailboxIsWalked) {
    Pop3MailLibrary mail(*trusting_);
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
            EXPECT_EQ(texts.h1.empty() && texts.h2.empty() && texts.h3.empty() && texts.h4.empty(),
                      false)
                << "the last message's headers reach the caller";
        }
    }
}

TEST_F(Pop3DovecotTest, UnreachableServersFailToConnect) {
    quint16 closedPort = 0;
    {
        LocalServer gone;
        closedPort = gone.serverPort();
    }
    Pop3MailLibrary mail(*trusting_);
    EXPECT_EQ(Call(mail.NMailPop3Connect("127.0.0.1:" + std::to_string(closedPort))), -1);
    EXPECT_FALSE(mail.NMailGetMessage(0).empty());
    EXPECT_EQ(Call(mail.NMailPop3Connect("no-such-host.invalid")), -1);
    EXPECT_NE(mail.NMailGetMessage(0).find("no-such-host.invalid"), std::string::npos)
        << mail.NMailGetMessage(0);
}

TEST_F(Pop3DovecotTest, ServerThatNeverAnswersFailsWithinTheLimits) {
    LocalServer silent;
    pop3::Pop3Limits limits;
    limits.connectTimeout = 500ms;
    limits.responseTimeout = 300ms;
    limits.quitTimeout = 100ms;
    Pop3MailLibrary mail(*trusting_, limits);
    std::string failure;
    EXPECT_LT(logIn(mail, "127.0.0.1:" + std::to_string(silent.serverPort()), "box3", Password(), 0,
                    &failure),
              0);
    EXPECT_FALSE(failure.empty());
    EXPECT_LT(logIn(mail, "pop3s://127.0.0.1:" + std::to_string(silent.serverPort()), "box3",
                    Password(), 0, &failure),
              0);
    EXPECT_FALSE(failure.empty());
}

// Dovecot holds back every failed login by about two seconds, and the logins from the same
// address after it too: one case only, the last.
TEST_F(Pop3DovecotTest, WrongPasswordFailsWithDovecotsAnswer) {
    Pop3MailLibrary mail(*trusting_);
    std::string failure;
    EXPECT_LT(logIn(mail, Plain(), "box3", "not-the-password", 0, &failure), 0);
    EXPECT_NE(failure.find("Authentication failed"), std::string::npos) << failure;
}

}  // namespace
}  // namespace breezel
