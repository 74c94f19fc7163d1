#include "decoder/pixel_grid.h"

#include <cstdlib>
#include <sys/mman.h>

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

} // namespace tambrel
