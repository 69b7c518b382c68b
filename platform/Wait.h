#pragma once

#include <cstdint>

#include "common/Task.h"

namespace breezel {

class Clock;
class TimerDriver;

/// Suspends for at least ms milliseconds from the event loop (on the first beat after), while
/// everything else goes on.
Task<> After(TimerDriver& timers, std::int64_t ms);

/// Waits until more than ms milliseconds have passed on the clock, suspended meanwhile: the
/// program's events keep running, and nothing waits behind this wait. Even for 0 or less it
/// passes once through the event loop. Elapsed time is taken modulo 2^32, so the clock's wrap
/// neither ends the wait early nor stops it ending.
Task<> WaitMilliseconds(Clock& clock, TimerDriver& timers, std::int32_t ms);

}  // namespace breezel
