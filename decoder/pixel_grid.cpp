#include "decoder/pixel_grid.h"

#include "decoder/pages_ahead.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <system_error>

namespace tambrel {

namespace {
constexpr std::size_t kMappedFrom = std::size_t{1} << 20; // smaller blocks use calloc
constexpr std::size_t kHugePage = std::size_t{2} << 20;
} // namespace

void *AllocateZeroed(std::size_t bytes) {
    if (bytes < kMappedFrom) {
        void *block = std::calloc(bytes, 1);
        if (!block) {
            throw std::bad_alloc();
        }
        return block;
    }
    void *block =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePage) {
        ::madvise(block, bytes, MADV_HUGEPAGE); // advice only; failure changes nothing
    }
#endif
    return block;
}

void ReleaseZeroed(void *block, std::size_t bytes) {
    if (bytes < kMappedFrom) {
        std::free(block);
    } else {
        ::munmap(block, bytes);
    }
}

PagesReadiedAhead::PagesReadiedAhead(void *block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    // Blocks from kMappedFrom on come from mmap, aligned to a page.
    if (bytes < kHugePage || (reinterpret_cast<std::uintptr_t>(block) & 4095) != 0) {
        return;
    }
    auto *start = static_cast<char *>(block);
    try {
        thread_ = std::thread([this, start, bytes] {
            for (std::size_t at = 0; at < bytes && !stop_.load(std::memory_order_relaxed);
                 at += kHugePage) {
                if (::madvise(start + at, std::min(kHugePage, bytes - at), MADV_POPULATE_WRITE) !=
                    0) {
                    return; // not offered here: the writer's own faults do it
                }
            }
        });
    } catch (const std::system_error &) {
        // No second thread: the writer's own page faults clear the pages.
    }
#else
    (void)block;
    (void)bytes;
#endif
}

PagesReadiedAhead::~PagesReadiedAhead() {
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace tambrel
