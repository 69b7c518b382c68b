#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/Form1.h"
#include "forms/SetForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class AlertTest : public ProgramFixture {
protected:
    /// Lets the 100 ms sound poll run once.
    void poll() { timers_.advance(100); }
    std::string openCommand() const {
        return "open \"" + programDir_.path().string() + "/Sound/Kouka.wav\" alias bgm";
    }
    /// The sound commands in the log, without the polls' status queries.
    std::vector<std::string> commands() const {
        std::vector<std::string> result;
        for (const auto& line : log_) {
            if (line != "status bgm mode" && line.rfind("create", 0) != 0) {
                result.push_back(line);
            }
        }
        return result;
    }
};

TEST_F(AlertTest, LoopingSoundRepeatsUntilReset) {
    MainForm& main = started();
    main.Command2.click();
    sound_.finish("bgm");
    poll();
    sound_.finish("bgm");
    poll();
    main.Command3.click();
    EXPECT_THAT(commands(), ElementsAre(openCommand(), "play bgm", "play bgm from 0",
                                        "play bgm from 0", "stop bgm", "close bgm"));
    EXPECT_FALSE(sound_.playing("bgm"));
    EXPECT_FALSE(program_->hasForm1());
    EXPECT_EQ(main.WebBrowser1.navigations(), 2) << "the fan starts again";
}

TEST_F(AlertTest, WithoutLoopTheFirstEndClosesTheDeviceAndLaterAlertsPlayOnceThenFallSilent) {
    MainForm& main = started();
    main.Check1.setValue(0);
    main.Command2.click();
    sound_.finish("bgm");
    poll();
    EXPECT_THAT(commands(), ElementsAre(openCommand(), "play bgm", "stop bgm", "close bgm"));
    EXPECT_FALSE(main.Timer2.running()) << "the poll is off for good";

    // Next alert: plays once, and the device stays open at the end.
    log_.clear();
    main.Command2.click();
    EXPECT_TRUE(sound_.playing("bgm"));
    sound_.finish("bgm");
    timers_.advance(1000);
    EXPECT_THAT(commands(), ElementsAre(openCommand(), "play bgm"));

    // A further alert before a reset is silent: the open fails and play starts at the end.
    main.Command2.click();
    EXPECT_FALSE(sound_.playing("bgm"));
}

TEST_F(AlertTest, SecondAlertWhilePlayingNeitherRestartsNorDoublesTheSound) {
    MainForm& main = started();
    main.Command2.click();
    main.Command2.click();
    EXPECT_THAT(commands(), ElementsAre(openCommand(), "play bgm", openCommand(), "play bgm"));
    EXPECT_TRUE(sound_.playing("bgm"));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "create Form1"), 1);
}

TEST_F(AlertTest, MutedAlertSendsNoCommandButShowsTheChime) {
    MainForm& main = started();
    main.Check4.setValue(1);
    log_.clear();
    main.Command2.click();
    EXPECT_THAT(commands(), IsEmpty());
    EXPECT_TRUE(program_->form1().window.visible());
}

TEST_F(AlertTest, MuteClickEitherWayStopsAndClosesTheSound) {
    MainForm& main = started();
    main.Command2.click();
    log_.clear();
    main.Check4.setValue(1);
    EXPECT_FALSE(sound_.playing("bgm"));
    main.Check4.setValue(0);
    EXPECT_THAT(log_, ElementsAre("stop bgm", "close bgm", "stop bgm", "close bgm"));
    main.Command2.click();
    main.Check4.setValue(0);  // no change, no click
    EXPECT_TRUE(sound_.playing("bgm"));
}

TEST_F(AlertTest, LampIsSteadyGreenWithoutIntervalAndBlinksWithIt) {
    MainForm& main = started();
    const std::string green = programDir_.path().string() + "/画像データ/Green.gif";
    const std::string red = programDir_.path().string() + "/画像データ/Red.gif";
    std::vector<std::string> loads;
    auto watch = main.Image1.changed.connectScoped(
        [&] { loads.push_back(main.Image1.picturePath() == red ? "R" : "G"); });
    timers_.advance(3000);
    EXPECT_EQ(loads, (std::vector<std::string>{"G", "G", "G"}));

    // With automatic checks on: green for two seconds, then red until the next step. The
    // steps falling due meanwhile are dropped, not delivered late over the red.
    loads.clear();
    std::vector<std::int64_t> times;
    auto timed = main.Image1.changed.connectScoped([&] { times.push_back(timers_.now()); });
    program_->setForm().Text2.setText("5");
    timers_.advance(6100);
    EXPECT_THAT(loads, ElementsAre("G", "R", "G", "R"));
    EXPECT_THAT(times, ElementsAre(4000, 6020, 7000, 9020));
}

}  // namespace
}  // namespace breezel
