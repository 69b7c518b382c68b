// Due times of the timers the program runs: shared wake-ups, no made-up ticks, no re-entry.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "controls/Timer.h"
#include "platform/BeatSchedule.h"
#include "platform/Wait.h"
#include "support/ManualTimerDriver.h"

namespace breezel {
namespace {

constexpr BeatSchedule::Key label = 1, fan = 2, poll = 3, second = 4;

// Runs the schedule as the event loop does, waking only at due times, until end.
struct Timeline {
    std::set<std::int64_t> wakes;
    std::map<BeatSchedule::Key, std::vector<std::int64_t>> ticks;
};

Timeline RunUntil(BeatSchedule& schedule, std::int64_t end) {
    Timeline run;
    while (const auto due = schedule.nextDue()) {
        if (*due > end) {
            break;
        }
        run.wakes.insert(*due);
        while (const auto key = schedule.takeDue(*due)) {
            run.ticks[*key].push_back(*due);
        }
    }
    return run;
}

TEST(BeatScheduleTest, TimersStartedAtOddMomentsShareTheWakeUpsOfTheFastestOne) {
    BeatSchedule schedule(20);
    schedule.start(label, 20, 1'000'003);
    schedule.start(poll, 100, 1'000'007);
    schedule.start(fan, 80, 1'000'041);
    schedule.start(second, 1000, 1'000'013);
    const Timeline run = RunUntil(schedule, 1'010'000);

    // Every wake-up is a label tick: the others never cost one of their own.
    EXPECT_EQ(run.wakes.size(), run.ticks.at(label).size());
    EXPECT_NEAR(static_cast<double>(run.ticks.at(label).size()), 500, 1);
    EXPECT_NEAR(static_cast<double>(run.ticks.at(poll).size()), 100, 1);
    EXPECT_NEAR(static_cast<double>(run.ticks.at(fan).size()), 125, 1);
    EXPECT_NEAR(static_cast<double>(run.ticks.at(second).size()), 10, 1);
    for (const auto& [key, times] : run.ticks) {
        for (std::size_t i = 1; i < times.size(); ++i) {
            ASSERT_EQ(times[i] % 20, 0);
        }
    }
    // Periods are kept exactly, and a first tick comes within half a beat of one period.
    EXPECT_EQ(run.ticks.at(poll)[1] - run.ticks.at(poll)[0], 100);
    EXPECT_LE(std::abs(run.ticks.at(poll)[0] - (1'000'007 + 100)), 10);
    EXPECT_LE(std::abs(run.ticks.at(second)[0] - (1'000'013 + 1000)), 10);
}

TEST(BeatScheduleTest, OffBeatPeriodsKeepTheirOwnSpacing) {
    BeatSchedule schedule(20);
    schedule.start(poll, 30, 5);
    const Timeline run = RunUntil(schedule, 200);
    EXPECT_EQ(run.ticks.at(poll), (std::vector<std::int64_t>{35, 65, 95, 125, 155, 185}));
}

TEST(BeatScheduleTest, MissedTicksAreNotMadeUpAndTheGridIsKept) {
    BeatSchedule schedule(20);
    schedule.start(poll, 100, 0);
    ASSERT_EQ(schedule.nextDue(), 100);
    // The process was busy for over a second: one tick, then on to the next grid point.
    EXPECT_EQ(schedule.takeDue(1234), poll);
    EXPECT_EQ(schedule.takeDue(1234), std::nullopt) << "taken once per now";
    EXPECT_EQ(schedule.nextDue(), 1300);
}

TEST(BeatScheduleTest, ARestartKeepsThePlaceInLineAndCountsAFullPeriodFromThen) {
    BeatSchedule schedule(20);
    schedule.start(second, 1000, 0);
    schedule.start(poll, 100, 0);
    schedule.start(second, 1000, 0);
    EXPECT_EQ(schedule.takeDue(1000), second) << "timers due together come in start order";
    EXPECT_EQ(schedule.takeDue(1000), poll);
    EXPECT_EQ(schedule.takeDue(1000), std::nullopt);
    schedule.stop(poll);
    schedule.start(second, 1000, 1700);
    EXPECT_EQ(schedule.nextDue(), 2700);
    schedule.stop(second);
    EXPECT_FALSE(schedule.contains(second));
    EXPECT_EQ(schedule.nextDue(), std::nullopt);
}

TEST(BeatScheduleTest, AOneShotComesOnTheFirstBeatNotBeforeItsTimeAndOnlyOnce) {
    BeatSchedule schedule(20);
    schedule.start(label, 20, 0);
    schedule.once(poll, 2001, 1003);  // a wait of just over two seconds
    const std::uint64_t mark = schedule.mark();
    schedule.once(fan, 0, 3020);  // a wait for the next pass, placed during one
    EXPECT_EQ(schedule.takeDue(3020, mark), label);
    EXPECT_EQ(schedule.takeDue(3020, mark), poll) << "3004 rounded up to the beat";
    EXPECT_EQ(schedule.takeDue(3020, mark), std::nullopt) << "left for the next pass";
    EXPECT_EQ(schedule.takeDue(3020), fan);
    EXPECT_FALSE(schedule.contains(poll));
    EXPECT_FALSE(schedule.contains(fan));
    EXPECT_EQ(schedule.nextDue(), 3040);
}

TEST(BeatScheduleTest, DeferredBeatsWakeNoOneAndComeLateEachOneRestingOnesPassUnseen) {
    using Pace = BeatSchedule::Pace;
    BeatSchedule schedule(20);
    schedule.start(second, 1000, 0);
    schedule.start(label, 20, 0);
    schedule.start(poll, 100, 0);
    schedule.setPace(label, Pace::Deferred, 0);
    schedule.setPace(poll, Pace::Resting, 0);
    const Timeline run = RunUntil(schedule, 2000);
    EXPECT_EQ(run.wakes, (std::set<std::int64_t>{1000, 2000})) << "only the second wakes";
    EXPECT_EQ(run.ticks.at(label).size(), 100u) << "every beat of the label, none lost";
    EXPECT_EQ(run.ticks.at(label).front(), 1000) << "taken with the second's wake-up";
    EXPECT_EQ(run.ticks.count(poll), 0u);

    // Back on time between wake-ups: the deferred beats come at once, then the grid goes on.
    schedule.setPace(label, Pace::OnTime, 2345);
    EXPECT_EQ(schedule.nextDue(), 2020);
    int owed = 0;
    while (schedule.takeDue(2345) == label) {
        ++owed;
    }
    EXPECT_EQ(owed, 17) << "2020 ... 2340";
    EXPECT_EQ(schedule.nextDue(), 2360);

    // A resting poll woken between beats goes on from its next beat, none made up.
    schedule.setPace(poll, Pace::OnTime, 2345);
    schedule.stop(label);
    EXPECT_EQ(schedule.nextDue(), 2400);
}

// The program's schedule on the test clock: a timer whose reaction waits is busy, and the ticks
// that fall due meanwhile are dropped rather than delivered when it ends.
TEST(TimerSchedulerTest, TicksMissedWhileBusyAreDroppedNotDeliveredLate) {
    ManualTimerDriver driver;
    Timer busy(100);
    std::vector<std::int64_t> starts, ends;
    busy.setWork([&]() -> Task<> {
        starts.push_back(driver.now());
        co_await After(driver, 250);
        ends.push_back(driver.now());
    });
    Timer label(20);
    int labels = 0;
    label.onTimer.connect([&] { ++labels; });
    driver.attach(busy);
    driver.attach(label);
    driver.advance(1000);
    EXPECT_EQ(starts, (std::vector<std::int64_t>{100, 400, 700, 1000}));
    EXPECT_EQ(ends, (std::vector<std::int64_t>{360, 660, 960}));
    EXPECT_EQ(labels, 50) << "the others tick on meanwhile";
    EXPECT_TRUE(busy.busy());
    driver.detach(busy);
    driver.detach(label);
}

}  // namespace
}  // namespace breezel
