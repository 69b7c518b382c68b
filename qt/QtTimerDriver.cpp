#include "qt/QtTimerDriver.h"

#include <algorithm>
#include <chrono>

namespace breezel {

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Far beyond any form timer; keeps the wait inside the range of an int.
constexpr std::int64_t kLongestWaitMs = 24 * 3600 * 1000;

}  // namespace

QtTimerDriver::QtTimerDriver() : TimerScheduler(NowMs) {
    // The grid already places the wake-ups; coarse slack would only move them off it.
    wakeUp_.setTimerType(Qt::PreciseTimer);
    wakeUp_.setSingleShot(true);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { runDue(); });
}

QtTimerDriver::~QtTimerDriver() = default;

void QtTimerDriver::rescheduled() {
    const std::optional<std::int64_t> due = nextDue();
    if (!due) {
        wakeUp_.stop();
        return;
    }
    if (wakeUp_.isActive() && armedFor_ == *due) {
        return;
    }
    armedFor_ = *due;
    // Whole milliseconds from the floor of now: the wake-up never comes before the due time.
    const std::int64_t wait = std::clamp<std::int64_t>(*due - NowMs(), 0, kLongestWaitMs);
    wakeUp_.start(static_cast<int>(wait));
}

}  // namespace breezel
