#include <gtest/gtest.h>

#include "forms/SetForm.h"
#include "settings/IniFile.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

class PreferencesTest : public ProgramFixture {
protected:
    std::string storedInterval() const {
        return IniFile(dataFolder() / "ini.ini").readString("EXEINI", "NUMBER2", "<none>");
    }
};

// What a typed interval does at once, what closing the dialog stores, and what the dialog made
// again from the file then shows.
TEST_F(PreferencesTest, TypedIntervalsActAtOnceAndAreStoredAsTyped) {
    struct Row {
        const char* preferences;
        const char* typed;
        const char* status;  // the main window's ON or OFF
        const char* shown;   // the main window's interval
        const char* storedAtOnce;
        const char* reread;
    };
    const Row rows[] = {
        {"NUMBER2=5\n", "", "OFF", "0", "0", "0"},  // cleared: the form puts "0" in
        {"", "5", "ON", "5", "0", "5"},
        {"", "1.5", "ON", "1.5", "0", "1"},
        {"", "2分", "ON", "2分", "0", "2"},
        // Negative: changes nothing, so what start-up armed from the stored 5 shows.
        {"NUMBER2=5\n", "-3", "ON", "5", "5", "-3"},
        {"", "abc", "OFF", "abc", "abc", "0"},  // letters count as zero
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        writePreferences(row.preferences);
        Program& program = start();
        MainForm& main = program.mainForm();
        program.setForm().Text2.setText(row.typed);
        const std::string text = *row.typed != '\0' ? row.typed : "0";
        const bool on = std::string(row.status) == "ON";
        EXPECT_EQ(program.setForm().Text2.text(), text);
        EXPECT_EQ(main.Label4.caption(), row.status);
        EXPECT_EQ(main.Check3.value(), on ? 1 : 0);
        EXPECT_EQ(main.Text5.text(), row.shown);
        EXPECT_EQ(main.Timer3.running(), on);
        EXPECT_EQ(main.Timer3.interval(), on ? 1000 : 0);
        EXPECT_EQ(storedInterval(), row.storedAtOnce);

        program.closeSetForm();
        EXPECT_EQ(storedInterval(), text);
        // Any later use makes the dialog again from the file.
        EXPECT_EQ(program.setForm().Text2.text(), row.reread);
        EXPECT_EQ(main.Label4.caption(), row.status);
    }
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

}  // namespace
}  // namespace breezel
