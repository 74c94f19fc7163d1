#include "thumbnail/thumbnail.h"

#include "common/errors.h"
#include "convert/convert.h"
#include "decoder/iff_loader.h"
#include "output/atomic_file.h"
#include "output/picture_pixels.h"
#include "output/png_writer.h"

#include <algorithm>
#include <memory>

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

RgbaPixels ScaledToFit(const IFF_Picture &pic, std::uint32_t size) {
    const auto width = static_cast<std::uint32_t>(pic.Width);
    const auto height = static_cast<std::uint32_t>(pic.Height);
    RgbaPixels thumb;
    FittedSize(width, height, size, thumb.Width, thumb.Height);
    thumb.Pixels.resize(std::size_t{4} * thumb.Width * thumb.Height);

    // Thumbnail column x takes the picture columns first[x] .. first[x + 1] - 1.
    std::vector<std::uint32_t> first(thumb.Width + 1);
    for (std::uint32_t x = 0; x <= thumb.Width; ++x) {
        first[x] = static_cast<std::uint32_t>(std::uint64_t{x} * width / thumb.Width);
    }
    std::vector<std::uint8_t> row(std::size_t{4} * width);
    // Per thumbnail column: alpha-weighted red, green, blue, then alpha.
    std::vector<std::uint64_t> sums(std::size_t{4} * thumb.Width);
    for (std::uint32_t ty = 0; ty < thumb.Height; ++ty) {
        const auto top = static_cast<std::uint32_t>(std::uint64_t{ty} * height / thumb.Height);
        const auto bottom =
            static_cast<std::uint32_t>(std::uint64_t{ty + 1} * height / thumb.Height);
        std::fill(sums.begin(), sums.end(), 0);
        for (std::uint32_t y = top; y < bottom; ++y) {
            RgbaRow(pic, static_cast<std::int32_t>(y), row.data());
            for (std::uint32_t tx = 0; tx < thumb.Width; ++tx) {
                std::uint64_t *sum = &sums[std::size_t{4} * tx];
                for (std::uint32_t x = first[tx]; x < first[tx + 1]; ++x) {
                    const std::uint8_t *p = &row[std::size_t{4} * x];
                    sum[0] += std::uint32_t{p[0]} * p[3];
                    sum[1] += std::uint32_t{p[1]} * p[3];
                    sum[2] += std::uint32_t{p[2]} * p[3];
                    sum[3] += p[3];
                }
            }
        }
        std::uint8_t *out = &thumb.Pixels[std::size_t{4} * thumb.Width * ty];
        for (std::uint32_t tx = 0; tx < thumb.Width; ++tx, out += 4) {
            const std::uint64_t *sum = &sums[std::size_t{4} * tx];
            const std::uint64_t count = std::uint64_t{bottom - top} * (first[tx + 1] - first[tx]);
            const std::uint64_t alpha = sum[3];
            for (int c = 0; c < 3; ++c) {
                out[c] = alpha ? static_cast<std::uint8_t>((sum[c] + alpha / 2) / alpha) : 0;
            }
            out[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
        }
    }
    return thumb;
}

std::string DecodeForDesktop(IFF_Picture &pic, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxSourceBytes) {
        return "file too large: " + std::to_string(bytes.size()) + " bytes";
    }
    try {
        if (LoadIffPictureFromMemory(pic, bytes, "picture.iff", false) != 1) {
            return NotPictureReason();
        }
    } catch (const TambrelError &e) {
        return e.Description;
    } catch (const std::bad_alloc &) {
        return OutOfMemoryReason("decode the picture");
    }
    return PixelsAvailable(pic) ? std::string() : NothingToWriteReason(pic);
}

void WriteThumbnail(const std::string &input, const std::string &output, std::uint32_t size) {
    auto pic = std::make_unique<IFF_Picture>();
    if (LoadIffPicture(*pic, input, false) != 1) {
        throw TambrelError(kErrDeviceIO, NotPictureReason());
    }
    if (!PixelsAvailable(*pic)) {
        throw TambrelError(kErrDeviceIO, NothingToWriteReason(*pic));
    }
    const RgbaPixels thumb = ScaledToFit(*pic, size);
    const bool alpha = HasTransparency(*pic);
    pic.reset();
    AtomicFile out(output);
    WriteRgbaPngTo(out, thumb.Pixels.data(), thumb.Width, thumb.Height, alpha);
    out.Commit();
}

} // namespace tambrel
