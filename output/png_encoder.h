#pragma once
// A PNG file from rows of pixels, without libpng: each row is filtered by a
// choice made once for the kind of picture, the whole filtered image is
// compressed in one piece by libdeflate, and the chunks (IHDR, any ancillary
// chunks the caller adds, PLTE, tRNS, IDAT, IEND) go out in a single write.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {

class AtomicFile;
class BandedCompression;

// How hard the compressor works. Default aims at files no larger than zlib's
// level 6 with every filter tried per row gives; Fast trades size for time,
// Small time for size.
enum class PngLevel { Fast, Default, Small };

// "fast", "default" or "small" into `level`; false for anything else.
bool ParsePngLevel(const std::string &text, PngLevel &level);

// The PNG colour types written, never interlaced.
enum class PngColour : std::uint8_t { Rgb = 2, Palette = 3, Rgba = 6 };

// An ancillary chunk written as given: its 4-letter type and its data.
struct PngChunk {
    std::string Type;
    std::vector<std::uint8_t> Data;
};

struct PngImage {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    PngColour Colour = PngColour::Rgb;
    // Bits per sample: 8, or 16 for Rgb and Rgba (each sample two bytes,
    // most significant first).
    std::uint8_t BitDepth = 8;
    std::vector<std::uint8_t> Palette; // Palette only: red, green, blue per entry
    std::vector<std::uint8_t> Trans;   // Palette only: alpha per entry; empty for none
    // Colour only: each pixel repeats its left neighbour but for one sample
    // (hold-and-modify), so predicting from the left suits every row: beyond
    // a small picture, no other filtering is tried.
    bool FromLeft = false;
    // Written right after IHDR, in this order: chunks that may come before
    // PLTE and IDAT (text, physical pixel size, colour profile, Exif).
    std::vector<PngChunk> Extra;
    // Fills row y (0 at the top): Width pixels of 1 (palette index), 3 (RGB)
    // or 4 (RGBA) samples of BitDepth bits. Must not throw.
    std::function<void(std::uint32_t y, std::uint8_t *row)> FillRow;
};

// Writes the image as a PNG file into `out`. Throws TambrelError when the file
// cannot be written or memory runs out.
void EncodePng(AtomicFile &out, const PngImage &image, PngLevel level);

// Room for the rows of an image that arrive one at a time and are encoded once
// all are in: each row's pixels behind a spare byte, where its filter type
// goes, so the rows are filtered where they lie. Throws TambrelError when
// memory runs out.
class PngRowStore {
  public:
    PngRowStore(PngColour colour, std::uint32_t width, std::uint32_t height,
                std::uint8_t bitDepth = 8);
    ~PngRowStore(); // waits for any compression under way
    PngRowStore(const PngRowStore &) = delete;
    PngRowStore &operator=(const PngRowStore &) = delete;
    // Row y's pixels (Width x 1, 3 or 4 samples).
    std::uint8_t *Row(std::uint32_t y) { return rows_.get() + stride_ * y + 1; }
    std::size_t Stride() const { return stride_; }
    std::uint32_t Height() const { return height_; }
    // Hands the bytes over (the store is empty afterwards).
    std::unique_ptr<std::uint8_t[]> Release() { return std::move(rows_); }

    // For a palette image to be encoded at `level`: when that level leaves
    // the rows unfiltered and compresses them in bands, each band but the
    // last is compressed on a thread of its own as soon as its rows are in
    // (RowDone), while the rows after it are still being made.
    void CompressEarly(PngLevel level);
    // Row y is final (rows come in order, and stay unchanged from here on).
    void RowDone(std::uint32_t y);

  private:
    friend void EncodeStoredPng(AtomicFile &, PngImage, PngLevel, PngRowStore &);

    PngColour colour_;
    std::uint32_t width_;
    std::size_t stride_;
    std::uint32_t height_;
    std::unique_ptr<std::uint8_t[]> rows_;
    // Declared after rows_, so that its threads end before the rows go.
    std::unique_ptr<BandedCompression> early_;
    PngLevel earlyLevel_ = PngLevel::Default;
    unsigned nextBand_ = 0; // the next band to start
};

// The same file as EncodePng gives for the image whose rows are in `store`
// (image.FillRow is not used); the store's bytes are used up.
void EncodeStoredPng(AtomicFile &out, PngImage image, PngLevel level, PngRowStore &store);

} // namespace tambrel
