#pragma once

// Measures the largest single heap allocation made while a watch is alive, by replacing the
// test program's global operator new. Shows that hostile sizes and endless responses never
// turn into big buffers.

#include <cstddef>

namespace breezel::pop3 {

/// Records the largest allocation between construction and destruction.
class AllocationWatch {
public:
    AllocationWatch();
    ~AllocationWatch();

    /// The largest single allocation so far, in bytes.
    std::size_t largest() const;
};

}  // namespace breezel::pop3
