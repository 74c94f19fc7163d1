#pragma once
// One zlib stream compressed in bands at once, each on its own thread, in the
// manner of parallel gzip: every band but the last ends on a byte boundary
// without closing the stream, so the joined bands are one stream. With zlib,
// every band but the first starts from the 32 KiB before it as its
// dictionary, so the split loses almost nothing; libdeflate takes no
// dictionary, and its bands lose the matches across their borders.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tambrel {

struct PackedBytes {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

enum class BandCoder {
    Libdeflate,   // libdeflate at its level (1-12)
    Zlib,         // zlib at its level (1-9)
    ZlibFiltered, // zlib with its strategy for data filtered by prediction (PNG
                  // rows), which favours short codes for the many small values
                  // over short matches
};

// The zlib stream (header, deflate data, Adler-32) of `size` bytes at `data`,
// compressed by `coder` at `level` in `bands` bands. The bytes depend on the
// band count only, never on the threads the machine has. Throws
// std::bad_alloc when memory runs out.
PackedBytes CompressInBands(const std::uint8_t *data, std::size_t size, BandCoder coder, int level,
                            unsigned bands);

} // namespace tambrel
