#include "output/png_writer.h"

#include "common/errors.h"
#include "output/atomic_file.h"
#include "output/picture_pixels.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tambrel {

bool PngWritable(const IFF_Picture &pic) {
    return pic.HasBody() && pic.DecodedWidth() >= 1 && pic.DecodedHeight() >= 1;
}

namespace {

void PutU32(std::vector<std::uint8_t> &out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A profile name as a PNG keyword wants it: 1 to 79 printable Latin-1
// characters, no space at either end nor two together.
std::string ProfileName(const std::string &name) {
    std::string kept;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        const bool printable = (c > 0x20 && c < 0x7F) || c >= 0xA1;
        if (printable || (c == ' ' && !kept.empty() && kept.back() != ' ')) {
            kept += ch;
        }
    }
    while (!kept.empty() && kept.back() == ' ') {
        kept.pop_back();
    }
    kept.resize(std::min<std::size_t>(kept.size(), 79));
    while (!kept.empty() && kept.back() == ' ') {
        kept.pop_back();
    }
    return kept.empty() ? "ICC profile" : kept;
}

// iCCP: the profile's name, a NUL, compression method 0 and the profile as a
// zlib stream. Only a profile that says it is whole (its size field), is one
// ("acsp" at 36) and describes RGB colours (what every PNG written here holds)
// goes in; anything else is left out, never fatal.
void AddProfile(PngImage &image, const PictureMetadata &meta) {
    const std::vector<std::uint8_t> &icc = meta.IccProfile;
    if (icc.size() < 132 ||
        (std::uint32_t{icc[0]} << 24 | icc[1] << 16 | icc[2] << 8 | icc[3]) != icc.size() ||
        std::memcmp(icc.data() + 36, "acsp", 4) != 0 ||
        std::memcmp(icc.data() + 16, "RGB ", 4) != 0) {
        return;
    }
    const std::string name = ProfileName(meta.IccName);
    PngChunk chunk{"iCCP", std::vector<std::uint8_t>(name.begin(), name.end())};
    chunk.Data.push_back(0);
    chunk.Data.push_back(0);
    const std::size_t at = chunk.Data.size();
    // libpng passes over an iCCP chunk of less than 92 bytes (it wants 11
    // after the 81 that may hold the name): a profile that packs so small
    // goes in as stored zlib blocks instead, which are never that short.
    for (const int level : {Z_BEST_COMPRESSION, Z_NO_COMPRESSION}) {
        uLongf packed = compressBound(static_cast<uLong>(icc.size()));
        chunk.Data.resize(at + packed);
        if (compress2(chunk.Data.data() + at, &packed, icc.data(), static_cast<uLong>(icc.size()),
                      level) != Z_OK) {
            return;
        }
        chunk.Data.resize(at + packed);
        if (chunk.Data.size() >= 92) {
            image.Extra.push_back(std::move(chunk));
            return;
        }
    }
}

// Pixels per unit across and down for pHYs, and its unit (1: the metre, 0:
// the ratio only), from the first of these that the picture gives:
//   - a "DPI " chunk of two non-zero values up to 10000: dots per inch as
//     pixels per metre (1 inch = 0.0254 m, rounded: 72 dpi is 2835);
//   - the header's aspect XaspectRatio:YaspectRatio, a pixel's width to its
//     height, when both are given: pHYs counts pixels per unit, so the wider
//     the pixel, the fewer of them across a unit; x gets YaspectRatio and y
//     XaspectRatio;
//   - with no aspect in the header (a 0 in either), the CAMG display mode on
//     the default, PAL or NTSC monitor, whose pixels are near enough square in
//     low resolution without interlace: high resolution halves a pixel's
//     width, super-high resolution quarters it, interlace halves its height
//     (high resolution 1:2, interlaced low resolution 2:1). Other monitors
//     (productivity, scan-doubled ...) shape their pixels otherwise: no guess.
// False when the pixels are square or nothing tells.
bool PixelShape(const IFF_Picture &pic, std::uint32_t &across, std::uint32_t &down,
                std::uint8_t &unit) {
    const PictureMetadata &meta = pic.Metadata;
    if (meta.DpiX > 0 && meta.DpiY > 0 && meta.DpiX <= 10000 && meta.DpiY <= 10000) {
        across = (meta.DpiX * 10000 + 127) / 254;
        down = (meta.DpiY * 10000 + 127) / 254;
        unit = 1;
        return true;
    }
    unit = 0;
    if (pic.XaspectRatio > 0 && pic.YaspectRatio > 0) {
        across = static_cast<std::uint32_t>(pic.YaspectRatio);
        down = static_cast<std::uint32_t>(pic.XaspectRatio);
        return across != down;
    }
    constexpr std::uint32_t kHires = 0x8000, kSuperHires = 0x0020, kLace = 0x0004;
    constexpr std::uint32_t kMonitorMask = 0xFFFF1000, kNtsc = 0x00011000, kPal = 0x00021000;
    const std::uint32_t monitor = pic.ModeId & kMonitorMask;
    if (monitor != 0 && monitor != kNtsc && monitor != kPal) {
        return false;
    }
    // A pixel's width and height in quarters of a low-resolution pixel's width
    // and halves of a non-interlaced line.
    const std::uint32_t width = (pic.ModeId & kSuperHires) != 0 ? 1
                                : (pic.ModeId & kHires) != 0    ? 2
                                                                : 4;
    const std::uint32_t height = (pic.ModeId & kLace) != 0 ? 2 : 4;
    const std::uint32_t common = std::min(width, height);
    across = height / common;
    down = width / common;
    return across != down;
}

} // namespace

