#include "qt/QtTimerDriver.h"

#include <QCoreApplication>
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
    // Repeating: while the wake-ups come one beat apart, as with the label, the running timer
    // brings each one and is not started anew every time.
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] {
        fired_ = true;
        runDue();
        // The repaints the ticks asked for go out in this wake-up and together, in one flush:
        // the label's step and the fan's, when both come on the same beat.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    });
}

QtTimerDriver::~QtTimerDriver() = default;

void QtTimerDriver::rescheduled() {
    const std::optional<std::int64_t> due = nextDue();
    if (!due) {
        wakeUp_.stop();
        return;
    }
    if (wakeUp_.isActive()) {
        if (!fired_ && *due == armedFor_) {
            return;  // armed for it already
        }
        if (fired_ && *due == armedFor_ + wakeUp_.interval()) {
            // The timer's next round brings it.
            armedFor_ = *due;
            fired_ = false;
            return;
        }
    }
    armedFor_ = *due;
    fired_ = false;
    // Whole milliseconds from the floor of now: the wake-up never comes before the due time.
    const std::int64_t wait = std::clamp<std::int64_t>(*due - NowMs(), 0, kLongestWaitMs);
    wakeUp_.start(static_cast<int>(wait));
}

}  // namespace breezel
