// A whole check of the program's logic against the private Dovecot, through the real mail
// library (STLS with the test CA): the mailbox of three messages fills the notice board with
// "3" and starts the alert.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSslCertificate>

#include "alert/Form1.h"
#include "alert/MsgForm.h"
#include "platform/pop3/Pop3MailLibrary.h"
#include "platform/qt/QtPop3TransportFactory.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

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

    /// Starts the program on the real library, configured for user with the password.
    Program& startFor(const std::string& user, const std::string& password) {
        writeServerFile("POP3=127.0.0.1:" + Env("DOVECOT_POP3_PORT") + "\r\n");
        writeAccount("NAME=" + user + "\nNAME2=" + password + "\n");
        program_ = std::make_unique<Program>(
            Services{timers_, timers_, timers_, mail_, sound_, process_, messages_, launcher_,
                     dialUp_, desktop_, random_, pictures_, tray_},
            programDir_.path().string());
        program_->start();
        log_.clear();
        return *program_;
    }

    QtPop3TransportFactory transports_;
    Pop3MailLibrary mail_{transports_};
};

TEST_F(CheckMailDovecotTest, ThreeMessagesFillTheBoardAndStartTheAlert) {
    Program& program = startFor("box3", Env("DOVECOT_PASSWORD"));
    program.mainForm().Command8.click();

    ASSERT_TRUE(program.hasMsgForm()) << ::testing::PrintToString(log_);
    EXPECT_EQ(program.msgForm().Text2.text(), "3");
    EXPECT_EQ(program.msgForm().Text1.text(), "新着メールが有ります");
    EXPECT_TRUE(sound_.playing("bgm"));
    ASSERT_TRUE(program.hasForm1());
    EXPECT_TRUE(program.form1().window.visible());
}

}  // namespace
}  // namespace breezel
