#pragma once

#include <QTimer>
#include <cstdint>

#include "platform/TimerScheduler.h"

namespace breezel {

/// The program's schedule on the Qt event loop: one event-loop timer wakes the process for
/// every form timer and wait due at that moment. The periods, all whole numbers of 20 ms, share
/// one grid, so the 20 ms label refresh, the 100 ms polls and the one-second counts cost one
/// wake-up where they meet instead of one each.
class QtTimerDriver : public TimerScheduler {
public:
    QtTimerDriver();
    ~QtTimerDriver() override;

protected:
    void rescheduled() override;

private:
    QTimer wakeUp_;
    std::int64_t armedFor_ = 0;
    // The timer came for armedFor_ already: a later due needs its next round or a new start.
    bool fired_ = false;
};

}  // namespace breezel
