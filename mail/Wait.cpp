#include "mail/Wait.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace breezel {

namespace {
// The longest the pump may block in one pass, so the end of the wait is noticed promptly.
constexpr std::int64_t kPassMs = 10;
}  // namespace

void WaitMilliseconds(Clock& clock, EventPump& events, std::int32_t ms) {
    const std::uint32_t start = clock.milliseconds();
    std::int64_t elapsed = 0;
    do {
        const std::int64_t left = static_cast<std::int64_t>(ms) - elapsed;
        events.processEvents(static_cast<int>(std::clamp<std::int64_t>(left + 1, 0, kPassMs)));
        // Unsigned subtraction gives the elapsed time across the wrap of the counter.
        elapsed = static_cast<std::uint32_t>(clock.milliseconds() - start);
    } while (elapsed <= ms);
}

std::string CutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace breezel
