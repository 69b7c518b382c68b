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

void ManualTimerDriver::advance(std::int64_t ms) {
    const std::int64_t target = now_ + ms;
    for (;;) {
        std::shared_ptr<Entry> next;
        for (const auto& entry : entries_) {
            if (entry->timer->running() && entry->due <= target &&
                (!next || entry->due < next->due)) {
                next = entry;
            }
        }
        if (!next) {
            break;
        }
        now_ = next->due;
        next->due += next->timer->interval();
        // The tick may detach timers or destroy their forms; the entry stays alive meanwhile.
        next->timer->tick();
    }
    now_ = target;
}

}  // namespace breezel
