#include "platform/qt/QtTimerDriver.h"

#include <algorithm>
#include <chrono>

#include "app/controls/Timer.h"

namespace breezel {

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Far beyond any form timer; keeps the wait inside the range of an int.
constexpr std::int64_t kLongestWaitMs = 24 * 3600 * 1000;

}  // namespace

QtTimerDriver::QtTimerDriver() {
    // The grid already places the wake-ups; coarse slack would only move them off it.
    wakeUp_.setTimerType(Qt::PreciseTimer);
    wakeUp_.setSingleShot(true);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { wake(); });
}

QtTimerDriver::~QtTimerDriver() = default;

void QtTimerDriver::attach(Timer& timer) {
    timers_[&timer] = timer.changed.connectScoped([this, &timer] { follow(timer); });
    follow(timer);
}

void QtTimerDriver::detach(Timer& timer) {
    timers_.erase(&timer);
    schedule_.stop(&timer);
    arm();
}

void QtTimerDriver::follow(Timer& timer) {
    if (timer.running()) {
        schedule_.start(&timer, timer.interval(), NowMs());
    } else {
        schedule_.stop(&timer);
    }
    arm();
}

void QtTimerDriver::wake() {
    const std::int64_t now = NowMs();
    while (const std::optional<BeatSchedule::Key> key = schedule_.takeDue(now)) {
        Timer& timer = *static_cast<Timer*>(*key);
        // A handler that waits lets events through: the other timers keep ticking meanwhile,
        // this one does not tick again inside itself.
        schedule_.setBusy(*key, true);
        arm();
        timer.tick();
        schedule_.setBusy(*key, false);
    }
    arm();
}

void QtTimerDriver::arm() {
    const std::int64_t now = NowMs();
    const std::optional<std::int64_t> due = schedule_.nextDue(now);
    if (!due) {
        wakeUp_.stop();
        return;
    }
    if (wakeUp_.isActive() && armedFor_ == *due) {
        return;
    }
    armedFor_ = *due;
    // Whole milliseconds from the floor of now: the wake-up never comes before the due time.
    const std::int64_t wait = std::clamp<std::int64_t>(*due - now, 0, kLongestWaitMs);
    wakeUp_.start(static_cast<int>(wait));
}

}  // namespace breezel
