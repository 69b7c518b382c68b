// Checks of the program's logic through the real mail library while the network misbehaves: the
// server stopped between checks, a connection reset in the middle of RETR, a listener that
// never speaks and a name that does not resolve. Each check must end within its bound and the
// next check against the healthy private Dovecot (box100: 100 messages, started by
// run_network_faults.sh) must fill the board with "100".
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "HostileServers.h"
#include "forms/MsgForm.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtPop3TransportFactory.h"
#include "support/ProgramFixture.h"
#include "system/pop3/RunTask.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

pop3::Pop3Limits ShortLimits() {
    pop3::Pop3Limits limits;
    limits.connectTimeout = 1500ms;
    limits.responseTimeout = 1500ms;
    return limits;
}

/// Runs the control script that stops or starts the private Dovecot; true when it worked.
bool Dovecot(const std::string& action) {
    const std::string command = "bash '" + Env("FAULTS_DOVECOT_CTL") + "' " + action;
    return std::system(command.c_str()) == 0;
}

class NetworkFaultTest : public ProgramFixture {
protected:
    void SetUp() override {
        ASSERT_FALSE(Env("DOVECOT_PASSWORD").empty()) << "run through run_network_faults.sh";
        writeServerFile("POP3=" + healthy() + "\r\n");
        writeAccount("NAME=box100\nNAME2=" + Env("DOVECOT_PASSWORD") + "\n");
        program_ = std::make_unique<Program>(
            Services{timers_, timers_, mail_, sound_, process_, messages_, launcher_, dialUp_,
                     desktop_, random_, pictures_, tray_},
            programDir_.path().string());
        program_->start();
    }

    static std::string healthy() { return "127.0.0.1:" + Env("DOVECOT_POP3_PORT"); }

    /// One check against server, run in the event loop to its end; how long it took. The
    /// board of an earlier check is closed first and the log cleared.
    Clock::duration check(const std::string& server) {
        program_->closeMsgForm();
        log_.clear();
        program_->settings().Pop3Server = server;
        const auto begin = Clock::now();
        EXPECT_TRUE(RunTask(program_->mailCheck().CheckMail())) << "the check ended";
        return Clock::now() - begin;
    }

    std::vector<std::string> boxes() const {
        std::vector<std::string> found;
        for (const std::string& line : log_) {
            if (line.rfind("box ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }

    /// A check against the healthy server counts all 100 messages.
    void expectHealthyCheck() {
        const auto took = check(healthy());
        ASSERT_TRUE(program_->hasMsgForm()) << ::testing::PrintToString(log_);
        EXPECT_EQ(program_->msgForm().Text2.text(), "100");
        EXPECT_THAT(boxes(), ::testing::IsEmpty());
        EXPECT_LT(took, 5s);
    }

    QtPop3TransportFactory transports_;
    Pop3MailLibrary mail_{transports_, ShortLimits()};
};

TEST_F(NetworkFaultTest, ServerGoneBetweenChecks) {
    expectHealthyCheck();
    ASSERT_TRUE(Dovecot("stop"));
    const auto took = check(healthy());
    const bool restarted = Dovecot("start");
    // A refused connection ends the check at once and quietly, as any failed connect does.
    EXPECT_LT(took, 1s);
    EXPECT_FALSE(program_->hasMsgForm());
    EXPECT_THAT(boxes(), ::testing::IsEmpty()) << ::testing::PrintToString(log_);
    ASSERT_TRUE(restarted);
    expectHealthyCheck();
}

TEST_F(NetworkFaultTest, ResetInTheMiddleOfRetr) {
    // Greeting, CAPA, login and STAT take a few hundred bytes; the 100 messages of 2048 bytes
    // follow, so the reset lands inside the message data.
    faults::ResetProxy proxy(std::atoi(Env("DOVECOT_POP3_PORT").c_str()), 60000);
    const auto took = check("127.0.0.1:" + std::to_string(proxy.port()));
    EXPECT_TRUE(proxy.reset());
    EXPECT_LT(took, ShortLimits().responseTimeout + 1s);
    // The count came with the login: the board still reports it, and the lost messages, which
    // the check only reads past, raise no box.
    ASSERT_TRUE(program_->hasMsgForm()) << ::testing::PrintToString(log_);
    EXPECT_EQ(program_->msgForm().Text2.text(), "100");
    EXPECT_THAT(boxes(), ::testing::IsEmpty());
    expectHealthyCheck();
}

TEST_F(NetworkFaultTest, ListenerThatNeverSpeaks) {
    faults::SilentListener silent;
    const auto took = check("127.0.0.1:" + std::to_string(silent.port()));
    // The connection stands, so the wait for the greeting ends in the login's error box.
    EXPECT_GE(took, ShortLimits().responseTimeout - 100ms);
    EXPECT_LT(took, ShortLimits().responseTimeout + 1s);
    EXPECT_FALSE(program_->hasMsgForm());
    EXPECT_THAT(boxes(),
                ::testing::ElementsAre("box エラー: サーバーから応答がありません（時間切れ）"));
    expectHealthyCheck();
}

TEST_F(NetworkFaultTest, NameThatDoesNotResolve) {
    const auto took = check("x.invalid:110");
    EXPECT_LT(took, ShortLimits().connectTimeout + 1s);
    EXPECT_FALSE(program_->hasMsgForm());
    EXPECT_THAT(boxes(), ::testing::IsEmpty()) << ::testing::PrintToString(log_);
    expectHealthyCheck();
}

}  // namespace
}  // namespace breezel
