#pragma once

#include <utility>

#include "common/Task.h"
#include "controls/Signal.h"

namespace breezel {

/// A form's timer. It ticks every interval milliseconds while enabled; an interval of 0 stops it.
/// The platform's timer driver watches it and calls tick(). A reaction that waits (setWork)
/// keeps the timer busy until it ends: a busy timer takes no tick, so the ticks that fall due
/// meanwhile are dropped, as a form's timer behaves.
class Timer {
public:
    explicit Timer(int intervalMs) : interval_(intervalMs) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    int interval() const { return interval_; }
    /// True when the timer produces ticks.
    bool running() const { return enabled_ && interval_ > 0; }

    void setInterval(int intervalMs) {
        if (intervalMs != interval_) {
            interval_ = intervalMs;
            changed.notify();
        }
    }

    void setEnabled(bool enabled) {
        if (enabled != enabled_) {
            enabled_ = enabled;
            changed.notify();
        }
    }

    /// Whether its ticks may come late: while deferred they wake no one, and each one comes
    /// with the next wake-up the process has anyway, or at once when deferral ends. For a
    /// refresh no one sees: none of its ticks is lost, only not hurried.
    bool deferred() const { return deferred_; }
    void setDeferred(bool deferred) { updatePace(deferred_, deferred); }
    /// Whether its reaction has nothing to do until something it watches changes: while resting
    /// its ticks wake no one and pass without a call. The reaction's owner ends the rest when
    /// that changes; the timer then goes on from its next beat, as if it had ticked all along.
    bool resting() const { return resting_; }
    void setResting(bool resting) { updatePace(resting_, resting); }

    /// The reaction of each tick when it may wait; it runs as a task owned by the timer. A tick
    /// that has nothing to wait for returns no task (an empty Task).
    void setWork(std::function<Task<>()> work) { work_ = std::move(work); }
    /// Whether the reaction of an earlier tick is still waiting.
    bool busy() const { return busy_; }

    /// One tick, from the driver; nothing while the timer is stopped or busy.
    void tick() {
        if (!running() || busy_) {
            return;
        }
        onTimer.notify();
        if (!work_) {
            return;
        }
        // A reaction with nothing to wait for gives no task: the timer stays idle at no cost.
        Task<> reaction = work_();
        if (reaction.valid()) {
            busy_ = true;
            reactions_.spawn(std::move(reaction), [this] { busy_ = false; });
        }
    }

    /// Interval or enabled state changed; the driver restarts its count.
    Signal<> changed;
    /// Deferred or resting changed; the driver keeps the count.
    Signal<> paceChanged;
    /// The Timer event, for the form's reaction.
    Signal<> onTimer;

private:
    void updatePace(bool& field, bool value) {
        if (field != value) {
            field = value;
            paceChanged.notify();
        }
    }

    int interval_;
    bool enabled_ = true;
    bool deferred_ = false;
    bool resting_ = false;
    bool busy_ = false;
    std::function<Task<>()> work_;
    // Last: a reaction still waiting when the timer goes is destroyed first.
    TaskScope reactions_;
};

}  // namespace breezel
