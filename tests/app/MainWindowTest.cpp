#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/FileTitle.h"
#include "forms/SetForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;

using MainWindowTest = ProgramFixture;

TEST_F(MainWindowTest, LabelScrollsOnTheTwentyTwipGridAndWrapsAtTheLeftStop) {
    MainForm& main = start().mainForm();
    ASSERT_EQ(main.Label1.rect().left, 3240);

    std::vector<Twips> lefts;
    for (int tick = 0; tick < 700; ++tick) {
        timers_.advance(20);
        lefts.push_back(main.Label1.rect().left);
    }
    EXPECT_EQ(lefts[0], 3220);
    EXPECT_EQ(lefts[1], 3200);
    EXPECT_EQ(lefts[236], -1500) << "the first pass takes 237 ticks";
    EXPECT_EQ(lefts[237], 2760);
    EXPECT_EQ(lefts[238], 2740);
    EXPECT_EQ(lefts[237 + 213], -1500) << "later passes take 213 ticks to the stop";
    EXPECT_EQ(lefts[237 + 214], 2760);
    EXPECT_GE(*std::min_element(lefts.begin(), lefts.end()), -1500);
    EXPECT_EQ(main.Label1.caption(), "未設定");
    EXPECT_EQ(main.Text2.text(), "Text2");
}

TEST_F(MainWindowTest, UnseenLabelWakesNoOneYetStandsWherePaintedTicksWouldHavePutIt) {
    writePreferences("NUMBER2=5\n");
    MainForm& painted = start().mainForm();
    const int ticks = 1234;
    for (int tick = 0; tick < ticks; ++tick) {
        timers_.advance(20);
    }
    const Twips expected = painted.Label1.rect().left;

    MainForm& main = start().mainForm();
    const std::int64_t from = timers_.now();
    main.window.setUnseen(true);
    timers_.advance(100);  // the polls' first beat, after which they rest
    const Twips before = main.Label1.rect().left;
    timers_.advance(880);
    EXPECT_EQ(main.Label1.rect().left, before) << "no wake-up of its own while unseen";
    timers_.advance(ticks * 20 - 980 + 10);
    main.window.setUnseen(false);
    timers_.settle();
    EXPECT_EQ(main.Label1.rect().left, expected);
    EXPECT_EQ(timers_.now() - from, ticks * 20 + 10);
    timers_.advance(10);
    EXPECT_NE(main.Label1.rect().left, expected) << "and on time again";
}

TEST_F(MainWindowTest, LabelNamesTheMailProgramByItsFileTitle) {
    MainForm& main = start().mainForm();
    struct Row {
        const char* text7;
        const char* text8;
        const char* label;
    };
    for (const Row& row :
         {Row{"未設定", "未設定", "未設定"}, Row{"", "", "設定されていません。"},
          Row{"/usr/bin/メーラー", "メーラー", "メーラー"},
          Row{"/opt/My Mail/mail.sh", "mail.sh", "mail.sh"}, Row{"/usr/bin/", "", ""}}) {
        SCOPED_TRACE(row.text7);
        main.Text7.setText(row.text7);
        timers_.advance(20);
        EXPECT_EQ(main.Text8.text(), row.text8);
        EXPECT_EQ(main.Label1.caption(), row.label);
    }
}

TEST(FileTitleTest, TitleThatDoesNotFitTheBufferIsEmpty) {
    EXPECT_EQ(FileTitle("/x/" + std::string(249, 'a')), std::string(249, 'a'));
    EXPECT_EQ(FileTitle("/x/" + std::string(250, 'a')), "");
    std::string kana;
    for (int i = 0; i < 249; ++i) {
        kana += "あ";
    }
    EXPECT_EQ(FileTitle("/x/" + kana), kana) << "the limit counts characters, not bytes";
}

TEST_F(MainWindowTest, ShutdownSilencesSavesThreeOptionsAndEndsLast) {
    struct Row {
        const char* mailer;
        const char* readBack;
    };
    for (const Row& row : {Row{"/usr/bin/mailer", "/usr/bin/mailer"}, Row{"", "未設定"}}) {
        SCOPED_TRACE(row.mailer);
        writePreferences("NUMBER2=5\n");
        Program& program = start();
        MainForm& main = program.mainForm();
        main.Check2.setValue(1);
        main.Text7.setText(row.mailer);
        program.setForm().Check1.setValue(1);  // an open dialog's change is not saved at exit
        log_.clear();

        main.Form_Unload();

        EXPECT_THAT(log_, ElementsAre("stop bgm", "close bgm", "NMailEndWinSock", "end process"));
        EXPECT_FALSE(main.Timer2.running());
        EXPECT_EQ(preferencesText(), "[EXEINI]\nNUMBER2=5\nNAME=" + std::string(row.mailer) +
                                         "\nNUMBER3=1\nNUMBER5=0\n")
            << "nothing of the open dialog";

        // The next start reads the options back.
        MainForm& next = start().mainForm();
        EXPECT_EQ(next.Check2.value(), 1);
        EXPECT_EQ(next.Check4.value(), 0);
        EXPECT_EQ(next.Text7.text(), row.readBack);
    }
}

}  // namespace
}  // namespace breezel
