#pragma once

namespace breezel {

/// Uniform pseudo-random numbers.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    /// Seeds the generator from the time of day.
    virtual void seedFromTime() = 0;
    /// The next value r with 0 <= r < 1.
    virtual float next() = 0;
};

}  // namespace breezel
