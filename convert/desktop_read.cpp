#include "convert/desktop_read.h"

#include "convert/convert.h"
#include "decoder/iff_loader.h"
#include "output/picture_pixels.h"

#include <algorithm>
#include <functional>
#include <new>

namespace tambrel {

void FittedSize(std::uint32_t width, std::uint32_t height, std::uint32_t size,
                std::uint32_t &fitWidth, std::uint32_t &fitHeight) {
    const std::uint64_t longer = std::max(width, height);
    if (longer <= size) {
        fitWidth = width;
        fitHeight = height;
        return;
    }
    // Rounded to the nearest whole pixel.
    fitWidth = static_cast<std::uint32_t>(
        std::max<std::uint64_t>(1, (2ull * width * size + longer) / (2 * longer)));
    fitHeight = static_cast<std::uint32_t>(
        std::max<std::uint64_t>(1, (2ull * height * size + longer) / (2 * longer)));
}

void ScaledRows::Begin(const IFF_Picture &pic) {
    width_ = static_cast<std::uint32_t>(std::max(pic.DecodedWidth(), 0));
    height_ = static_cast<std::uint32_t>(std::max(pic.DecodedHeight(), 0));
    out_ = RgbaPixels();
    out_.Transparent = HasTransparency(pic);
    if (width_ == 0 || height_ == 0) {
        width_ = height_ = 0; // nothing to scale: no row is taken
    }
    FittedSize(width_, height_, size_, out_.Width, out_.Height);
    out_.Pixels.assign(std::size_t{4} * out_.Width * out_.Height, 0);
    first_.resize(out_.Width + 1);
    for (std::uint32_t x = 0; x <= out_.Width; ++x) {
        first_[x] =
            static_cast<std::uint32_t>(std::uint64_t{x} * width_ / std::max(out_.Width, 1u));
    }
    line_.assign(std::size_t{4} * width_, 0);
    sums_.assign(std::size_t{4} * out_.Width, 0);
    row_ = 0;
}

void ScaledRows::TakeRow(const IFF_Picture &pic, std::int32_t y) {
    if (out_.Width == 0 || static_cast<std::uint32_t>(y) >= height_) {
        return;
    }
    const auto bottom = [&](std::uint32_t ty) {
        return static_cast<std::uint32_t>(std::uint64_t{ty + 1} * height_ / out_.Height);
    };
    while (row_ < out_.Height && static_cast<std::uint32_t>(y) >= bottom(row_)) {
        FlushRow();
    }
    RgbaRow(pic, y, line_.data());
    for (std::uint32_t tx = 0; tx < out_.Width; ++tx) {
        std::uint64_t *sum = &sums_[std::size_t{4} * tx];
        for (std::uint32_t x = first_[tx]; x < first_[tx + 1]; ++x) {
            const std::uint8_t *p = &line_[std::size_t{4} * x];
            sum[0] += std::uint32_t{p[0]} * p[3];
            sum[1] += std::uint32_t{p[1]} * p[3];
            sum[2] += std::uint32_t{p[2]} * p[3];
            sum[3] += p[3];
        }
    }
}

void ScaledRows::FlushRow() {
    const auto top = static_cast<std::uint32_t>(std::uint64_t{row_} * height_ / out_.Height);
    const auto bottom = static_cast<std::uint32_t>(std::uint64_t{row_ + 1} * height_ / out_.Height);
    std::uint8_t *out = &out_.Pixels[std::size_t{4} * out_.Width * row_];
    for (std::uint32_t tx = 0; tx < out_.Width; ++tx, out += 4) {
        const std::uint64_t *sum = &sums_[std::size_t{4} * tx];
        const std::uint64_t count = std::uint64_t{bottom - top} * (first_[tx + 1] - first_[tx]);
        const std::uint64_t alpha = sum[3];
        for (int c = 0; c < 3; ++c) {
            out[c] = alpha ? static_cast<std::uint8_t>((sum[c] + alpha / 2) / alpha) : 0;
        }
        out[3] = count ? static_cast<std::uint8_t>((alpha + count / 2) / count) : 0;
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    ++row_;
}

RgbaPixels ScaledRows::Take() {
    while (row_ < out_.Height) {
        FlushRow();
    }
    return std::move(out_);
}

RgbaPixels ScaledToFit(const IFF_Picture &pic, std::uint32_t size) {
    ScaledRows scaled(size);
    scaled.Begin(pic);
    for (std::int32_t y = 0; y < pic.DecodedHeight(); ++y) {
        scaled.TakeRow(pic, y);
    }
    return scaled.Take();
}

namespace {

std::string Decode(IFF_Picture &pic, const std::function<int()> &load) {
    try {
        if (load() != 1) {
            return NotPictureReason();
        }
    } catch (const TambrelError &e) {
        return DescribeFailure(e.Number, e.Description);
    } catch (const std::bad_alloc &) {
        return OutOfMemoryReason("decode the picture");
    }
    return PixelsAvailable(pic) ? std::string() : NothingToWriteReason(pic);
}

} // namespace

std::string DecodeForDesktop(IFF_Picture &pic, std::span<const std::uint8_t> bytes, RowSink &sink,
                             const DecodeLimits &limits) {
    return Decode(pic, [&] {
        return LoadIffPictureFromMemory(pic, bytes, "picture.iff", false, limits, &sink);
    });
}

std::string DecodeFileForDesktop(IFF_Picture &pic, const std::string &path, RowSink &sink,
                                 const DecodeLimits &limits) {
    return Decode(pic, [&] { return LoadIffPicture(pic, path, false, limits, &sink); });
}

} // namespace tambrel
