#include "output/png_encoder.h"

#include "common/errors.h"
#include "output/atomic_file.h"
#include "output/zlib_bands.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace tambrel {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The compressed stream goes out in IDAT chunks of at most this size.
constexpr std::size_t kIdatBytes = std::size_t{1} << 20;

// The row filters of PNG, by their filter-type byte.
enum Filter : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// How the rows of a picture are filtered: one of the five filters for every
// row, or per row the filter whose output has the least entropy.
enum class Rows { None, Sub, Up, Average, Paeth, LeastEntropy };

struct Plan {
    int deflateLevel;
    // Colour pictures: one row in this many is tried with every kind of
    // filtering (see ChooseRows); 0 for pictures left unfiltered.
    std::uint32_t sampleEvery;
    // Compressed by zlib at this level instead of by libdeflate; 0 for libdeflate.
    int zlibLevel = 0;
    // Filtered images from kBandedBytes on are compressed in two bands at once
    // (CompressInBands).
    bool banded = false;
    // The first band takes kLeadShare of the bytes (see LeadBandBytes).
    bool lead = false;
};

// Rows that go out unfiltered (palette indices) are final as they arrive, so
// a streamed picture starts compressing its first band while the rest of it
// is decoded (PngRowStore::RowDone), and finishes the other band once it is
// complete. Compression costs about four times the decoding, so the first
// band takes 5/9 of the bytes: the two then end at about the same time.
// Every palette image at that level is split so, streamed or not, for the
// same bytes either way.
std::size_t LeadBandBytes(std::size_t size) {
    return size / 9 * 5 + size % 9 * 5 / 9;
}

// Filtered images from this size on may be compressed in two bands.
constexpr std::size_t kBandedBytes = std::size_t{1} << 20;

// Palette indices are names, not quantities: predicting them from their
// neighbours only adds noise, so they are never filtered. Colour samples of
// neighbouring pixels are close, and the filtering that suits them best
// depends on the picture (HAM changes one sample a pixel, deep pictures any),
// so it is found by trial on a sample. Level 7 is the lowest of libdeflate's
// levels that gives files as small as zlib's level 6; from level 10 on it
// searches for the cheapest matches, several times slower (11 gives nearly
// all that 12 gives, in a quarter of its time).
//
// A large hold-and-modify picture at the default level (predicted from the
// left, see ChooseRows) is compressed by zlib at its level 4 with its strategy
// for filtered data: a HAM pixel changes one sample of its left neighbour, so
// its predicted row is mostly zeros with a value between, which that strategy
// codes in about 7 % fewer bytes than libdeflate's level 7 does; two bands on
// two cores make up for zlib's slower matching.
Plan PlanFor(const PngImage &image, std::size_t bpp, PngLevel level) {
    const bool palette = image.Colour == PngColour::Palette;
    const std::size_t bytes = (bpp * image.Width + 1) * image.Height;
    switch (level) {
    case PngLevel::Fast:
        return {1, palette ? 0u : 64u};
    case PngLevel::Default:
        if (image.FromLeft && bytes >= kBandedBytes) {
            return {7, 16u, 4, true};
        }
        return {7, palette ? 0u : 16u, 0, true, palette};
    case PngLevel::Small:
        return {11, palette ? 0u : 1u};
    }
    return {7, palette ? 0u : 16u};
}

inline std::uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) {
        return static_cast<std::uint8_t>(a);
    }
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Row `row` filtered by `filter` into `out`, `prev` being the row above (all
// zero for the first row); `bpp` bytes per pixel, `n` bytes per row.
void FilterRow(Filter filter, const std::uint8_t *row, const std::uint8_t *prev, std::size_t n,
               std::size_t bpp, std::uint8_t *out) {
    const std::size_t lead = std::min(bpp, n);
    switch (filter) {
    case kNone:
        std::memcpy(out, row, n);
        return;
    case kSub:
        std::memcpy(out, row, lead);
        for (std::size_t i = bpp; i < n; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - row[i - bpp]);
        }
        return;
    case kUp:
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - prev[i]);
        }
        return;
    case kAverage:
        for (std::size_t i = 0; i < lead; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - (prev[i] >> 1));
        }
        for (std::size_t i = bpp; i < n; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - ((row[i - bpp] + prev[i]) >> 1));
        }
        return;
    case kPaeth:
        for (std::size_t i = 0; i < lead; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - prev[i]);
        }
        for (std::size_t i = bpp; i < n; ++i) {
            out[i] = static_cast<std::uint8_t>(
                row[i] - PaethPredictor(row[i - bpp], prev[i], prev[i - bpp]));
        }
        return;
    }
}

