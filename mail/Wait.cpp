#include "mail/Wait.h"

#include <algorithm>
#include <limits>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace breezel {

void WaitMilliseconds(Clock& clock, EventPump& events, std::int32_t ms) {
    const std::uint32_t start = clock.milliseconds();
    std::int64_t elapsed = 0;
    do {
        const std::int64_t left = static_cast<std::int64_t>(ms) - elapsed;
        // One pass for all the time left: the pump handles every event meanwhile and returns
        // when it is up. Passes of a few milliseconds woke an idle program 100 times a second.
        events.processEvents(static_cast<int>(
            std::clamp<std::int64_t>(left + 1, 0, std::numeric_limits<std::int32_t>::max())));
        // Unsigned subtraction gives the elapsed time across the wrap of the counter.
        elapsed = static_cast<std::uint32_t>(clock.milliseconds() - start);
    } while (elapsed <= ms);
}

std::string CutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace breezel
