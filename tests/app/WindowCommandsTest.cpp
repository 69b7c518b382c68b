#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/SetForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using WindowCommandsTest = ProgramFixture;

TEST_F(WindowCommandsTest, TrayHidesTheWindowAndEveryTimeRefreshesIconTipAndAdd) {
    MainForm& main = started();
    main.mtask.click();
    EXPECT_FALSE(main.window.visible());
    desktop_.menuChoice = 0;
    tray_.event(1);
    EXPECT_TRUE(main.window.visible());
    EXPECT_TRUE(main.window.topmost()) << "shown again in the stacking it had";

    desktop_.now = "2026/12/07 21:05:00";
    main.mtask.click();
    EXPECT_THAT(log_, ElementsAre("tray icon", "tray tip 2026/12/07 21:00:00", "tray add",
                                  "menu メイン画面を表示 - 終了", "tray icon",
                                  "tray tip 2026/12/07 21:05:00", "tray add"));
    EXPECT_FALSE(main.window.visible());
}

TEST_F(WindowCommandsTest, WithoutANotificationAreaTheWindowIsMinimizedNotLost) {
    MainForm& main = started();
    tray_.hasArea = false;
    int minimized = 0;
    auto watch = main.window.minimized.connectScoped([&] { ++minimized; });
    main.Command1.click();
    EXPECT_TRUE(main.window.visible());
    EXPECT_EQ(minimized, 1);
}

TEST_F(WindowCommandsTest, TrayCodesAndTheEndItem) {
    MainForm& main = started();
    main.Check2.setValue(1);
    tray_.event(0);
    tray_.event(7);
    desktop_.menuChoice = 2;
    tray_.event(1);
    EXPECT_THAT(log_, ElementsAre("box  (!): Clicked!", "menu メイン画面を表示 - 終了", "stop bgm",
                                  "close bgm", "NMailEndWinSock", "end process"));
    EXPECT_THAT(preferencesText(), HasSubstr("NUMBER3=1")) << "ending from the tray saves";
}

TEST_F(WindowCommandsTest, StackingCommandsShowTheWindowEitherWay) {
    MainForm& main = started();
    main.window.setVisible(false);
    main.mkaijyo.click();
    EXPECT_FALSE(main.window.topmost());
    EXPECT_TRUE(main.window.visible());
    main.mzenmen.click();
    EXPECT_TRUE(main.window.topmost());
}

TEST_F(WindowCommandsTest, HomePageOfferOpensTheGuideOnlyOnYes) {
    MainForm& main = started();
    main.mhp.click();
    messages_.yes = true;
    main.Command10.click();
    const std::string question =
        "ask 確認: 「Tanpopo」作者のホームページです。ちょっと見てみますか？";
    EXPECT_THAT(
        log_, ElementsAre(question, question,
                          "open url file://" + programDir_.path().string() + "/guide/index.html"));
}

TEST_F(WindowCommandsTest, MailerSelectionRemembersTheFileWithinARunAndCancelKeepsIt) {
    MainForm& main = started();
    main.mset.click();  // cancelled before anything was chosen
    EXPECT_EQ(main.Text7.text(), "");

    desktop_.fileChoice = "/opt/mail/Mailer.bin";
    main.Command7.click();
    EXPECT_EQ(main.Text7.text(), "/opt/mail/Mailer.bin");

    desktop_.fileChoice.clear();
    log_.clear();
    main.mset.click();
    EXPECT_THAT(log_, ElementsAre("file dialog /opt/mail/Mailer.bin"));
    EXPECT_EQ(main.Text7.text(), "/opt/mail/Mailer.bin");

    main.Form_Unload();
    EXPECT_EQ(start().mainForm().Text7.text(), "/opt/mail/Mailer.bin") << "kept across a restart";
}

TEST_F(WindowCommandsTest, MenuItemsPerformTheirButtons) {
    MainForm& main = started();
    main.mset2.click();
    EXPECT_TRUE(program_->setForm().window.visible());
    program_->closeSetForm();
    main.Picture1.click();  // the settings picture does the same
    EXPECT_TRUE(program_->setForm().window.visible());
    std::vector<std::string> captions;
    for (CommandButton* item : main.fileMenu()) {
        captions.push_back(item ? item->caption() : "-");
    }
    EXPECT_THAT(captions, ElementsAre("メールチェック（手動）", "-", "起動メーラーの設定",
                                      "タスクトレイに常駐", "設定", "メールボックスの一覧", "-",
                                      "常に前面表示", "前面表示解除", "-", "作者のホームページ"));
}

}  // namespace
}  // namespace breezel
