#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "controls/Signal.h"
#include "platform/BeatSchedule.h"
#include "platform/TimerDriver.h"

namespace breezel {

/// The one schedule of the forms' timers and the program's waits, on a clock that the owner
/// gives: the event loop's steady clock in the program, a manual clock in tests. The owner asks
/// when the next entry is due, and calls runDue() then.
///
/// A timer ticks as a form's timer does: while its reaction is still busy (suspended in a wait)
/// it gets no tick, and the ticks it misses meanwhile are dropped, not delivered late.
class TimerScheduler : public TimerDriver {
public:
    explicit TimerScheduler(std::function<std::int64_t()> nowMs);
    ~TimerScheduler() override;

    void attach(Timer& timer) override;
    void detach(Timer& timer) override;
    void callAfter(std::int64_t ms, std::function<void()> done) override;

    /// The due time of the earliest entry, if any.
    std::optional<std::int64_t> nextDue() const { return schedule_.nextDue(); }
    /// Delivers what is due now: timers' ticks and ended waits, in the order they were started.
    /// What these start is left for the next pass.
    void runDue();
    /// Whether the timer is attached.
    bool attached(const Timer& timer) const { return keys_.count(&timer) != 0; }

protected:
    /// The next due time may have changed; not called from inside runDue().
    virtual void rescheduled() {}

private:
    struct Attached {
        Timer* timer;
        ScopedConnection changed;
        ScopedConnection paceChanged;
    };

    void follow(Timer& timer);
    void followPace(Timer& timer);
    /// Sets the timer's pace in the schedule, without rescheduling.
    void applyPace(Timer& timer);
    void changed();

    std::function<std::int64_t()> now_;
    BeatSchedule schedule_;
    BeatSchedule::Key nextKey_ = 1;
    std::map<const Timer*, BeatSchedule::Key> keys_;
    std::map<BeatSchedule::Key, Attached> timers_;
    std::map<BeatSchedule::Key, std::function<void()>> waits_;
    bool running_ = false;
};

}  // namespace breezel
