#include "net/Pace.h"

#include <algorithm>

namespace breezel::net {

namespace {

std::string BytesText(std::size_t bytes) {
    return bytes % 1024 == 0 && bytes > 0 ? std::to_string(bytes / 1024) + " KB"
                                          : std::to_string(bytes) + " bytes";
}

}  // namespace

Pace::Pace(const SessionLimits& limits)
    : lowSpeedBytes_(limits.lowSpeedBytes),
      lowSpeedTime_(limits.lowSpeedTime),
      sessionTimeout_(limits.sessionTimeout) {}

void Pace::start(Time now) {
    sessionStart_ = windowStart_ = now;
    windowBytes_ = 0;
    restartPending_ = false;
}

void Pace::settle(Time now) {
    if (restartPending_) {
        start(now);
    }
}

void Pace::arrived(std::size_t bytes, Time now) {
    settle(now);
    windowBytes_ += bytes;
    if (windowBytes_ >= lowSpeedBytes_) {
        windowStart_ = now;
        windowBytes_ = 0;
    }
}

Pace::Time Pace::deadline(Time since, std::chrono::milliseconds wait) {
    settle(since);
    return end(since, wait);
}

Pace::Time Pace::end(Time since, std::chrono::milliseconds wait) const {
    const Time bound = std::min(since + wait, sessionEnd());
    return lowSpeedRule() ? std::min(bound, windowEnd()) : bound;
}

TransportStatus Pace::expired(Time since, std::chrono::milliseconds wait) const {
    // On a tie the plainest reason wins: a server that sent nothing at all is silent, not slow.
    const Time last = end(since, wait);
    if (last == since + wait) {
        return {TransportCode::Timeout, "no answer from the server within " + durationText(wait)};
    }
    if (lowSpeedRule() && last == windowEnd()) {
        return {TransportCode::Timeout, "less than " + BytesText(lowSpeedBytes_) +
                                            " from the server in " + durationText(lowSpeedTime_)};
    }
    return {TransportCode::Timeout, "the check took longer than " + durationText(sessionTimeout_)};
}

std::string Pace::durationText(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    if (ms >= 60000 && ms % 60000 == 0) {
        return std::to_string(ms / 60000) + " min";
    }
    const auto tenths = (ms + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        text += '.';
        text += std::to_string(tenths % 10);
    }
    return text + " s";
}

}  // namespace breezel::net
