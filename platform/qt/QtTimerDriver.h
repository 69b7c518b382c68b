#pragma once

#include <QTimer>
#include <map>

#include "app/controls/Signal.h"
#include "platform/BeatSchedule.h"
#include "platform/TimerDriver.h"

namespace breezel {

/// Delivers the forms' timer ticks from the Qt event loop. One event-loop timer wakes the
/// process for every form timer due at that moment; the periods, all whole numbers of 20 ms,
/// share one grid, so the 20 ms label refresh, the 100 ms polls and the one-second counts cost
/// one wake-up where they meet instead of one each.
class QtTimerDriver : public TimerDriver {
public:
    QtTimerDriver();
    ~QtTimerDriver() override;

    void attach(Timer& timer) override;
    void detach(Timer& timer) override;

private:
    void follow(Timer& timer);
    void wake();
    void arm();

    QTimer wakeUp_;
    BeatSchedule schedule_;
    std::int64_t armedFor_ = 0;
    std::map<Timer*, ScopedConnection> timers_;
};

}  // namespace breezel