// The order-0 entropy of the bytes counted in `histogram`, in bits: about
// the size deflate's Huffman coding gives them, matches left aside.
double EntropyBits(const std::array<std::size_t, 256> &histogram) {
    std::size_t total = 0;
    for (std::size_t count : histogram) {
        total += count;
    }
    double bits = 0;
    for (std::size_t count : histogram) {
        if (count > 0) {
            bits += static_cast<double>(count) *
                    std::log2(static_cast<double>(total) / static_cast<double>(count));
        }
    }
    return bits;
}

// Row `row` filtered by the filter of least entropy into `out` (behind its
// filter-type byte), `trial` being room for one row.
void FilterByLeastEntropy(const std::uint8_t *row, const std::uint8_t *prev, std::size_t n,
                          std::size_t bpp, std::uint8_t *trial, std::uint8_t *out) {
    double best = 0;
    for (Filter f : {kNone, kSub, kUp, kAverage, kPaeth}) {
        FilterRow(f, row, prev, n, bpp, trial);
        std::array<std::size_t, 256> histogram{};
        for (std::size_t i = 0; i < n; ++i) {
            ++histogram[trial[i]];
        }
        const double bits = EntropyBits(histogram);
        if (f == kNone || bits < best) {
            best = bits;
            out[0] = f;
            std::memcpy(out + 1, trial, n);
        }
    }
}

