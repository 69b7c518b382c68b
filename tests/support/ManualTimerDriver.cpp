#include "support/ManualTimerDriver.h"

#include <algorithm>

namespace breezel {

ManualTimerDriver::ManualTimerDriver() : TimerScheduler([this] { return now_; }) {}

void ManualTimerDriver::advance(std::int64_t ms) {
    const std::int64_t target = now_ + ms;
    while (const auto due = nextDue()) {
        if (*due > target) {
            break;
        }
        now_ = std::max(now_, *due);
        runDue();
    }
    now_ = target;
}

}  // namespace breezel
