#include <gtest/gtest.h>

#include "forms/IdPassForm.h"
#include "forms/OptionForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

class DialogsTest : public ProgramFixture {
protected:
    std::filesystem::path accountPath() const { return dataFolder() / "iniIdPass.ini"; }
};

TEST_F(DialogsTest, AccountSavedWithTheBoxTickedIsPrivateAndStopsTheDialogOpening) {
    Program& program = start();
    IdPassForm& dialog = program.idPassForm();
    dialog.IdText.setText("user");
    dialog.PassText.setText("p@ss word");
    dialog.Check1.setValue(1);
    dialog.OKCommand.click();

    EXPECT_FALSE(program.hasIdPassForm());
    EXPECT_EQ(program.settings().AccountId, "user");
    EXPECT_EQ(program.settings().AccountPassword, "p@ss word");
    EXPECT_EQ(TempDir::Read(accountPath()), "[EXEINI]\nNAME=user\nNAME2=p@ss word\nNAME3=1\n");
    EXPECT_EQ(TempDir::Mode(accountPath()), 0600u);

    writeServerFile("POP3=pop.example\r\n");
    Program& next = start();
    EXPECT_FALSE(next.idPassForm().window.visible());
    EXPECT_EQ(next.idPassForm().PassText.text(), "p@ss word");
    EXPECT_EQ(next.idPassForm().Check1.value(), 1) << "the save box remembers the last choice";
}

TEST_F(DialogsTest, AccountWithTheBoxClearKeepsTheEarlierSavedAccount) {
    writeAccount("NAME=old\nNAME2=oldpw\nNAME3=1\n");
    Program& program = start();
    IdPassForm& dialog = program.idPassForm();
    dialog.IdText.setText("new");
    dialog.Check1.setValue(0);
    dialog.OKCommand.click();

    EXPECT_EQ(program.settings().AccountId, "new");
    EXPECT_EQ(TempDir::Read(accountPath()), "[EXEINI]\nNAME=old\nNAME2=oldpw\nNAME3=0\n");
}

TEST_F(DialogsTest, CancelChangesNeitherFileNorVariables) {
    writeAccount("NAME=old\nNAME2=oldpw\n");
    Program& program = start();
    const std::string before = TempDir::Read(accountPath());
    program.idPassForm().IdText.setText("typed");
    program.idPassForm().CancelCommand.click();
    EXPECT_EQ(TempDir::Read(accountPath()), before);
    EXPECT_EQ(program.settings().AccountId, "");
    EXPECT_EQ(program.idPassForm().IdText.text(), "old") << "reopening starts from the file";
}

TEST_F(DialogsTest, ServerDialogOkWritesFourLinesAndCancelNothing) {
    Program& program = start();
    OptionForm& dialog = program.optionForm();
    EXPECT_EQ(dialog.Pop3Text.text(), "");
    EXPECT_EQ(dialog.ApopCheck.value(), 0);
    dialog.Pop3Text.setText("pop.example");
    dialog.OKCommand.click();

    EXPECT_FALSE(program.hasOptionForm());
    EXPECT_EQ(program.settings().Pop3Server, "pop.example");
    const std::string saved = "SMTP=\r\nPOP3=pop.example\r\nMAIL=\r\nAPOP=0\r\n";
    EXPECT_EQ(TempDir::Read(currentDir_.path() / "vbmail.ini"), saved);

    OptionForm& again = program.optionForm();
    EXPECT_EQ(again.Pop3Text.text(), "pop.example");
    again.Pop3Text.setText("other.example");
    again.ApopCheck.setValue(1);
    again.CancelCommand.click();
    EXPECT_EQ(program.settings().Pop3Server, "pop.example");
    EXPECT_EQ(program.settings().ApopFlag, 0);
    EXPECT_EQ(TempDir::Read(currentDir_.path() / "vbmail.ini"), saved);
}

}  // namespace
}  // namespace breezel
