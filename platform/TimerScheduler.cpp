#include "platform/TimerScheduler.h"

#include "controls/Timer.h"

namespace breezel {

TimerScheduler::TimerScheduler(std::function<std::int64_t()> nowMs) : now_(std::move(nowMs)) {}

TimerScheduler::~TimerScheduler() = default;

void TimerScheduler::attach(Timer& timer) {
    if (attached(timer)) {
        return;
    }
    const BeatSchedule::Key key = nextKey_++;
    keys_[&timer] = key;
    timers_[key] = {&timer, timer.changed.connectScoped([this, &timer] { follow(timer); }),
                    timer.paceChanged.connectScoped([this, &timer] { followPace(timer); })};
    follow(timer);
}

void TimerScheduler::detach(Timer& timer) {
    const auto it = keys_.find(&timer);
    if (it == keys_.end()) {
        return;
    }
    schedule_.stop(it->second);
    timers_.erase(it->second);
    keys_.erase(it);
    changed();
}

void TimerScheduler::callAfter(std::int64_t ms, std::function<void()> done) {
    const BeatSchedule::Key key = nextKey_++;
    waits_[key] = std::move(done);
    schedule_.once(key, ms, now_());
    changed();
}

void TimerScheduler::follow(Timer& timer) {
    const BeatSchedule::Key key = keys_.at(&timer);
    if (timer.running()) {
        schedule_.start(key, timer.interval(), now_());
        applyPace(timer);
    } else {
        schedule_.stop(key);
    }
    changed();
}

void TimerScheduler::followPace(Timer& timer) {
    applyPace(timer);
    changed();
}

void TimerScheduler::applyPace(Timer& timer) {
    using Pace = BeatSchedule::Pace;
    const Pace pace = timer.resting()    ? Pace::Resting
                      : timer.deferred() ? Pace::Deferred
                                         : Pace::OnTime;
    schedule_.setPace(keys_.at(&timer), pace, now_());
}

void TimerScheduler::changed() {
    if (!running_) {
        rescheduled();
    }
}

void TimerScheduler::runDue() {
    running_ = true;
    const std::int64_t now = now_();
    const std::uint64_t before = schedule_.mark();
    while (const std::optional<BeatSchedule::Key> key = schedule_.takeDue(now, before)) {
        if (const auto timer = timers_.find(*key); timer != timers_.end()) {
            // A busy timer lets the tick pass: missed ticks are dropped, never made up.
            timer->second.timer->tick();
        } else if (const auto wait = waits_.find(*key); wait != waits_.end()) {
            const std::function<void()> done = std::move(wait->second);
            waits_.erase(wait);
            done();
        }
    }
    running_ = false;
    rescheduled();
}

}  // namespace breezel
