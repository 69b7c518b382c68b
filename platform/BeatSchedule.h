#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace breezel {

/// Due times of periodic timers and one-shot waits, in milliseconds of a steady clock. A timer
/// whose period is a whole number of beats is kept on one shared grid of beats, so timers of
/// 20, 80, 100 and 1000 ms wake the process together instead of each on its own; a one-shot
/// wait comes on the first beat at or after its time. Plain C++, so that the scheduling can be
/// tested with made-up times.
class BeatSchedule {
public:
    /// Names an entry; the schedule only compares it.
    using Key = std::uint64_t;
    /// Whether a periodic entry's beats wake the process.
    enum class Pace {
        /// Each beat wakes the process (the usual).
        OnTime,
        /// No beat wakes the process; each one is taken, late, at the next wake-up there is
        /// anyway, or at once when the entry goes back on time. None is lost.
        Deferred,
        /// No beat wakes the process and none is taken: the owner knows they would do nothing.
        /// Back on time, the entry goes on from its next beat.
        Resting,
    };
    /// The program's beat: every form timer's period is a whole number of it.
    static constexpr std::int64_t kBeatMs = 20;

    explicit BeatSchedule(std::int64_t beatMs = kBeatMs) : beat_(beatMs) {}

    /// Starts (or restarts) the count of a periodic timer at now: its first tick comes one
    /// period later, moved to the nearest beat where the period allows it.
    void start(Key key, std::int64_t periodMs, std::int64_t nowMs);
    /// A single tick on the first beat at least delayMs after now; the entry then goes.
    void once(Key key, std::int64_t delayMs, std::int64_t nowMs);
    void stop(Key key);
    bool contains(Key key) const { return find(key) != nullptr; }
    /// Changes a periodic entry's pace at now, keeping its beats where they are.
    void setPace(Key key, Pace pace, std::int64_t nowMs);

    /// The earliest due time that wakes the process, if any.
    std::optional<std::int64_t> nextDue() const;

    /// Of the entries due at now, the one started first. A periodic one moves on to its first
    /// due time after now, so each is taken once per now: ticks missed while the process was
    /// busy are not made up. A one-shot one is removed. A deferred entry (or one back on time
    /// with deferred beats left) moves on by one period, so each of its beats is taken; a
    /// resting one passes its beats unseen.
    /// Entries placed from mark() on are left for a later call, so that what a tick starts
    /// waits for the next pass of the event loop.
    std::optional<Key> takeDue(std::int64_t nowMs, std::uint64_t before = UINT64_MAX);
    /// The mark that takeDue's before compares with: entries placed later are not taken.
    std::uint64_t mark() const { return started_; }

private:
    struct Entry {
        Key key;
        std::int64_t period;  // 0: a one-shot
        std::int64_t due;
        std::uint64_t order;
        Pace pace = Pace::OnTime;
        // Beats due up to here were deferred: each is still taken, though the entry is on time.
        std::int64_t owedUntil = INT64_MIN;
    };

    Entry* find(Key key);
    const Entry* find(Key key) const;
    void place(Key key, std::int64_t period, std::int64_t due);
    bool onBeat(std::int64_t periodMs) const { return beat_ > 0 && periodMs % beat_ == 0; }

    std::int64_t beat_;
    std::uint64_t started_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace breezel
