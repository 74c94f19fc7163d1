#include "output/zlib_bands.h"

#include "output/deflate_join.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace tambrel {

namespace {

constexpr std::size_t kWindow = 32768; // deflate's largest match distance

struct Band {
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
    std::size_t primed = 0; // dictionary bytes just before `data`
    bool last = false;
    PackedBytes out;
    bool failed = false;
};

// Raw deflate data of one band by libdeflate: every band but the last is
// continued (see ContinueDeflateStream).
void DeflateBand(Band &band, int level) {
    libdeflate_compressor *c = libdeflate_alloc_compressor(level);
    if (c == nullptr) {
        band.failed = true;
        return;
    }
    const std::size_t room = libdeflate_deflate_compress_bound(c, band.size) + 8;
    band.out.bytes.reset(new (std::nothrow) std::uint8_t[room]);
    if (band.out.bytes) {
        band.out.size =
            libdeflate_deflate_compress(c, band.data, band.size, band.out.bytes.get(), room);
    }
    libdeflate_free_compressor(c);
    band.failed = band.out.size == 0 ||
                  (!band.last && !ContinueDeflateStream(band.out.bytes.get(), band.out.size));
}

// Raw deflate data of one band by zlib: a sync flush ends every band but the
// last, which ends the stream. Sets `failed` rather than throwing (it runs on
// a thread).
void CompressBand(Band &band, BandCoder coder, int level) {
    if (coder == BandCoder::Libdeflate) {
        DeflateBand(band, level);
        return;
    }
    const int strategy = coder == BandCoder::ZlibFiltered ? Z_FILTERED : Z_DEFAULT_STRATEGY;
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 9, strategy) != Z_OK) {
        band.failed = true;
        return;
    }
    if (band.primed > 0 &&
        deflateSetDictionary(&z, band.data - band.primed, static_cast<uInt>(band.primed)) != Z_OK) {
        deflateEnd(&z);
        band.failed = true;
        return;
    }
    // Room for the bound, the sync flush's empty stored block and some spare.
    const std::size_t room = deflateBound(&z, static_cast<uLong>(band.size)) + 64;
    band.out.bytes.reset(new (std::nothrow) std::uint8_t[room]);
    if (!band.out.bytes) {
        deflateEnd(&z);
        band.failed = true;
        return;
    }
    z.next_in = const_cast<std::uint8_t *>(band.data);
    z.avail_in = static_cast<uInt>(band.size);
    z.next_out = band.out.bytes.get();
    z.avail_out = static_cast<uInt>(room);
    const int status = deflate(&z, band.last ? Z_FINISH : Z_SYNC_FLUSH);
    band.failed = band.last ? status != Z_STREAM_END : (status != Z_OK || z.avail_in != 0);
    band.out.size = room - z.avail_out;
    deflateEnd(&z);
}

} // namespace

PackedBytes CompressInBands(const std::uint8_t *data, std::size_t size, BandCoder coder, int level,
                            unsigned bands, std::size_t firstBand) {
    return BandedCompression(data, size, coder, level, bands, firstBand).Finish();
}

struct BandedCompression::Band : tambrel::Band {
    bool started = false;
};

BandedCompression::BandedCompression(const std::uint8_t *data, std::size_t size, BandCoder coder,
                                     int level, unsigned bands, std::size_t firstBand)
    : data_(data), size_(size), coder_(coder), level_(level) {
    bands =
        static_cast<unsigned>(std::clamp<std::size_t>(bands, 1, std::max<std::size_t>(1, size)));
    // The first band's end, when given, and the others' evenly after it.
    const std::size_t lead = bands > 1 && firstBand > 0 && firstBand < size ? firstBand : 0;
    const unsigned even = lead > 0 ? bands - 1 : bands;
    const auto edge = [&](unsigned i) {
        if (lead == 0) {
            return size * i / bands;
        }
        return i == 0 ? 0 : lead + (size - lead) * (i - 1) / even;
    };
    for (unsigned i = 0; i < bands; ++i) {
        const std::size_t first = edge(i);
        const std::size_t end = i + 1 == bands ? size : edge(i + 1);
        auto band = std::make_unique<Band>();
        band->data = data + first;
        band->size = end - first;
        band->primed = coder == BandCoder::Libdeflate ? 0 : std::min(first, kWindow);
        band->last = i + 1 == bands;
        parts_.push_back(std::move(band));
    }
}

BandedCompression::~BandedCompression() {
    Join();
}

void BandedCompression::Join() {
    for (std::thread &t : threads_) {
        t.join();
    }
    threads_.clear();
}

std::size_t BandedCompression::BandEnd(unsigned i) const {
    return static_cast<std::size_t>(parts_[i]->data - data_) + parts_[i]->size;
}

void BandedCompression::Start(unsigned i) {
    Band &band = *parts_[i];
    if (band.started) {
        return;
    }
    band.started = true;
    const BandCoder coder = coder_;
    const int level = level_;
    try {
        threads_.emplace_back([&band, coder, level] { CompressBand(band, coder, level); });
    } catch (const std::system_error &) {
        CompressBand(band, coder, level); // no thread to spare: here, now
    }
}

PackedBytes BandedCompression::Finish() {
    Band *here = nullptr;
    for (unsigned i = 0; i < Bands(); ++i) {
        if (!parts_[i]->started && here == nullptr) {
            here = parts_[i].get();
            here->started = true;
        } else {
            Start(i);
        }
    }
    if (here != nullptr) {
        CompressBand(*here, coder_, level_);
    }
    const std::uint32_t adler = libdeflate_adler32(1, data_, size_);
    Join();

    std::size_t total = 2 + 4;
    for (const auto &band : parts_) {
        if (band->failed) {
            throw std::bad_alloc(); // the compressors fail for want of memory only
        }
        total += band->out.size;
    }
    PackedBytes packed;
    packed.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(total);
    std::uint8_t *at = packed.bytes.get();
    // CMF: deflate with a 32 KiB window; FLG: the level's class, no
    // dictionary, and the check bits that make CMF * 256 + FLG a multiple of 31.
    const int levelClass = level_ < 2 ? 0 : level_ < 6 ? 1 : level_ == 6 ? 2 : 3;
    at[0] = 0x78;
    at[1] = static_cast<std::uint8_t>(levelClass << 6);
    at[1] = static_cast<std::uint8_t>(at[1] + (31 - (0x78 * 256 + at[1]) % 31) % 31);
    at += 2;
    for (const auto &band : parts_) {
        std::copy_n(band->out.bytes.get(), band->out.size, at);
        at += band->out.size;
    }
    at[0] = static_cast<std::uint8_t>(adler >> 24);
    at[1] = static_cast<std::uint8_t>(adler >> 16);
    at[2] = static_cast<std::uint8_t>(adler >> 8);
    at[3] = static_cast<std::uint8_t>(adler);
    packed.size = total;
    return packed;
}

} // namespace tambrel
