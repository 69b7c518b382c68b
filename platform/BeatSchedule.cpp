#include "platform/BeatSchedule.h"

#include <algorithm>

namespace breezel {

namespace {

// Floor division that also holds for times before the clock's zero.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

BeatSchedule::Entry* BeatSchedule::find(Key key) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [key](const Entry& entry) { return entry.key == key; });
    return it == entries_.end() ? nullptr : &*it;
}

const BeatSchedule::Entry* BeatSchedule::find(Key key) const {
    return const_cast<BeatSchedule*>(this)->find(key);
}

void BeatSchedule::start(Key key, std::int64_t periodMs, std::int64_t nowMs) {
    periodMs = std::max<std::int64_t>(periodMs, 1);
    std::int64_t due = nowMs + periodMs;
    if (onBeat(periodMs)) {
        // The nearest beat: never earlier than half a beat after now, since a period holds at
        // least one beat.
        due = FloorDiv(due + beat_ / 2, beat_) * beat_;
    }
    if (Entry* entry = find(key)) {
        entry->period = periodMs;
        entry->due = due;
        return;
    }
    entries_.push_back({key, periodMs, due, started_++});
}

void BeatSchedule::stop(Key key) {
    std::erase_if(entries_, [key](const Entry& entry) { return entry.key == key; });
}

void BeatSchedule::setBusy(Key key, bool busy) {
    if (Entry* entry = find(key)) {
        entry->busy = busy;
    }
}

std::optional<std::int64_t> BeatSchedule::nextDue(std::int64_t nowMs) const {
    std::optional<std::int64_t> next;
    for (const Entry& entry : entries_) {
        // A busy timer already due cannot tick: waking for it would only spin.
        const bool waiting = entry.busy && entry.due <= nowMs;
        if (!waiting && (!next || entry.due < *next)) {
            next = entry.due;
        }
    }
    return next;
}

std::optional<BeatSchedule::Key> BeatSchedule::takeDue(std::int64_t nowMs) {
    Entry* first = nullptr;
    for (Entry& entry : entries_) {
        if (!entry.busy && entry.due <= nowMs && (first == nullptr || entry.order < first->order)) {
            first = &entry;
        }
    }
    if (first == nullptr) {
        return std::nullopt;
    }
    first->due += first->period * (FloorDiv(nowMs - first->due, first->period) + 1);
    return first->key;
}

}  // namespace breezel
