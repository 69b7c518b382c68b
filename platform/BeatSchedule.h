#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace breezel {

/// Due times of periodic timers, in milliseconds of a steady clock. A timer whose period is a
/// whole number of beats is kept on one shared grid of beats, so timers of 20, 80, 100 and
/// 1000 ms wake the process together instead of each on its own. Plain C++, so that the
/// scheduling can be tested with made-up times.
class BeatSchedule {
public:
    /// The timer the entry stands for; the schedule only compares it.
    using Key = void*;
    /// The program's beat: every form timer's period is a whole number of it.
    static constexpr std::int64_t kBeatMs = 20;

    explicit BeatSchedule(std::int64_t beatMs = kBeatMs) : beat_(beatMs) {}

    /// Starts (or restarts) the count of a timer at now: its first tick comes one period later,
    /// moved to the nearest beat where the period allows it.
    void start(Key key, std::int64_t periodMs, std::int64_t nowMs);
    void stop(Key key);
    bool contains(Key key) const { return find(key) != nullptr; }

    /// A busy timer is still running its previous tick (a handler that waits and lets other
    /// events through): it is not due until it is idle again, and once its due time has passed
    /// it no longer counts for the next wake.
    void setBusy(Key key, bool busy);

    /// The earliest due time still to come, or passed for an idle timer, if any.
    std::optional<std::int64_t> nextDue(std::int64_t nowMs) const;

    /// Of the idle timers due at now, the one started first. It moves on to its first due time
    /// after now, so each timer is taken once per now: ticks missed while the process was busy
    /// are not made up.
    std::optional<Key> takeDue(std::int64_t nowMs);

private:
    struct Entry {
        Key key;
        std::int64_t period;
        std::int64_t due;
        std::uint64_t order;
        bool busy = false;
    };

    Entry* find(Key key);
    const Entry* find(Key key) const;
    bool onBeat(std::int64_t periodMs) const { return beat_ > 0 && periodMs % beat_ == 0; }

    std::int64_t beat_;
    std::uint64_t started_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace breezel
