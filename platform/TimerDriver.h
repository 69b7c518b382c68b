#pragma once

#include <cstdint>
#include <functional>

namespace breezel {

class Timer;

/// Delivers ticks to the timers of the forms, and ends waits: a real event-loop timer in the
/// program, a manual clock in tests, over one schedule.
class TimerDriver {
public:
    virtual ~TimerDriver() = default;
    /// Starts delivering ticks to the timer, following its interval and enabled state.
    virtual void attach(Timer& timer) = 0;
    /// Stops all delivery to the timer; called before it is destroyed.
    virtual void detach(Timer& timer) = 0;
    /// Calls done once from the event loop, at least ms milliseconds from now; never from inside
    /// this call.
    virtual void callAfter(std::int64_t ms, std::function<void()> done) = 0;
};

}  // namespace breezel
