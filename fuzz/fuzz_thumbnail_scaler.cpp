// libFuzzer entry: the thumbnail scaler as the desktop readers run it, rows
// scaled as they are decoded (DecodeForDesktop with ScaledRows), to a size
// taken from the input's last two bytes. The result is checked against the
// fitted size and against scaling the whole decoded picture afterwards.
#include "fuzz/fuzz_checks.h"

#include "common/errors.h"
#include "convert/desktop_read.h"
#include "decoder/decode_limits.h"
#include "decoder/iff_loader.h"
#include "output/picture_pixels.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using namespace tambrel;
using tambrel::fuzz::Check;

// The desktop allowance, but pictures of at most 2^18 pixels: each one is
// decoded twice here, and larger ones only cost time.
DecodeLimits ScalerLimits() {
    DecodeLimits limits = DesktopLimits();
    limits.Pixels = std::uint64_t{1} << 18;
    return limits;
}

// Counts the rows on their way to the scaler.
class CountedRows : public RowSink {
  public:
    explicit CountedRows(std::uint32_t size) : scaled(size) {}
    void Begin(const IFF_Picture &pic) override {
        ++begins;
        scaled.Begin(pic);
    }
    void TakeRow(const IFF_Picture &pic, std::int32_t y) override {
        Check(y > last, "rows out of order or repeated");
        last = y;
        ++rows;
        scaled.TakeRow(pic, y);
    }
    ScaledRows scaled;
    int begins = 0;
    std::int32_t last = -1;
    std::int64_t rows = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // 0 included: the scaler's own promise is a side of at least 1 for any size.
    const std::uint32_t thumb = tambrel::fuzz::TailWord(bytes, 0) % 1025;
    const DecodeLimits limits = ScalerLimits();

    auto pic = std::make_unique<IFF_Picture>();
    CountedRows rows(thumb);
    const std::string reason = DecodeForDesktop(*pic, bytes, rows, limits);
    if (!reason.empty()) {
        return 0;
    }
    Check(rows.begins == 1, "Begin not called exactly once");
    Check(rows.rows == pic->DecodedHeight(), "not every row reached the scaler");
    const RgbaPixels image = rows.scaled.Take();
    std::uint32_t fitWidth = 0, fitHeight = 0;
    FittedSize(static_cast<std::uint32_t>(pic->DecodedWidth()),
               static_cast<std::uint32_t>(pic->DecodedHeight()), thumb, fitWidth, fitHeight);
    Check(image.Width == fitWidth && image.Height == fitHeight,
          "scaled size is not the fitted size");
    Check(image.Width >= 1 && image.Height >= 1, "a side of the scaled image is 0");
    Check(thumb == 0 || (image.Width <= std::max<std::uint32_t>(thumb, pic->DecodedWidth()) &&
                         image.Height <= std::max<std::uint32_t>(thumb, pic->DecodedHeight())),
          "scaled image larger than asked");
    Check(image.Pixels.size() == 4 * std::size_t{image.Width} * image.Height,
          "scaled pixel count differs from its size");

    // Scaling the picture decoded whole gives the same pixels.
    auto whole = std::make_unique<IFF_Picture>();
    try {
        if (LoadIffPictureFromMemory(*whole, bytes, "picture.iff", false, limits) != 1) {
            fuzz::Broken("decodes with rows streamed, but not whole");
        }
    } catch (const TambrelError &) {
        // The whole picture's buffers may be beyond the memory allowance the
        // streamed rows kept within.
        return 0;
    }
    // The streamed record keeps no buffers afterwards (no alpha planes to see):
    // the whole one tells whether the picture is transparent.
    Check(image.Transparent == HasTransparency(*whole), "transparency flag differs");
    const RgbaPixels again = ScaledToFit(*whole, thumb);
    Check(again.Width == image.Width && again.Height == image.Height,
          "streamed and whole scaling differ in size");
    Check(std::memcmp(again.Pixels.data(), image.Pixels.data(), image.Pixels.size()) == 0,
          "streamed and whole scaling differ in pixels");
    return 0;
}
