#include <gtest/gtest.h>

#include "forms/SetForm.h"
#include "mail/MailCheck.h"
#include "platform/Wait.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

class ScheduleTest : public ProgramFixture {
protected:
    /// Starts with the interval and records the time (in whole seconds) of every check.
    Program& startWithInterval(const std::string& interval) {
        writeServerFile("POP3=pop.example\r\n");
        writeAccount("NAME=me\nNAME2=pw\n");
        Program& program = start();
        program.setForm().Text2.setText(interval);
        mail_.duringLogin = [this] { checks_.push_back(timers_.now()); };
        return program;
    }
    std::vector<std::int64_t> checks_;
};

// The poll rests between counts; whatever it reads wakes it for its next 100 ms beat.
TEST_F(ScheduleTest, ChecksStartOnThePollsNextBeatAfterWhatMakesThemDue) {
    Program& program = startWithInterval("2");
    timers_.advance(123 * 1000);
    EXPECT_EQ(checks_, (std::vector<std::int64_t>{122'100})) << "the beat after the count";

    timers_.advance(61 * 1000 + 450);
    ASSERT_EQ(program.mainForm().Text1.text(), "1");
    program.setForm().Text2.setText("1");
    timers_.advance(50);
    EXPECT_EQ(checks_.back(), 184'500) << "an interval typed to meet the count";

    program.closeSetForm();
    timers_.advance(99);
    EXPECT_FALSE(program.hasSetForm());
    timers_.advance(1);
    EXPECT_TRUE(program.hasSetForm()) << "the poll makes the closed preferences anew";
}

TEST_F(ScheduleTest, FractionalZeroAndNegativeIntervalsNeverCheck) {
    for (const char* interval : {"2.5", "0", "-1", "abc"}) {
        SCOPED_TRACE(interval);
        checks_.clear();
        startWithInterval(interval);
        timers_.advance(400 * 1000);
        EXPECT_TRUE(checks_.empty());
    }
}

TEST_F(ScheduleTest, ManualCheckDoesNotMoveTheNextAutomaticOne) {
    Program& program = startWithInterval("2");
    timers_.advance(50 * 1000);
    program.mainForm().Command8.click();
    timers_.advance(200 * 1000);
    // The lamp's waits let time run on past the 50 s asked for; what matters is the rest.
    ASSERT_EQ(checks_.size(), 3u);
    EXPECT_LT(checks_[0], 60'000);
    EXPECT_EQ(checks_[1] / 1000, 122);
    EXPECT_EQ(checks_[2] / 1000, 244);
}

TEST_F(ScheduleTest, LoweringTheIntervalBelowTheCountStartsCountingAgain) {
    Program& program = startWithInterval("5");
    timers_.advance(61 * 4 * 1000);
    ASSERT_EQ(program.mainForm().Text1.text(), "4");
    program.setForm().Text2.setText("2");
    timers_.advance(200 * 1000);
    ASSERT_FALSE(checks_.empty()) << "automatic checks go on";
    EXPECT_EQ(checks_.front() / 1000, 244 + 122);
}

TEST_F(ScheduleTest, CountersKeepTheirValuesWhenTheIntervalStops) {
    Program& program = startWithInterval("3");
    timers_.advance(70 * 1000);
    program.setForm().Text2.setText("0");
    const std::string minutes = program.mainForm().Text1.text();
    const std::string seconds = program.mainForm().Text4.text();
    timers_.advance(100 * 1000);
    EXPECT_EQ(program.mainForm().Text1.text(), minutes);
    EXPECT_EQ(program.mainForm().Text4.text(), seconds);
    EXPECT_EQ(minutes, "1") << "the counters had moved";
}

TEST(WaitTest, WaitsPastTheTimeThroughTheEventLoopEvenAcrossTheClockWrap) {
    struct Row {
        std::uint32_t base;
        std::int32_t ms;
        std::int64_t minElapsed;
    };
    for (const Row& row :
         {Row{0, 1000, 1001}, Row{0xFFFFFF00u, 1000, 1001}, Row{5, 0, 1}, Row{5, -20, 0}}) {
        SCOPED_TRACE(row.ms);
        ManualTimerDriver clock;
        clock.setClockBase(row.base);
        Task<> wait = WaitMilliseconds(clock, clock, row.ms);
        wait.start();
        EXPECT_FALSE(wait.done()) << "it passes through the event loop, even for 0 or less";
        while (!wait.done() && clock.now() < 5000) {
            clock.advance(1);
        }
        EXPECT_GE(clock.now(), row.minElapsed);
        EXPECT_LE(clock.now(), row.minElapsed + BeatSchedule::kBeatMs) << "on the next beat";
    }
}

TEST(CutAtNulTest, CutsAtTheFirstNul) {
    EXPECT_EQ(CutAtNul(std::string("abc\0def\0", 8)), "abc");
    EXPECT_EQ(CutAtNul(std::string("\0abc", 4)), "");
    EXPECT_EQ(CutAtNul("no nul"), "no nul");
}

}  // namespace
}  // namespace breezel
