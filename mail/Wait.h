#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace breezel {

class Clock;
class EventPump;

/// Waits ms milliseconds while the program's events keep running; at least one pass of event
/// handling even for 0 or less. Elapsed time is taken modulo 2^32, so the clock's wrap neither
/// ends the wait early nor stops it ending.
void WaitMilliseconds(Clock& clock, EventPump& events, std::int32_t ms);

/// The text before the first NUL character, or the whole text when it has none.
std::string CutAtNul(std::string_view text);

}  // namespace breezel
