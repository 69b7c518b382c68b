#pragma once

#include <cstdint>

#include "platform/Clock.h"
#include "platform/TimerScheduler.h"

namespace breezel {

/// The program's own schedule on a clock that moves only when a test advances it: ticks and
/// ended waits come exactly and at once. It is also the program's clock.
class ManualTimerDriver : public TimerScheduler, public Clock {
public:
    ManualTimerDriver();
    std::uint32_t milliseconds() override { return static_cast<std::uint32_t>(clockBase_ + now_); }

    /// Moves the clock forward, running every pass of the event loop that falls due on the way,
    /// in order of time.
    void advance(std::int64_t ms);
    /// Runs the passes due now (what the last pass started with no delay).
    void settle() { advance(0); }
    std::int64_t now() const { return now_; }
    /// Where the 32-bit millisecond counter stands at time 0, to test its wrap.
    void setClockBase(std::uint32_t base) { clockBase_ = base; }

private:
    std::int64_t now_ = 0;
    std::uint32_t clockBase_ = 0;
};

}  // namespace breezel
