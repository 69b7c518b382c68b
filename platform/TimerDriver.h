#pragma once

namespace breezel {

class Timer;

/// Delivers ticks to the timers of the forms: a real event-loop timer in the program, a manual
/// clock in tests.
class TimerDriver {
public:
    virtual ~TimerDriver() = default;
    /// Starts delivering ticks to the timer, following its interval and enabled state.
    virtual void attach(Timer& timer) = 0;
    /// Stops all delivery to the timer; called before it is destroyed.
    virtual void detach(Timer& timer) = 0;
};

}  // namespace breezel
