#pragma once

// How long a session may still wait for its server. Besides the bound on each wait for the
// next bytes, a session gives up when the server delivers too little (fewer than lowSpeedBytes
// in lowSpeedTime) and once it has lasted sessionTimeout, so that no server can hold a check
// for long by dripping bytes. Bytes count as they arrive, a partial line included: the
// transport applies the rule inside its own waits. Times are passed in, so a test transport
// plays the same rule on a simulated clock.
//
// A connection that lives for days (IMAP IDLE) bounds each exchange on it like a check: restart()
// begins the bounds anew. The pace learns the time only from the transport, so the restart takes
// effect at the next moment the transport tells it: its next wait or arrival.

#include <chrono>
#include <cstddef>
#include <string>

#include "net/Limits.h"
#include "net/Transport.h"

namespace breezel::net {

/// The time bounds of one session, fed with what arrives when.
class Pace {
public:
    using Time = std::chrono::steady_clock::time_point;

    explicit Pace(const SessionLimits& limits);

    /// The session begins: its connection is being opened.
    void start(Time now);
    /// The session begins anew (the session bound and the low-speed window) at the next time
    /// the transport gives: the start of its next wait, or its next arrival.
    void restart() { restartPending_ = true; }
    /// bytes came from the server at now.
    void arrived(std::size_t bytes, Time now);
    /// When a wait for bytes that began at since (or last saw bytes then) must end: wait
    /// later, or sooner when the low-speed window or the session runs out first.
    Time deadline(Time since, std::chrono::milliseconds wait);
    /// The failure of a wait that reached its deadline: Timeout, the detail naming the bound.
    TransportStatus expired(Time since, std::chrono::milliseconds wait) const;

    /// "30 s", "0.3 s", "10 min": a bound as the failure texts give it.
    static std::string durationText(std::chrono::milliseconds duration);

private:
    /// A pending restart begins at now.
    void settle(Time now);
    Time end(Time since, std::chrono::milliseconds wait) const;
    bool lowSpeedRule() const { return lowSpeedBytes_ > 0; }
    Time windowEnd() const { return windowStart_ + lowSpeedTime_; }
    Time sessionEnd() const { return sessionStart_ + sessionTimeout_; }

    std::size_t lowSpeedBytes_;
    std::chrono::milliseconds lowSpeedTime_;
    std::chrono::milliseconds sessionTimeout_;
    Time sessionStart_{};
    // The low-speed window: it restarts whenever lowSpeedBytes have come since it started.
    Time windowStart_{};
    std::size_t windowBytes_ = 0;
    bool restartPending_ = false;
};

}  // namespace breezel::net
