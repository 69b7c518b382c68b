// Due times of the timers the program runs: shared wake-ups, no made-up ticks, no re-entry.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "platform/BeatSchedule.h"

namespace breezel {
namespace {

int kLabel, kFan, kPoll, kSecond;
const BeatSchedule::Key label = &kLabel, fan = &kFan, poll = &kPoll, second = &kSecond;

// Runs the schedule as the event loop does, waking only at due times, until end.
struct Timeline {
    std::set<std::int64_t> wakes;
    std::map<BeatSchedule::Key, std::vector<std::int64_t>> ticks;
};

Timeline RunUntil(BeatSchedule& schedule, std::int64_t end) {
    Timeline run;
    while (const auto due = schedule.nextDue(0)) {
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
    ASSERT_EQ(schedule.nextDue(0), 100);
    // The process was busy for over a second: one tick, then on to the next grid point.
    EXPECT_EQ(schedule.takeDue(1234), poll);
    EXPECT_EQ(schedule.takeDue(1234), std::nullopt) << "taken once per now";
    EXPECT_EQ(schedule.nextDue(1234), 1300);
}

TEST(BeatScheduleTest, TimersDueTogetherComeInStartOrderEvenAfterARestart) {
    BeatSchedule schedule(20);
    schedule.start(second, 1000, 0);
    schedule.start(poll, 100, 0);
    schedule.start(second, 1000, 0);  // a restart keeps the place
    EXPECT_EQ(schedule.takeDue(1000), second);
    EXPECT_EQ(schedule.takeDue(1000), poll);
    EXPECT_EQ(schedule.takeDue(1000), std::nullopt);
}

TEST(BeatScheduleTest, RestartingCountsAFullPeriodFromThen) {
    BeatSchedule schedule(20);
    schedule.start(second, 1000, 0);
    schedule.start(second, 1000, 700);
    EXPECT_EQ(schedule.nextDue(700), 1700);
    schedule.stop(second);
    EXPECT_FALSE(schedule.contains(second));
    EXPECT_EQ(schedule.nextDue(700), std::nullopt);
}

TEST(BeatScheduleTest, ABusyTimerNeitherTicksAgainNorKeepsTheLoopSpinning) {
    BeatSchedule schedule(20);
    schedule.start(poll, 100, 0);
    schedule.start(label, 20, 0);
    // The poll's tick runs a long wait that lets events through.
    ASSERT_EQ(schedule.takeDue(100), poll);
    schedule.setBusy(poll, true);
    ASSERT_EQ(schedule.takeDue(100), label);
    EXPECT_EQ(schedule.nextDue(100), 120) << "the label keeps its beat meanwhile";
    EXPECT_EQ(schedule.takeDue(200), label);
    EXPECT_EQ(schedule.takeDue(200), std::nullopt) << "the busy poll is not re-entered";
    EXPECT_EQ(schedule.nextDue(200), 220) << "its passed due time does not wake the loop";

    schedule.setBusy(poll, false);
    EXPECT_EQ(schedule.nextDue(230), 200) << "once idle it is due at once";
    EXPECT_EQ(schedule.takeDue(230), poll);
    EXPECT_EQ(schedule.nextDue(230), 220) << "the label's beat, and the poll on at 300";
}

}  // namespace
}  // namespace breezel
