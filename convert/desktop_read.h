#pragma once
// Pictures for readers that live inside other programs (the thumbnailer, the
// gdk-pixbuf loader, the Qt image plugin): decoded under a desktop-sized
// allowance, rows handed on as they are decoded, never the whole picture held
// twice.
#include "decoder/decode_limits.h"
#include "decoder/iff_picture.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tambrel {

// An image of 4 bytes per pixel (red, green, blue, alpha), rows top to bottom.
struct RgbaPixels {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::vector<std::uint8_t> Pixels;
    bool Transparent = false; // the picture defines transparency
};

// The size of the picture scaled to fit size x size with its aspect kept;
// pictures that fit already keep their size. Each side is at least 1.
void FittedSize(std::uint32_t width, std::uint32_t height, std::uint32_t size,
                std::uint32_t &fitWidth, std::uint32_t &fitHeight);

// Scales rows as they come to fit size x size. Each scaled pixel is the mean
// of the picture pixels whose centres fall into it (a box filter), weighted by
// their alpha, so the many pixels of a large picture all count and transparent
// ones lend no colour. Holds one picture row and one scaled row of sums.
class ScaledRows : public RowSink {
  public:
    explicit ScaledRows(std::uint32_t size) : size_(size) {}
    void Begin(const IFF_Picture &pic) override;
    void TakeRow(const IFF_Picture &pic, std::int32_t y) override;
    // The scaled image once every row has come.
    RgbaPixels Take();

  private:
    void FlushRow();

    std::uint32_t size_;
    std::uint32_t width_ = 0, height_ = 0;
    std::uint32_t row_ = 0; // the scaled row being summed
    RgbaPixels out_;
    std::vector<std::uint32_t> first_; // scaled column x takes picture columns first_[x] ..
    std::vector<std::uint8_t> line_;
    std::vector<std::uint64_t> sums_; // per scaled column: alpha-weighted red, green, blue, alpha
};

// A whole picture scaled the same way, from a decoded record.
RgbaPixels ScaledToFit(const IFF_Picture &pic, std::uint32_t size);

// Decodes a picture held in memory under `limits` into `sink`; `pic` keeps the
// header facts. Empty when the sink has had every row, else why not, in the
// words every front end uses. Never throws.
std::string DecodeForDesktop(IFF_Picture &pic, std::span<const std::uint8_t> bytes, RowSink &sink,
                             const DecodeLimits &limits = DesktopLimits());

// The same for a file.
std::string DecodeFileForDesktop(IFF_Picture &pic, const std::string &path, RowSink &sink,
                                 const DecodeLimits &limits = DesktopLimits());

} // namespace tambrel