// Rows first .. first + count - 1 of the image, each behind its filter-type
// byte, into `filtered` ((bpp * Width + 1) * count bytes).
void FilterRows(const PngImage &image, std::size_t bpp, Rows rows, std::uint32_t first,
                std::uint32_t count, std::uint8_t *filtered) {
    const std::size_t n = bpp * image.Width;
    if (rows == Rows::None) {
        for (std::uint32_t y = first; y < first + count; ++y, filtered += n + 1) {
            filtered[0] = kNone;
            image.FillRow(y, filtered + 1);
        }
        return;
    }
    std::vector<std::uint8_t> room(3 * n, 0);
    std::uint8_t *prev = room.data();
    std::uint8_t *row = prev + n;
    std::uint8_t *trial = row + n;
    if (first > 0) {
        image.FillRow(first - 1, prev);
    }
    const auto filter = static_cast<Filter>(rows);
    for (std::uint32_t y = first; y < first + count; ++y, filtered += n + 1) {
        image.FillRow(y, row);
        if (rows == Rows::LeastEntropy) {
            FilterByLeastEntropy(row, prev, n, bpp, trial, filtered);
        } else {
            filtered[0] = filter;
            FilterRow(filter, row, prev, n, bpp, filtered + 1);
        }
        std::swap(row, prev);
    }
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

Compressor NewCompressor(int level) {
    Compressor compressor(libdeflate_alloc_compressor(level));
    if (!compressor) {
        throw std::bad_alloc();
    }
    return compressor;
}

// The filtering for a colour picture: each kind filters the same sample of
// bands of rows (one row in `every`, in bands of up to 64 rows, or the whole
// picture when it is small), the sample is compressed at libdeflate's fastest
// level, and the kind of the smallest result wins. Compressing, rather than
// guessing from the filtered bytes, sees the repeats deflate finds. A large
// hold-and-modify picture is predicted from the left without a trial.
Rows ChooseRows(const PngImage &image, std::size_t bpp, std::uint32_t every) {
    constexpr std::size_t kWholeBytes = std::size_t{1} << 16;
    const std::size_t n = bpp * image.Width;
    std::uint32_t band = std::min<std::uint32_t>(64, image.Height);
    std::uint32_t step = band * every;
    if ((n + 1) * image.Height <= kWholeBytes) {
        band = step = image.Height;
    } else if (image.FromLeft) {
        return Rows::Sub;
    }
    const Compressor compressor = NewCompressor(1);
    std::vector<std::uint8_t> filtered((n + 1) * band);
    std::vector<std::uint8_t> packed(
        libdeflate_deflate_compress_bound(compressor.get(), filtered.size()));
    Rows best = Rows::None;
    std::size_t bestSize = 0;
    // Average alone seldom wins; it still takes part in LeastEntropy.
    for (Rows rows : {Rows::None, Rows::Sub, Rows::Up, Rows::Paeth, Rows::LeastEntropy}) {
        std::size_t size = 0;
        for (std::uint32_t first = 0; first < image.Height; first += step) {
            const std::uint32_t count = std::min(band, image.Height - first);
            FilterRows(image, bpp, rows, first, count, filtered.data());
            size += libdeflate_deflate_compress(compressor.get(), filtered.data(), (n + 1) * count,
                                                packed.data(), packed.size());
        }
        if (rows == Rows::None || size < bestSize) {
            best = rows;
            bestSize = size;
        }
    }
    return best;
}

void PutU32(std::uint8_t *at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// The file as pieces for one gathered write: each chunk is its length and type
// (8 bytes), its data and its CRC (4 bytes), the framing kept in `frames`.
class ChunkList {
  public:
    explicit ChunkList(std::size_t chunks) : frames_(12 * chunks) {
        pieces_.push_back({const_cast<std::uint8_t *>(kSignature), sizeof kSignature});
    }

    // `data` must stay in place until the write.
    void Add(const char *type, const std::uint8_t *data, std::size_t size) {
        std::uint8_t *head = frames_.data() + used_;
        std::uint8_t *tail = head + 8;
        used_ += 12;
        PutU32(head, static_cast<std::uint32_t>(size));
        std::memcpy(head + 4, type, 4);
        std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
        if (size > 0) { // (a null buffer restarts the CRC)
            crc = libdeflate_crc32(crc, data, size);
        }
        PutU32(tail, crc);
        pieces_.push_back({head, 8});
        if (size > 0) {
            pieces_.push_back({const_cast<std::uint8_t *>(data), size});
        }
        pieces_.push_back({tail, 4});
    }

    void WriteTo(AtomicFile &out) const { out.WritePieces(pieces_.data(), pieces_.size()); }

  private:
    std::vector<std::uint8_t> frames_;
    std::size_t used_ = 0;
    std::vector<iovec> pieces_;
};

// Bytes that are all written before they are read: left uninitialised, so
// the large buffers cost no clearing pass of their own.
struct Buffer {
    explicit Buffer(std::size_t size)
        : bytes(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size(size) {}
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size;
};

// The zlib stream (header, deflate data, Adler-32) of `data`.
Buffer Compress(const Buffer &data, const Plan &plan) {
    if (plan.zlibLevel > 0 || (plan.banded && data.size >= kBandedBytes)) {
        const unsigned bands = plan.banded && data.size >= kBandedBytes ? 2 : 1;
        const std::size_t lead = plan.lead ? LeadBandBytes(data.size) : 0;
        PackedBytes banded =
            plan.zlibLevel > 0
                ? CompressInBands(data.bytes.get(), data.size, BandCoder::ZlibFiltered,
                                  plan.zlibLevel, bands, lead)
                : CompressInBands(data.bytes.get(), data.size, BandCoder::Libdeflate,
                                  plan.deflateLevel, bands, lead);
        Buffer packed(0);
        packed.bytes = std::move(banded.bytes);
        packed.size = banded.size;
        return packed;
    }
    const Compressor compressor = NewCompressor(plan.deflateLevel);
    Buffer packed(libdeflate_zlib_compress_bound(compressor.get(), data.size));
    packed.size = libdeflate_zlib_compress(compressor.get(), data.bytes.get(), data.size,
                                           packed.bytes.get(), packed.size);
    // The bound holds any input, so a failure here means the library broke its promise.
    if (packed.size == 0) {
        throw TambrelError(kErrDeviceIO, "PNG encoder: the compressor found no room");
    }
    return packed;
}

} // namespace

bool ParsePngLevel(const std::string &text, PngLevel &level) {
    if (text == "fast") {
        level = PngLevel::Fast;
    } else if (text == "default") {
        level = PngLevel::Default;
    } else if (text == "small") {
        level = PngLevel::Small;
    } else {
        return false;
    }
    return true;
}

namespace {

std::size_t BytesPerPixel(PngColour colour, std::uint8_t bitDepth) {
    const std::size_t samples = colour == PngColour::Palette ? 1 : colour == PngColour::Rgb ? 3 : 4;
    return samples * (bitDepth == 16 ? 2 : 1);
}

// The chunks of the file around the compressed image data `packed`.
void WriteChunks(AtomicFile &out, const PngImage &image, const Buffer &packed) {
    std::array<std::uint8_t, 13> header{};
    PutU32(header.data(), image.Width);
    PutU32(header.data() + 4, image.Height);
    header[8] = image.BitDepth;
    header[9] = static_cast<std::uint8_t>(image.Colour);
    // header[10..12]: deflate compression, adaptive filtering, no interlace: all 0.

    const std::size_t idats = std::max<std::size_t>(1, (packed.size + kIdatBytes - 1) / kIdatBytes);
    ChunkList chunks(idats + 4 + image.Extra.size());
    chunks.Add("IHDR", header.data(), header.size());
    for (const PngChunk &chunk : image.Extra) {
        chunks.Add(chunk.Type.c_str(), chunk.Data.data(), chunk.Data.size());
    }
    if (image.Colour == PngColour::Palette) {
        chunks.Add("PLTE", image.Palette.data(), image.Palette.size());
        if (!image.Trans.empty()) {
            chunks.Add("tRNS", image.Trans.data(), image.Trans.size());
        }
    }
    for (std::size_t at = 0; at < packed.size; at += kIdatBytes) {
        chunks.Add("IDAT", packed.bytes.get() + at, std::min(kIdatBytes, packed.size - at));
    }
    chunks.Add("IEND", nullptr, 0);
    chunks.WriteTo(out);
}

// Filters the rows held in `rows` where they lie, bottom row first so that
// each row's neighbour above is still unfiltered when it is needed.
void FilterStoredRows(std::uint8_t *rows, std::size_t n, std::size_t bpp, std::uint32_t height,
                      Rows choice) {
    const std::size_t stride = n + 1;
    if (choice == Rows::None) {
        for (std::uint32_t y = 0; y < height; ++y) {
            rows[stride * y] = kNone;
        }
        return;
    }
    std::vector<std::uint8_t> room(3 * n + 1, 0);
    const std::uint8_t *zero = room.data();
    std::uint8_t *trial = room.data() + n;
    std::uint8_t *out = trial + n; // filter-type byte and row
    for (std::uint32_t y = height; y-- > 0;) {
        std::uint8_t *row = rows + stride * y + 1;
        const std::uint8_t *prev = y > 0 ? row - stride : zero;
        if (choice == Rows::LeastEntropy) {
            FilterByLeastEntropy(row, prev, n, bpp, trial, out);
        } else {
            out[0] = static_cast<Filter>(choice);
            FilterRow(static_cast<Filter>(choice), row, prev, n, bpp, out + 1);
        }
        std::memcpy(row - 1, out, stride);
    }
}

} // namespace

void EncodePng(AtomicFile &out, const PngImage &image, PngLevel level) {
    const std::size_t bpp = BytesPerPixel(image.Colour, image.BitDepth);
    const Plan plan = PlanFor(image, bpp, level);
    Buffer packed(0);
    try {
        const Rows rows =
            plan.sampleEvery == 0 ? Rows::None : ChooseRows(image, bpp, plan.sampleEvery);
        const Buffer filtered((bpp * image.Width + 1) * image.Height);
        FilterRows(image, bpp, rows, 0, image.Height, filtered.bytes.get());
        packed = Compress(filtered, plan);
    } catch (const std::bad_alloc &) {
        throw TambrelError(kErrOutOfMemory, "Not enough memory for the PNG encoder");
    }
    WriteChunks(out, image, packed);
}

PngRowStore::PngRowStore(PngColour colour, std::uint32_t width, std::uint32_t height,
                         std::uint8_t bitDepth)
    : colour_(colour), width_(width), stride_(BytesPerPixel(colour, bitDepth) * width + 1),
      height_(height) {
    try {
        rows_ = std::make_unique_for_overwrite<std::uint8_t[]>(stride_ * height);
    } catch (const std::bad_alloc &) {
        throw TambrelError(kErrOutOfMemory, "Not enough memory for the PNG encoder");
    }
}

PngRowStore::~PngRowStore() = default;

void PngRowStore::CompressEarly(PngLevel level) {
    PngImage image;
    image.Width = width_;
    image.Height = height_;
    image.Colour = colour_;
    const Plan plan = PlanFor(image, BytesPerPixel(colour_, 8), level);
    const std::size_t size = stride_ * height_;
    if (!rows_ || early_ || colour_ != PngColour::Palette || plan.sampleEvery != 0 ||
        plan.zlibLevel != 0 || !plan.banded || !plan.lead || size < kBandedBytes) {
        return;
    }
    try {
        early_ = std::make_unique<BandedCompression>(rows_.get(), size, BandCoder::Libdeflate,
                                                     plan.deflateLevel, 2, LeadBandBytes(size));
    } catch (const std::bad_alloc &) {
        throw TambrelError(kErrOutOfMemory, "Not enough memory for the PNG encoder");
    }
    earlyLevel_ = level;
}

void PngRowStore::RowDone(std::uint32_t y) {
    if (!early_) {
        return;
    }
    rows_[stride_ * y] = kNone; // the unfiltered row's filter type
    const std::size_t done = stride_ * (std::size_t{y} + 1);
    // Every band but the last, once all of its bytes are in.
    while (nextBand_ + 1 < early_->Bands() && early_->BandEnd(nextBand_) <= done) {
        early_->Start(nextBand_++);
    }
}

void EncodeStoredPng(AtomicFile &out, PngImage image, PngLevel level, PngRowStore &store) {
    const std::size_t bpp = BytesPerPixel(image.Colour, image.BitDepth);
    const std::size_t n = bpp * image.Width;
    if (store.Stride() != n + 1 || store.Height() != image.Height) {
        throw TambrelError(kErrDeviceIO, "PNG encoder: the stored rows do not fit the image");
    }
    const Plan plan = PlanFor(image, bpp, level);
    Buffer packed(0);
    try {
        const std::uint8_t *rows = store.Row(0);
        image.FillRow = [rows, n](std::uint32_t y, std::uint8_t *row) {
            std::memcpy(row, rows + (n + 1) * y, n);
        };
        // Bands already under way hold every row unfiltered, as this plan has them.
        if (store.early_ && store.earlyLevel_ == level && image.Colour == PngColour::Palette) {
            PackedBytes early = store.early_->Finish();
            store.early_.reset();
            packed.bytes = std::move(early.bytes);
            packed.size = early.size;
        } else {
            store.early_.reset();
            const Rows choice =
                plan.sampleEvery == 0 ? Rows::None : ChooseRows(image, bpp, plan.sampleEvery);
            FilterStoredRows(store.Row(0) - 1, n, bpp, image.Height, choice);
            Buffer filtered(0);
            filtered.bytes = store.Release();
            filtered.size = (n + 1) * image.Height;
            packed = Compress(filtered, plan);
        }
    } catch (const std::bad_alloc &) {
        throw TambrelError(kErrOutOfMemory, "Not enough memory for the PNG encoder");
    }
    WriteChunks(out, image, packed);
}

} // namespace tambrel
