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
#include <thread>
#include <vector>

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
// `firstBand`: the bytes of the first band, the rest split evenly over the
// others; 0 splits all evenly.
PackedBytes CompressInBands(const std::uint8_t *data, std::size_t size, BandCoder coder, int level,
                            unsigned bands, std::size_t firstBand = 0);

// The same stream as CompressInBands gives, with bands started one by one as
// their bytes become final (a band's compression reads the bytes before it
// too, up to 32 KiB, with zlib): Start runs a band on a thread of its own, so
// it overlaps whatever makes the bytes after it. The bytes must stay in place
// and unchanged until Finish or the destructor, which waits for the threads.
class BandedCompression {
  public:
    BandedCompression(const std::uint8_t *data, std::size_t size, BandCoder coder, int level,
                      unsigned bands, std::size_t firstBand = 0);
    ~BandedCompression();
    BandedCompression(const BandedCompression &) = delete;
    BandedCompression &operator=(const BandedCompression &) = delete;

    unsigned Bands() const { return static_cast<unsigned>(parts_.size()); }
    // The end (offset from `data`) of the bytes band `i` reads.
    std::size_t BandEnd(unsigned i) const;
    // Compresses band `i` on a thread (here, when no thread can be had), once.
    void Start(unsigned i);
    // The bands not yet started (the first of them on this thread), then the
    // stream. Throws std::bad_alloc when memory runs out.
    PackedBytes Finish();

  private:
    struct Band;
    void Join();

    const std::uint8_t *data_;
    std::size_t size_;
    BandCoder coder_;
    int level_;
    std::vector<std::unique_ptr<Band>> parts_;
    std::vector<std::thread> threads_;
};

} // namespace tambrel
