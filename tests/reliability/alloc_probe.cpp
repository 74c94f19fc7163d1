#include "tests/reliability/alloc_probe.h"

#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<std::size_t> largest{0};
std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peak{0};
std::atomic<std::size_t> baseline{0};

void *Allocate(std::size_t size) {
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
    // The usable size, so the matching delete subtracts exactly what was added.
    const std::size_t now = held.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t top = peak.load(std::memory_order_relaxed);
    while (now > top && !peak.compare_exchange_weak(top, now)) {
    }
    return p;
}

void Release(void *p) {
    if (p != nullptr) {
        held.fetch_sub(malloc_usable_size(p));
        std::free(p);
    }
}

} // namespace

void *operator new(std::size_t size) {
    return Allocate(size);
}
void *operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void *p) noexcept {
    Release(p);
}
void operator delete[](void *p) noexcept {
    Release(p);
}
void operator delete(void *p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    Release(p);
}

namespace tambrel::test {

void ResetAllocationProbe() {
    largest = 0;
    baseline = held.load();
    peak = baseline.load();
}

std::size_t LargestAllocation() {
    return largest.load();
}

std::size_t PeakHeldSinceReset() {
    return peak.load() - baseline.load();
}

std::size_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

} // namespace tambrel::test
