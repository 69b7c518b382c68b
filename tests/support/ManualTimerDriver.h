#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/controls/Signal.h"
#include "platform/TimerDriver.h"

namespace breezel {

/// A test clock that delivers timer ticks only when advanced by hand, exactly and at once.
class ManualTimerDriver : public TimerDriver {
public:
    void attach(Timer& timer) override;
    void detach(Timer& timer) override;

    /// Moves the clock forward, delivering every tick that falls due in order of time (timers
    /// due at the same moment in the order they were attached).
    void advance(std::int64_t ms);
    std::int64_t now() const { return now_; }
    /// Whether the timer is attached.
    bool attached(const Timer& timer) const;

private:
    struct Entry {
        Timer* timer = nullptr;
        std::int64_t due = 0;
        ScopedConnection connection;
    };
    void restart(Entry& entry);

    std::int64_t now_ = 0;
    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace breezel
