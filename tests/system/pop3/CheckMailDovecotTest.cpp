// Whole checks of the program's logic against the private Dovecot, through the real mail
// library (STLS with the test CA): the mailbox of three messages fills the notice board with
// "3" and starts the alert, also over a slow link while a question box stays open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <fstream>

#include "RunTask.h"
#include "forms/Form1.h"
#include "forms/MsgForm.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtPop3TransportFactory.h"
#include "qt/QtServices.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class CheckMailDovecotTest : public ProgramFixture {
protected:
    CheckMailDovecotTest() {
        transports_.addCaCertificates(
            QSslCertificate::fromPath(QString::fromStdString(Env("DOVECOT_CA"))));
    }

    /// Starts the program on the real library, configured for user at server, with the given
    /// message boxes.
    Program& startFor(const std::string& user, const std::string& server, MessageBox& messages) {
        writeServerFile("POP3=" + server + "\r\n");
        writeAccount("NAME=" + user + "\nNAME2=" + Env("DOVECOT_PASSWORD") + "\n");
        program_ = std::make_unique<Program>(
            Services{timers_, timers_, mail_, sound_, process_, messages, launcher_, dialUp_,
                     desktop_, random_, pictures_, tray_},
            programDir_.path().string());
        program_->start();
        log_.clear();
        return *program_;
    }

    void expectBoardAndAlert(Program& program) {
        ASSERT_TRUE(program.hasMsgForm()) << ::testing::PrintToString(log_);
        EXPECT_EQ(program.msgForm().Text2.text(), "3");
        EXPECT_EQ(program.msgForm().Text1.text(), "新着メールが有ります");
        EXPECT_TRUE(sound_.playing("bgm"));
        ASSERT_TRUE(program.hasForm1());
        EXPECT_TRUE(program.form1().window.visible());
    }

    QtPop3TransportFactory transports_;
    Pop3MailLibrary mail_{transports_};
};

TEST_F(CheckMailDovecotTest, ThreeMessagesFillTheBoardAndStartTheAlert) {
    Program& program = startFor("box3", "127.0.0.1:" + Env("DOVECOT_POP3_PORT"), messages_);
    ASSERT_TRUE(RunTask(program.mailCheck().CheckMail()));
    expectBoardAndAlert(program);
}

/// The delay line of the benchmarks: every byte arrives delayMs late in each direction.
class DelayLine {
public:
    DelayLine(int targetPort, int delayMs) {
        const QString portFile = dir_.filePath(QStringLiteral("port"));
        proxy_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Gone with the test, also when the test is killed.
        proxy_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        proxy_.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(BREEZEL_SOURCE_DIR "/bench/delay_proxy.py"),
                      QStringLiteral("--target-port"), QString::number(targetPort),
                      QStringLiteral("--delay-ms"), QString::number(delayMs),
                      QStringLiteral("--port-file"), portFile});
        for (int i = 0; i < 100 && port_ == 0; ++i) {
            proxy_.waitForFinished(50);
            std::ifstream(portFile.toStdString()) >> port_;
        }
    }
    ~DelayLine() {
        proxy_.kill();
        proxy_.waitForFinished(2000);
    }
    int port() const { return port_; }

private:
    QTemporaryDir dir_;
    QProcess proxy_;
    int port_ = 0;
};

TEST_F(CheckMailDovecotTest, ACheckOverASlowLinkEndsWhileAQuestionStaysOpen) {
    DelayLine line(std::atoi(Env("DOVECOT_POP3_PORT").c_str()), 300);
    ASSERT_NE(line.port(), 0) << "the delay line did not start";
    QtMessageBox boxes;
    Program& program = startFor("box3", "127.0.0.1:" + std::to_string(line.port()), boxes);
    // The home-page question is opened and left open, as a user who looks away would.
    program.mainForm().mhp.click();
    auto openQuestion = [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(openQuestion());

    ASSERT_TRUE(RunTask(program.mailCheck().CheckMail(), 60s)) << "the check ended";
    EXPECT_TRUE(openQuestion()) << "the question is still open";
    expectBoardAndAlert(program);
}

}  // namespace
}  // namespace breezel
