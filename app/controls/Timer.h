#pragma once

#include <string>
#include <utility>

#include "app/controls/Signal.h"

namespace breezel {

/// A form's timer. It ticks every interval milliseconds while enabled; an interval of 0 stops it.
/// The platform's timer driver watches it and calls tick().
class Timer {
public:
    Timer(std::string name, int intervalMs, bool enabled = true)
        : name_(std::move(name)), interval_(intervalMs), enabled_(enabled) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    int interval() const { return interval_; }
    bool enabled() const { return enabled_; }
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

    /// One tick, from the driver.
    void tick() {
        if (running()) {
            onTimer.notify();
        }
    }

    /// Interval or enabled state changed; the driver restarts its count.
    Signal<> changed;
    /// The Timer event, for the form's reaction.
    Signal<> onTimer;

private:
    std::string name_;
    int interval_;
    bool enabled_;
};

}  // namespace breezel
