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
                            unsigned bands) {
    bands =
        static_cast<unsigned>(std::clamp<std::size_t>(bands, 1, std::max<std::size_t>(1, size)));
    std::vector<Band> parts(bands);
    for (unsigned i = 0; i < bands; ++i) {
        const std::size_t first = size * i / bands;
        const std::size_t end = size * (i + 1) / bands;
        parts[i].data = data + first;
        parts[i].size = end - first;
        parts[i].primed = coder == BandCoder::Libdeflate ? 0 : std::min(first, kWindow);
        parts[i].last = i + 1 == bands;
    }
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < bands; ++i) {
        try {
            threads.emplace_back(
                [&parts, i, coder, level] { CompressBand(parts[i], coder, level); });
        } catch (const std::system_error &) {
            CompressBand(parts[i], coder, level); // no thread to spare: here, in turn
        }
    }
    CompressBand(parts[0], coder, level);
    const std::uint32_t adler = libdeflate_adler32(1, data, size);
    for (std::thread &t : threads) {
        t.join();
    }

    std::size_t total = 2 + 4;
    for (const Band &band : parts) {
        if (band.failed) {
            throw std::bad_alloc(); // the compressors fail for want of memory only
        }
        total += band.out.size;
    }
    PackedBytes packed;
    packed.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(total);
    std::uint8_t *at = packed.bytes.get();
    // CMF: deflate with a 32 KiB window; FLG: the level's class, no
    // dictionary, and the check bits that make CMF * 256 + FLG a multiple of 31.
    const int levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    at[0] = 0x78;
    at[1] = static_cast<std::uint8_t>(levelClass << 6);
    at[1] = static_cast<std::uint8_t>(at[1] + (31 - (0x78 * 256 + at[1]) % 31) % 31);
    at += 2;
    for (const Band &band : parts) {
        std::copy_n(band.out.bytes.get(), band.out.size, at);
        at += band.out.size;
    }
    at[0] = static_cast<std::uint8_t>(adler >> 24);
    at[1] = static_cast<std::uint8_t>(adler >> 16);
    at[2] = static_cast<std::uint8_t>(adler >> 8);
    at[3] = static_cast<std::uint8_t>(adler);
    packed.size = total;
    return packed;
}

} // namespace tambrel
