#include "platform/Wait.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/TimerDriver.h"

namespace breezel {

Task<> After(TimerDriver& timers, std::int64_t ms) {
    co_await Answer<Done>([&timers, ms](Answer<Done>::Reply reply) {
        timers.callAfter(ms, [reply = std::move(reply)] { reply(Done{}); });
    });
}

Task<> WaitMilliseconds(Clock& clock, TimerDriver& timers, std::int32_t ms) {
    const std::uint32_t start = clock.milliseconds();
    std::int64_t elapsed = 0;
    do {
        // The first moment past ms; at least one pass through the event loop.
        co_await After(timers, std::max<std::int64_t>(std::int64_t{ms} - elapsed + 1, 0));
        // Unsigned subtraction gives the elapsed time across the wrap of the counter.
        elapsed = static_cast<std::uint32_t>(clock.milliseconds() - start);
    } while (elapsed <= ms);
}

}  // namespace breezel
