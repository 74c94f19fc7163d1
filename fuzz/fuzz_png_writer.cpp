// libFuzzer entry: a decoded picture through the PNG writer and the pixel-row
// helpers. The PNG is written into a private folder, read back with libpng and
// compared with the rows the helpers give; then the picture is scaled as a
// thumbnail and written as an RGBA PNG, as the thumbnailer does.
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_harness.h"

#include "common/errors.h"
#include "convert/desktop_read.h"
#include "decoder/decode_limits.h"
#include "decoder/iff_loader.h"
#include "output/atomic_file.h"
#include "output/picture_pixels.h"
#include "output/png_writer.h"

#include <cstring>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tambrel;
using tambrel::fuzz::Check;

const std::string &WorkDir() {
    static const std::string dir = tambrel::fuzz::MakeWorkDir();
    return dir;
}

std::vector<std::uint8_t> ReadAndRemove(const std::string &path) {
    std::vector<std::uint8_t> bytes;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    Check(f != nullptr, "the written PNG is missing");
    std::uint8_t block[65536];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
        bytes.insert(bytes.end(), block, block + n);
    }
    std::fclose(f);
    ::unlink(path.c_str());
    return bytes;
}

// The PNG as 8-bit RGBA, through libpng's own reader; empty when it is no valid
// PNG. A 16-bit PNG is read as it is stored (libpng would otherwise take its
// samples as linear light and re-encode them) and each sample rounded to 8 bits
// as v / 257; libpng hands such colours over multiplied by alpha, so `known`
// (when given) marks the pixels whose colour came through whole: the opaque ones.
std::vector<std::uint8_t> DecodePng(const std::vector<std::uint8_t> &file, std::uint32_t &width,
                                    std::uint32_t &height,
                                    std::vector<std::uint8_t> *known = nullptr) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        return {};
    }
    const bool wide = (image.format & PNG_FORMAT_FLAG_LINEAR) != 0;
    image.format = wide ? PNG_FORMAT_LINEAR_RGB_ALPHA : PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> stored(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, stored.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    width = image.width;
    height = image.height;
    const std::size_t count = std::size_t{width} * height;
    if (known != nullptr) {
        known->assign(count, 1);
    }
    if (!wide) {
        return stored;
    }
    std::vector<std::uint8_t> pixels(4 * count);
    for (std::size_t i = 0; i < 4 * count; ++i) {
        std::uint16_t v = 0;
        std::memcpy(&v, &stored[2 * i], 2);
        pixels[i] = static_cast<std::uint8_t>((std::uint32_t{v} * 255 + 32767) / 65535);
        if (known != nullptr && i % 4 == 3 && v != 65535) {
            (*known)[i / 4] = 0;
        }
    }
    return pixels;
}

DecodeLimits PngLimits() {
    DecodeLimits limits;
    limits.Pixels = std::uint64_t{1} << 17;
    limits.MemoryBytes = std::uint64_t{8} << 20;
    return limits;
}

void CheckPicturePng(const IFF_Picture &pic) {
    const std::string path = WorkDir() + "/out.png";
    WritePngFile(pic, path);
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> known;
    const std::vector<std::uint8_t> png = DecodePng(ReadAndRemove(path), width, height, &known);
    Check(!png.empty(), "the PNG does not read back");
    Check(width == static_cast<std::uint32_t>(pic.DecodedWidth()) &&
              height == static_cast<std::uint32_t>(pic.DecodedHeight()),
          "the PNG's size is not the decoded size");

    // The file holds what the row helpers give: colours always, alpha where the
    // layout carries it per pixel (an indexed PNG marks its transparent entry
    // by index, the rows by colour).
    const PictureLayout layout = LayoutOf(pic);
    const bool sameAlpha = layout.Kind != PixelLayout::Indexed;
    std::vector<std::uint8_t> rgba(4 * std::size_t{width});
    std::vector<std::uint8_t> rgb(3 * std::size_t{width});
    std::vector<std::uint8_t> index(width);
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto row = static_cast<std::int32_t>(y);
        RgbaRow(pic, row, rgba.data());
        RgbRow(pic, row, rgb.data());
        IndexRow(pic, row, index.data());
        const std::uint8_t *got = &png[4 * std::size_t{width} * y];
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t *want = &rgba[4 * std::size_t{x}];
            Check(known[std::size_t{width} * y + x] == 0 ||
                      (got[4 * x] == want[0] && got[4 * x + 1] == want[1] &&
                       got[4 * x + 2] == want[2]),
                  "PNG colour differs from the row helpers");
            Check(rgb[3 * x] == want[0] && rgb[3 * x + 1] == want[1] && rgb[3 * x + 2] == want[2],
                  "RGB and RGBA rows differ");
            Check(!sameAlpha || got[4 * x + 3] == want[3], "PNG alpha differs from the rows");
            if (layout.Kind == PixelLayout::Indexed) {
                Check(index[x] < layout.PaletteSize, "index beyond the palette");
            }
        }
    }
}

void CheckThumbnailPng(const IFF_Picture &pic, std::uint32_t size) {
    RgbaPixels scaled = ScaledToFit(pic, size);
    Check(scaled.Pixels.size() == 4 * std::size_t{scaled.Width} * scaled.Height,
          "scaled image size and pixel count differ");
    Check(scaled.Width >= 1 && scaled.Height >= 1, "scaled image is empty");
    const std::string path = WorkDir() + "/thumb.png";
    {
        AtomicFile out(path);
        WriteRgbaPngTo(out, scaled.Pixels.data(), scaled.Width, scaled.Height, scaled.Transparent);
        out.Commit();
    }
    std::uint32_t width = 0, height = 0;
    const std::vector<std::uint8_t> png = DecodePng(ReadAndRemove(path), width, height);
    Check(!png.empty(), "the thumbnail PNG does not read back");
    Check(width == scaled.Width && height == scaled.Height, "thumbnail PNG size differs");
    for (std::size_t i = 0; i < png.size(); ++i) {
        Check(png[i] == scaled.Pixels[i] || (!scaled.Transparent && i % 4 == 3),
              "thumbnail PNG pixels differ");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    auto pic = std::make_unique<IFF_Picture>();
    try {
        if (LoadIffPictureFromMemory(*pic, bytes, "/fuzz/input.iff", false, PngLimits()) != 1) {
            return 0;
        }
    } catch (const TambrelError &e) {
        if (e.Number != kErrOutOfMemory) {
            throw;
        }
        return 0;
    }
    Check(PngWritable(*pic) == PixelsAvailable(*pic), "PngWritable and PixelsAvailable differ");
    if (!PngWritable(*pic)) {
        const std::string path = WorkDir() + "/none.png";
        WritePngFile(*pic, path);
        struct stat st {};
        Check(::stat(path.c_str(), &st) != 0, "a PNG was written for a picture without pixels");
        return 0;
    }
    CheckPicturePng(*pic);
    CheckThumbnailPng(*pic, 1 + tambrel::fuzz::TailByte(bytes, 0) % 128);
    return 0;
}
