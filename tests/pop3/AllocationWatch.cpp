#include "AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> watching{false};
std::atomic<std::size_t> largestSeen{0};

}  // namespace

// The array forms fall back to these.
void* operator new(std::size_t size) {
    if (watching && size > largestSeen) {
        largestSeen = size;  // tests allocate from one thread only
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace breezel::pop3 {

AllocationWatch::AllocationWatch() {
    largestSeen = 0;
    watching = true;
}

AllocationWatch::~AllocationWatch() {
    watching = false;
}

std::size_t AllocationWatch::largest() const {
    return largestSeen;
}

}  // namespace breezel::pop3
