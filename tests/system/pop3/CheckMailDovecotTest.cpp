// A whole check of the program's logic against the private Dovecot, through the real mail
// library (STLS with the test CA), over a slow link while a question box stays open: the
// mailbox of three messages fills the notice board with "3" and starts the alert.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>

#include "Dovecot.h"
#include "RunTask.h"
#include "forms/Form1.h"
#include "forms/MsgForm.h"
#include "qt/QtServices.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;

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

using CheckMailDovecotTest = DovecotProgramFixture;

// A round trip of 200 ms makes the check span many turns of the event loop under the open box.
TEST_F(CheckMailDovecotTest, ACheckOverASlowLinkEndsWhileAQuestionStaysOpen) {
    DelayLine line(std::atoi(Env("DOVECOT_POP3_PORT").c_str()), 100);
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
    ASSERT_TRUE(program.hasMsgForm()) << ::testing::PrintToString(log_);
    EXPECT_EQ(program.msgForm().Text2.text(), "3");
    EXPECT_EQ(program.msgForm().Text1.text(), "新着メールが有ります");
    EXPECT_TRUE(sound_.playing("bgm"));
    ASSERT_TRUE(program.hasForm1());
    EXPECT_TRUE(program.form1().window.visible());
}

}  // namespace
}  // namespace breezel
