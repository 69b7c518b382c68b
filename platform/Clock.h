#pragma once

#include <cstdint>

namespace breezel {

/// Milliseconds since an arbitrary start, 32 bits wide: it wraps about every 49.7 days.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t milliseconds() = 0;
};

}  // namespace breezel
