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
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [key](const Entry& entry) { return entry.key == key; });
    return it == entries_.end() ? nullptr : &*it;
}

void BeatSchedule::place(Key key, std::int64_t period, std::int64_t due) {
    if (Entry* entry = find(key)) {
        entry->period = period;
        entry->due = due;
        entry->owedUntil = INT64_MIN;
        return;
    }
    entries_.push_back({key, period, due, started_++});
}

void BeatSchedule::start(Key key, std::int64_t periodMs, std::int64_t nowMs) {
    periodMs = std::max<std::int64_t>(periodMs, 1);
    std::int64_t due = nowMs + periodMs;
    if (onBeat(periodMs)) {
        // The nearest beat: never earlier than half a beat after now, since a period holds at
        // least one beat.
        due = FloorDiv(due + beat_ / 2, beat_) * beat_;
    }
    place(key, periodMs, due);
}

void BeatSchedule::once(Key key, std::int64_t delayMs, std::int64_t nowMs) {
    std::int64_t due = nowMs + std::max<std::int64_t>(delayMs, 0);
    if (beat_ > 0) {
        // Never early: a wait may end later than asked, never sooner.
        due = -FloorDiv(-due, beat_) * beat_;
    }
    place(key, 0, due);
}

void BeatSchedule::stop(Key key) {
    std::erase_if(entries_, [key](const Entry& entry) { return entry.key == key; });
}

void BeatSchedule::setPace(Key key, Pace pace, std::int64_t nowMs) {
    Entry* entry = find(key);
    if (entry == nullptr || entry->period == 0 || entry->pace == pace) {
        return;
    }
    if (entry->pace == Pace::Deferred && pace == Pace::OnTime) {
        entry->owedUntil = nowMs;
    } else if (entry->pace == Pace::Resting && entry->due < nowMs) {
        // The beats passed unseen; the next one may be now itself, if not yet taken.
        entry->due += entry->period * -FloorDiv(entry->due - nowMs, entry->period);
    }
    entry->pace = pace;
}

std::optional<std::int64_t> BeatSchedule::nextDue() const {
    std::optional<std::int64_t> next;
    for (const Entry& entry : entries_) {
        if (entry.pace == Pace::OnTime && (!next || entry.due < *next)) {
            next = entry.due;
        }
    }
    return next;
}

std::optional<BeatSchedule::Key> BeatSchedule::takeDue(std::int64_t nowMs, std::uint64_t before) {
    for (;;) {
        auto first = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->due <= nowMs && it->order < before &&
                (first == entries_.end() || it->order < first->order)) {
                first = it;
            }
        }
        if (first == entries_.end()) {
            return std::nullopt;
        }
        const Key key = first->key;
        if (first->period == 0) {
            entries_.erase(first);
            return key;
        }
        if (first->pace == Pace::Deferred || first->due <= first->owedUntil) {
            first->due += first->period;
            return key;
        }
        first->due += first->period * (FloorDiv(nowMs - first->due, first->period) + 1);
        if (first->pace == Pace::OnTime) {
            return key;
        }
        // Resting: taken in its turn, so that a wake-up later in this pass starts from the
        // next beat, as if this one had come and done nothing.
    }
}

}  // namespace breezel
