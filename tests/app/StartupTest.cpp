#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/IdPassForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using StartupTest = ProgramFixture;

TEST_F(StartupTest, FirstRunOpensBothDialogsAndSchedulesNothing) {
    Program& program = start();
    MainForm& main = program.mainForm();

    EXPECT_THAT(log_, ElementsAre("create MainForm", "create SetForm", "NMailInitializeWinSock",
                                  "NMailSetOption 1 8192", "create OptionForm", "create IdPassForm",
                                  "stop bgm", "close bgm"));
    EXPECT_TRUE(main.window.visible());
    EXPECT_TRUE(main.window.topmost());
    EXPECT_EQ(main.Label4.caption(), "OFF");
    EXPECT_EQ(main.Check3.value(), 0);
    EXPECT_EQ(main.Text5.text(), "0");
    EXPECT_FALSE(main.Timer3.running());
    EXPECT_EQ(main.Text7.text(), "未設定");
    EXPECT_EQ(main.Check2.value(), 0);
    EXPECT_EQ(main.Check4.value(), 0);
    EXPECT_EQ(main.Check1.value(), 1) << "the loop box starts ticked";

    ASSERT_TRUE(program.hasOptionForm());
    EXPECT_TRUE(program.optionForm().window.visible());
    EXPECT_TRUE(program.optionForm().window.topmost());
    ASSERT_TRUE(program.hasIdPassForm());
    EXPECT_TRUE(program.idPassForm().window.visible());
    ASSERT_TRUE(program.hasSetForm());
    EXPECT_FALSE(program.setForm().window.visible());

    // Creating the preferences dialog with no stored interval stores "0" at once.
    EXPECT_THAT(preferencesText(), HasSubstr("NUMBER2=0"));

    timers_.advance(10 * 60 * 1000);
    EXPECT_EQ(main.Text1.text(), "Text1") << "no minute is counted without an interval";
}

TEST_F(StartupTest, ConfiguredAccountAndServerOpenNoDialogAMissingPasswordTheAccountOne) {
    writeServerFile("SMTP=smtp.example\r\nPOP3=pop.example\r\nMAIL=me@example\r\nAPOP=1\r\n");
    for (const std::string password : {"secret", ""}) {
        SCOPED_TRACE(password);
        writeAccount("NAME=me\nNAME2=" + password + "\n");
        Program& program = start();
        EXPECT_FALSE(program.hasOptionForm());
        ASSERT_TRUE(program.hasIdPassForm()) << "the account dialog exists, hidden or not";
        EXPECT_EQ(program.idPassForm().window.visible(), password.empty());
        EXPECT_EQ(program.idPassForm().IdText.text(), "me");
        EXPECT_EQ(program.idPassForm().PassText.text(), password);
        EXPECT_EQ(program.settings().Pop3Server, "pop.example");
        EXPECT_EQ(program.settings().ApopFlag, 1);
    }
}

TEST_F(StartupTest, StoredOptionsApplyOnlyForZeroAndOne) {
    struct Row {
        const char* number3;
        const char* number5;
        int check2;
        int check4;
    };
    for (const Row& row : {Row{"1", "1", 1, 1}, Row{"2", "-1", 0, 0}, Row{"0", "0", 0, 0}}) {
        SCOPED_TRACE(std::string("NUMBER3=") + row.number3 + " NUMBER5=" + row.number5);
        writePreferences(std::string("NUMBER3=") + row.number3 + "\nNUMBER5=" + row.number5 + "\n");
        log_.clear();
        Program& program = start();
        EXPECT_EQ(program.mainForm().Check2.value(), row.check2);
        EXPECT_EQ(program.mainForm().Check4.value(), row.check4);
        // Restoring a ticked mute box silences the sound once more.
        const auto stops = std::count(log_.begin(), log_.end(), "stop bgm");
        EXPECT_EQ(stops, row.check4 == 1 ? 2 : 1);
    }
}

TEST_F(StartupTest, MailProgramFallsBackToUnsetWhenMissingOrEmpty) {
    for (const char* lines : {"NAME=\n", "NUMBER=0\n", "NAME=   \n"}) {
        SCOPED_TRACE(lines);
        writePreferences(lines);
        EXPECT_EQ(start().mainForm().Text7.text(), "未設定");
    }
}

TEST_F(StartupTest, HangUpPreferenceIsAppliedAfterTheDialogsOwnLoad) {
    writePreferences("NUMBER=1\nNUMBER4=1\n");
    Program& program = start();
    EXPECT_EQ(program.setForm().Check1.value(), 1);
    EXPECT_EQ(program.setForm().Check2.value(), 1);

    // Any other value leaves the box as the load set it; the dialog is then made last, when the
    // interval is read.
    writePreferences("NUMBER=7\n");
    log_.clear();
    Program& again = start();
    EXPECT_EQ(again.setForm().Check1.value(), 0);
    EXPECT_THAT(log_, ElementsAre("create MainForm", "NMailInitializeWinSock",
                                  "NMailSetOption 1 8192", "create OptionForm", "create IdPassForm",
                                  "stop bgm", "close bgm", "create SetForm"));
}

TEST_F(StartupTest, ServerFileComesFromCurrentDirectoryAndTheRestFromProgramFolder) {
    TempDir::Write(programDir_.path() / "vbmail.ini", "POP3=wrong.example\r\n");
    writeServerFile("POP3=right.example\r\n");
    writePreferences("NAME=/usr/bin/mailer\n");
    Program& program = start();

    EXPECT_EQ(program.settings().Pop3Server, "right.example");
    EXPECT_EQ(program.mainForm().Text7.text(), "/usr/bin/mailer");
    EXPECT_EQ(program.mainForm().WebBrowser1.locationUrl(),
              "file://" + programDir_.path().string() + "/画像データ/FanMove.gif");
}

TEST_F(StartupTest, MissingDataFolderGivesDefaultsAndIsNotCreated) {
    std::filesystem::remove_all(dataFolder());
    Program& program = start();
    EXPECT_EQ(program.mainForm().Label4.caption(), "OFF");
    EXPECT_EQ(program.mainForm().Text7.text(), "未設定");
    EXPECT_FALSE(std::filesystem::exists(dataFolder()));
}

}  // namespace
}  // namespace breezel
