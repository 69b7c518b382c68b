// The session's time bounds: a restart begins them anew only when the transport next tells the
// time, and a pace without the low-speed rule ends at its session bound however bytes arrive.
#include <gtest/gtest.h>

#include "net/Pace.h"

namespace breezel::net {
namespace {

using namespace std::chrono_literals;
using Time = Pace::Time;

const Time t0 = Time{} + 1h;

TEST(PaceTest, ARestartBeginsTheBoundsAtTheTransportsNextWaitOrArrival) {
    SessionLimits limits;  // 30 s per wait, 1 KB in 30 s, 10 min
    Pace plain(limits);
    plain.start(t0);
    plain.arrived(2048, t0 + 9min + 50s);
    EXPECT_EQ(plain.deadline(t0 + 9min + 50s, 30s), t0 + 10min);
    EXPECT_EQ(plain.expired(t0 + 9min + 50s, 30s).detail, "the check took longer than 10 min");

    // Called long after the session began, with no time given: the bounds count from the wait.
    Pace waited(limits);
    waited.start(t0);
    waited.restart();
    EXPECT_EQ(waited.deadline(t0 + 20min, 30s), t0 + 20min + 30s);
    EXPECT_EQ(waited.deadline(t0 + 29min + 50s, 30s), t0 + 20min + 30s);  // low speed, anew
    EXPECT_EQ(waited.expired(t0 + 29min + 50s, 30s).detail,
              "less than 1 KB from the server in 30 s");

    Pace arrived(limits);
    arrived.start(t0);
    arrived.restart();
    arrived.arrived(2048, t0 + 20min);
    EXPECT_EQ(arrived.deadline(t0 + 20min + 20s, 1h), t0 + 20min + 30s);
    arrived.arrived(2048, t0 + 29min + 50s);
    EXPECT_EQ(arrived.deadline(t0 + 29min + 50s, 1h), t0 + 30min);
}

TEST(PaceTest, WithoutTheLowSpeedRuleOnlyTheWaitAndTheSessionBound) {
    SessionLimits limits;
    limits.lowSpeedBytes = 0;
    limits.sessionTimeout = 3min;
    Pace pace(limits);
    pace.start(t0);
    EXPECT_EQ(pace.deadline(t0, 3min), t0 + 3min);
    // A line every two minutes postpones neither.
    pace.arrived(19, t0 + 2min);
    EXPECT_EQ(pace.deadline(t0 + 2min, 3min), t0 + 3min);
    EXPECT_EQ(pace.expired(t0 + 2min, 3min).detail, "the check took longer than 3 min");
    EXPECT_EQ(pace.deadline(t0 + 2min, 10s), t0 + 2min + 10s);
}

}  // namespace
}  // namespace breezel::net
