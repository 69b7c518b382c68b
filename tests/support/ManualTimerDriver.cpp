#include "support/ManualTimerDriver.h"

#include <algorithm>

#include "app/controls/Timer.h"

namespace breezel {

void ManualTimerDriver::attach(Timer& timer) {
    auto entry = std::make_shared<Entry>();
    entry->timer = &timer;
    Entry* raw = entry.get();
    entry->connection = timer.changed.connectScoped([this, raw] { restart(*raw); });
    restart(*entry);
    entries_.push_back(std::move(entry));
}

void ManualTimerDriver::detach(Timer& timer) {
    std::erase_if(entries_, [&](const auto& e) { return e->timer == &timer; });
}

bool ManualTimerDriver::attached(const Timer& timer) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& e) { return e->timer == &timer; });
}

void ManualTimerDriver::restart(Entry& entry) {
    entry.due = now_ + entry.timer->interval();
}

void ManualTimerDriver::processEvents(int maxWaitMs) {
    ++pumpPasses_;
    advance(maxWaitMs < 1 ? 1 : maxWaitMs);
}

void ManualTimerDriver::advance(std::int64_t ms) {
    const std::int64_t target = now_ + ms;
    for (;;) {
        std::shared_ptr<Entry> next;
        for (const auto& entry : entries_) {
            if (!entry->timer->running() || entry->due > target) {
                continue;
            }
            // Like a real event loop, a timer is never delivered into its own running tick:
            // the ticks it misses meanwhile are dropped.
            if (entry->ticking) {
                while (entry->due <= target) {
                    entry->due += entry->timer->interval();
                }
                continue;
            }
            if (!next || entry->due < next->due) {
                next = entry;
            }
        }
        if (!next) {
            break;
        }
        now_ = std::max(now_, next->due);
        next->due += next->timer->interval();
        // The tick may detach timers or destroy their forms; the entry stays alive meanwhile.
        next->ticking = true;
        next->timer->tick();
        next->ticking = false;
    }
    // A nested advance from inside a tick may have gone further already.
    now_ = std::max(now_, target);
}

}  // namespace breezel
