#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/controls/Signal.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/TimerDriver.h"

namespace breezel {

/// A test clock that delivers timer ticks only when advanced by hand, exactly and at once. It is
/// also the program's clock and event pump, so a wait inside a reaction moves time on and lets
/// the timers tick, as the real event loop would.
class ManualTimerDriver : public TimerDriver, public Clock, public EventPump {
public:
    void attach(Timer& timer) override;
    void detach(Timer& timer) override;
    std::uint32_t milliseconds() override { return static_cast<std::uint32_t>(clockBase_ + now_); }
    /// Advances the clock by maxWaitMs (at least 1 ms), delivering the ticks that fall due.
    void processEvents(int maxWaitMs) override;

    /// Moves the clock forward, delivering every tick that falls due in order of time (timers
    /// due at the same moment in the order they were attached).
    void advance(std::int64_t ms);
    std::int64_t now() const { return now_; }
    /// Whether the timer is attached.
    bool attached(const Timer& timer) const;
    /// Where the 32-bit millisecond counter stands at time 0, to test its wrap.
    void setClockBase(std::uint32_t base) { clockBase_ = base; }
    /// How many passes of event handling were asked for.
    int pumpPasses() const { return pumpPasses_; }

private:
    struct Entry {
        Timer* timer = nullptr;
        std::int64_t due = 0;
        bool ticking = false;
        ScopedConnection connection;
    };
    void restart(Entry& entry);

    std::int64_t now_ = 0;
    std::uint32_t clockBase_ = 0;
    int pumpPasses_ = 0;
    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace breezel