void AddPictureChunks(PngImage &image, const IFF_Picture &pic) {
    std::uint32_t across = 0, down = 0;
    std::uint8_t unit = 0;
    if (PixelShape(pic, across, down, unit)) {
        PngChunk phys{"pHYs", {}};
        PutU32(phys.Data, across);
        PutU32(phys.Data, down);
        phys.Data.push_back(unit);
        image.Extra.push_back(std::move(phys));
    }
    AddProfile(image, pic.Metadata);
    // eXIf holds a TIFF structure, which starts with its byte order mark.
    const std::vector<std::uint8_t> &exif = pic.Metadata.Exif;
    if (exif.size() >= 8 &&
        (std::memcmp(exif.data(), "MM\0*", 4) == 0 || std::memcmp(exif.data(), "II*\0", 4) == 0)) {
        image.Extra.push_back(PngChunk{"eXIf", exif});
    }
    static const char *const kKeywords[] = {"Title", "Author", "Copyright", "Description"};
    for (const PictureText &text : pic.Metadata.Texts) {
        const std::string keyword = kKeywords[static_cast<int>(text.Kind)];
        PngChunk chunk{"tEXt", std::vector<std::uint8_t>(keyword.begin(), keyword.end())};
        chunk.Data.push_back(0);
        chunk.Data.insert(chunk.Data.end(), text.Text.begin(), text.Text.end());
        image.Extra.push_back(std::move(chunk));
    }
    // The XMP packet as the keyword XMP readers look for: iTXt, uncompressed,
    // no language and no translated keyword.
    if (!pic.Metadata.Xmp.empty()) {
        // Keyword, NUL, compression flag and method 0, empty language and
        // translated keyword (each NUL-ended), then the text.
        const std::string data = "XML:com.adobe.xmp" + std::string(5, '\0') + pic.Metadata.Xmp;
        image.Extra.push_back(
            PngChunk{"iTXt", std::vector<std::uint8_t>(data.begin(), data.end())});
    }
}

void WritePngTo(AtomicFile &out, const IFF_Picture &pic, PngLevel level, AlphaRule rule) {
    if (!PixelsAvailable(pic)) {
        throw TambrelError(kErrOutOfMemory, "Picture too large for a PNG file: " +
                                                std::to_string(pic.DecodedWidth()) + " x " +
                                                std::to_string(pic.DecodedHeight()) + " pixels");
    }
    const PictureLayout layout = LayoutOf(pic, rule);
    PngImage image;
    image.Width = static_cast<std::uint32_t>(pic.DecodedWidth());
    image.Height = static_cast<std::uint32_t>(pic.DecodedHeight());
    image.FromLeft = pic.IsHam();
    switch (layout.Kind) {
    case PixelLayout::Indexed:
        image.Colour = PngColour::Palette;
        for (int i = 0; i < layout.PaletteSize; ++i) {
            const Colour c = layout.Palette[static_cast<std::size_t>(i)];
            image.Palette.push_back(static_cast<std::uint8_t>(c >> 16));
            image.Palette.push_back(static_cast<std::uint8_t>(c >> 8));
            image.Palette.push_back(static_cast<std::uint8_t>(c));
        }
        // The shortest tRNS: opaque entries up to the transparent one.
        if (layout.TransparentIndex >= 0) {
            image.Trans.assign(static_cast<std::size_t>(layout.TransparentIndex) + 1, 255);
            image.Trans.back() = 0;
        }
        image.FillRow = [&pic](std::uint32_t y, std::uint8_t *row) {
            IndexRow(pic, static_cast<std::int32_t>(y), row);
        };
        break;
    case PixelLayout::Rgb:
        image.FillRow = [&pic](std::uint32_t y, std::uint8_t *row) {
            RgbRow(pic, static_cast<std::int32_t>(y), row);
        };
        break;
    case PixelLayout::Rgba:
        image.Colour = PngColour::Rgba;
        image.FillRow = [&pic, rule](std::uint32_t y, std::uint8_t *row) {
            RgbaRow(pic, static_cast<std::int32_t>(y), row, rule);
        };
        break;
    }
    // A picture stored with 16 bits a sample keeps them all.
    if (layout.Kind != PixelLayout::Indexed && !pic.PixelWide.Empty()) {
        image.BitDepth = 16;
        const bool alpha = layout.Kind == PixelLayout::Rgba;
        image.FillRow = [&pic, rule, alpha](std::uint32_t y, std::uint8_t *row) {
            if (alpha) {
                WideRgbaRow(pic, static_cast<std::int32_t>(y), row, rule);
            } else {
                WideRgbRow(pic, static_cast<std::int32_t>(y), row);
            }
        };
    }
    AddPictureChunks(image, pic);
    EncodePng(out, image, level);
}

void WritePngFile(const IFF_Picture &pic, const std::string &fileName, PngLevel level) {
    if (!PngWritable(pic)) {
        return;
    }
    AtomicFile out(fileName);
    WritePngTo(out, pic, level);
    out.Commit();
}

void WriteRgbaPngTo(AtomicFile &out, const std::uint8_t *rgba, std::uint32_t width,
                    std::uint32_t height, bool alpha) {
    PngImage image;
    image.Width = width;
    image.Height = height;
    image.Colour = alpha ? PngColour::Rgba : PngColour::Rgb;
    image.FillRow = [rgba, width, alpha](std::uint32_t y, std::uint8_t *row) {
        const std::uint8_t *in = rgba + std::size_t{4} * width * y;
        if (alpha) {
            std::copy(in, in + std::size_t{4} * width, row);
            return;
        }
        for (std::uint32_t x = 0; x < width; ++x, in += 4, row += 3) {
            row[0] = in[0];
            row[1] = in[1];
            row[2] = in[2];
        }
    };
    EncodePng(out, image, PngLevel::Default);
}

} // namespace tambrel
