#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/IdPassForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "settings/IniFile.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class PreferencesTest : public ProgramFixture {
protected:
    std::string storedInterval() const {
        return IniFile(dataFolder() / "ini.ini").readString("EXEINI", "NUMBER2", "<none>");
    }
};

TEST_F(PreferencesTest, ClearingTheIntervalTurnsChecksOffAndStoresZeroAtOnce) {
    writePreferences("NUMBER2=5\n");
    Program& program = start();
    MainForm& main = program.mainForm();
    ASSERT_TRUE(main.Timer3.running());

    program.setForm().Text2.setText("");

    EXPECT_EQ(program.setForm().Text2.text(), "0");
    EXPECT_EQ(main.Label4.caption(), "OFF");
    EXPECT_EQ(main.Check3.value(), 0);
    EXPECT_EQ(main.Text5.text(), "0");
    EXPECT_FALSE(main.Timer3.running());
    EXPECT_EQ(storedInterval(), "0");
}

TEST_F(PreferencesTest, PositiveIntervalsStartTheCountAndAreStoredOnlyOnClose) {
    for (const char* typed : {"5", "1.5", "2分"}) {
        SCOPED_TRACE(typed);
        writePreferences("");
        Program& program = start();
        MainForm& main = program.mainForm();
        program.setForm().Text2.setText(typed);

        EXPECT_EQ(main.Label4.caption(), "ON");
        EXPECT_EQ(main.Check3.value(), 1);
        EXPECT_EQ(main.Text5.text(), typed);
        EXPECT_EQ(main.Timer3.interval(), 1000);
        EXPECT_EQ(storedInterval(), "0");

        program.closeSetForm();
        EXPECT_EQ(storedInterval(), typed);
    }
}

TEST_F(PreferencesTest, NegativeIntervalChangesNothingButIsSavedAsTyped) {
    writePreferences("NUMBER2=5\n");
    Program& program = start();
    MainForm& main = program.mainForm();
    program.setForm().Text2.setText("-3");

    EXPECT_EQ(main.Label4.caption(), "ON");
    EXPECT_EQ(main.Text5.text(), "5");
    EXPECT_TRUE(main.Timer3.running());

    program.closeSetForm();
    EXPECT_EQ(storedInterval(), "-3");
    // Any later use re-creates the dialog from the file.
    EXPECT_EQ(program.setForm().Text2.text(), "-3");
    EXPECT_EQ(main.Label4.caption(), "ON");
}

TEST_F(PreferencesTest, LettersCountAsZeroAndAreStoredAsTyped) {
    Program& program = start();
    program.setForm().Text2.setText("abc");
    EXPECT_EQ(program.mainForm().Label4.caption(), "OFF");
    EXPECT_EQ(storedInterval(), "abc");
    program.closeSetForm();
    EXPECT_EQ(program.setForm().Text2.text(), "0");
}

TEST_F(PreferencesTest, ClosingSavesTheBoxesAndTheNextUseReadsThemBack) {
    Program& program = start();
    SetForm& dialog = program.setForm();
    dialog.Check1.setValue(1);
    dialog.Check2.setValue(1);
    dialog.Text2.setText("12");
    program.closeSetForm();
    EXPECT_FALSE(program.hasSetForm());

    SetForm& again = program.setForm();
    EXPECT_FALSE(again.window.visible()) << "a use re-creates the dialog hidden";
    EXPECT_EQ(again.Check1.value(), 1);
    EXPECT_EQ(again.Check2.value(), 1);
    EXPECT_EQ(again.Text2.text(), "12");
}

TEST_F(PreferencesTest, ShutdownDoesNotSaveTheDialog) {
    Program& program = start();
    program.setForm().Check2.setValue(1);
    program.setForm().Text2.setText("7");
    program.mainForm().Form_Unload();
    EXPECT_THAT(preferencesText(), Not(HasSubstr("NUMBER4")));
    EXPECT_EQ(storedInterval(), "0");
}

TEST_F(PreferencesTest, ButtonsOpenTheAccountAndServerDialogsAndKeepThePreferencesOpen) {
    writeServerFile("POP3=pop.example\r\n");
    writeAccount("NAME=me\nNAME2=pw\n");
    Program& program = start();
    program.mainForm().Command9.click();
    program.setForm().Command1.click();
    program.setForm().Command2.click();
    EXPECT_TRUE(program.idPassForm().window.visible());
    EXPECT_TRUE(program.optionForm().window.visible());
    EXPECT_EQ(program.optionForm().Pop3Text.text(), "pop.example");
    EXPECT_TRUE(program.setForm().window.visible());
}

}  // namespace
}  // namespace breezel
