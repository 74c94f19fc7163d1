// libFuzzer entry: the decoder under a tight allowance (2^16 pixels, 1 MiB),
// as the desktop readers run it, so every picture is decoded or refused by the
// limits instead of skipped by size. Each input is decoded twice: into the
// record's own buffers, then with a row sink as the streaming readers use it.
// Run with -malloc_limit_mb=2: no allocation may exceed the allowance much.
// The debug log stays off: it lies outside the allowance (a line or two a
// row), and the decoder target runs it already.
#include "fuzz/fuzz_checks.h"

#include "common/errors.h"
#include "decoder/decode_limits.h"
#include "decoder/iff_loader.h"
#include "output/picture_pixels.h"

#include <memory>
#include <vector>

namespace {

using namespace tambrel;
using tambrel::fuzz::Check;

DecodeLimits TightLimits() {
    DecodeLimits limits;
    limits.Pixels = std::uint64_t{1} << 16;
    limits.MemoryBytes = std::uint64_t{1} << 20;
    return limits;
}

// Rows must come after Begin, top to bottom, each once, inside the picture;
// each is read out while it is offered, as the streaming readers do.
class CheckedRows : public RowSink {
  public:
    void Begin(const IFF_Picture &pic) override {
        Check(!begun, "Begin called twice");
        begun = true;
        const std::int64_t w = pic.DecodedWidth();
        const std::int64_t h = pic.DecodedHeight();
        Check(w >= 0 && h >= 0, "negative decoded size at Begin");
        line_.assign(static_cast<std::size_t>(4 * (w > 0 ? w : 1)), 0);
    }
    void TakeRow(const IFF_Picture &pic, std::int32_t y) override {
        Check(begun, "row before Begin");
        Check(y > last, "rows out of order or repeated");
        Check(y < pic.DecodedHeight(), "row outside the picture");
        Check(static_cast<std::size_t>(4 * pic.DecodedWidth()) <= line_.size(),
              "picture grew after Begin");
        last = y;
        ++rows;
        RgbaRow(pic, y, line_.data());
        tambrel::fuzz::Touch(line_.data(), line_.size());
    }
    bool begun = false;
    std::int32_t last = -1;
    std::int64_t rows = 0;

  private:
    std::vector<std::uint8_t> line_;
};

// 0 or 1, or -1 when refused as too large; other errors go on to libFuzzer.
int Load(IFF_Picture &pic, std::span<const std::uint8_t> bytes, RowSink *sink) {
    try {
        return LoadIffPictureFromMemory(pic, bytes, "/fuzz/input.iff", false, TightLimits(), sink);
    } catch (const TambrelError &e) {
        if (e.Number != kErrOutOfMemory) {
            throw;
        }
        return -1;
    }
}

template <typename Grid> bool WithinCap(const Grid &grid, std::uint64_t cap) {
    return std::uint64_t{grid.Columns()} * grid.Rows() <= cap;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const DecodeLimits limits = TightLimits();

    auto whole = std::make_unique<IFF_Picture>();
    const int wholeResult = Load(*whole, bytes, nullptr);
    if (wholeResult >= 0) {
        Check(wholeResult == 0 || wholeResult == 1, "result is neither 0 nor 1");
        Check(WithinCap(whole->PixelIndices, limits.Pixels), "index buffer beyond the pixel cap");
        Check(WithinCap(whole->PixelColours, limits.Pixels), "colour buffer beyond the pixel cap");
        if (PixelsAvailable(*whole)) {
            std::vector<std::uint8_t> line(4 * static_cast<std::size_t>(whole->DecodedWidth()));
            for (std::int32_t y = 0; y < whole->DecodedHeight(); ++y) {
                RgbaRow(*whole, y, line.data());
            }
        }
    }

    auto streamed = std::make_unique<IFF_Picture>();
    CheckedRows rows;
    const int streamedResult = Load(*streamed, bytes, &rows);
    if (streamedResult >= 0 && wholeResult >= 0) {
        Check(streamedResult == wholeResult, "streamed and whole results differ");
    }
    if (streamedResult == 1 && PixelsAvailable(*streamed)) {
        Check(rows.begun, "a picture with pixels, but no Begin");
        Check(rows.rows == streamed->DecodedHeight(), "not every row reached the sink");
    }
    return 0;
}
