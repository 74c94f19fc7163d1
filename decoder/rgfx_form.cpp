// FORM RGFX: a header (RGHD), a colour table with an optional transparent
// entry (RCOL) and the pixels (RBOD), stored plain or packed with zlib.
//
// RGHD holds thirteen big-endian longs: left and top edge, width, height,
// page width and height, depth, bits a pixel, bytes a row, compression
// (0 none, 1 XPK, 2 zlib), x and y aspect, and the bitmap type. Rows follow
// one another, each `bytes a row` long. The pixel layouts read here:
//   8 bits:   an index into the RCOL table (depth 1 to 8);
//   24 / 32:  R G B / A R G B, a byte each;
//   48 / 64:  R G B / A R G B, big-endian 16 bits each (kept whole too);
//   96 / 128: R G B / A R G B, big-endian 32-bit floats from 0.0 to 1.0.
// RCOL: a long whose bit 0 says the entry named by the next long is
// transparent, then up to 256 colours as R G B bytes. A zlib RBOD starts with
// the long count of the bytes it unpacks to.
#include "common/text.h"
#include "decoder/pages_ahead.h"
#include "decoder/pixel_grid.h"
#include "decoder/true_colour_rows.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <vector>

namespace tambrel::loader {

namespace {

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionZlib = 2;
// Largest width or height taken, as a BMHD's.
constexpr std::uint32_t kLargestSide = 65535;
constexpr std::uint64_t kMostZlibGrowth = 1032;

void ReadRgfxHeader(LoadSession &pic, std::uint32_t size) {
    AddDebugLine(pic, "[RGHD]");
    std::uint32_t field[13] = {};
    // A short header leaves the fields it does not hold at 0.
    for (std::uint32_t i = 0; i < 13 && 4 * i + 4 <= size; ++i) {
        field[i] = ReadLong(pic);
    }
    pic.Xpos = static_cast<std::int32_t>(field[0]);
    pic.Ypos = static_cast<std::int32_t>(field[1]);
    pic.Width = static_cast<std::int32_t>(std::min(field[2], kLargestSide + 1));
    pic.Height = static_cast<std::int32_t>(std::min(field[3], kLargestSide + 1));
    pic.Width2 = static_cast<std::int32_t>(std::min(field[4], kLargestSide));
    pic.Height2 = static_cast<std::int32_t>(std::min(field[5], kLargestSide));
    pic.Bitplanes = static_cast<std::int32_t>(std::min<std::uint32_t>(field[6], 255));
    pic.OwnHeader.PixelBits = field[7];
    pic.OwnHeader.RowBytes = field[8];
    pic.Packtype = static_cast<std::int32_t>(std::min<std::uint32_t>(field[9], 255));
    pic.XaspectRatio = static_cast<std::int32_t>(std::min<std::uint32_t>(field[10], 255));
    pic.YaspectRatio = static_cast<std::int32_t>(std::min<std::uint32_t>(field[11], 255));
    AddDebugLine(pic, "Width  :" + Decimal(pic.Width));
    AddDebugLine(pic, "Height :" + Decimal(pic.Height));
    AddDebugLine(pic, "PixelBits" + Decimal(field[7]));
    AddDebugLine(pic, "Compression" + Decimal(field[9]));
}

void ReadRgfxColours(LoadSession &pic, std::uint32_t size) {
    AddDebugLine(pic, "Palette Found");
    if (size < 8) {
        return;
    }
    const std::uint32_t flags = ReadLong(pic);
    const std::uint32_t transparent = ReadLong(pic);
    pic.OwnHeader.TransparentIndex = (flags & 1) != 0 && transparent < 256;
    pic.TransparentColour = static_cast<std::int32_t>(transparent & 0xFFFF);
    const std::uint32_t colours = std::min<std::uint32_t>((size - 8) / 3, 256);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint32_t r = ReadByte(pic);
        const std::uint32_t g = ReadByte(pic);
        const std::uint32_t b = ReadByte(pic);
        pic.Palette[i] = pic.FilePalette[i] = r << 16 | g << 8 | b;
    }
}

std::uint32_t FloatChannel(const std::uint8_t *p) {
    const float value = std::bit_cast<float>(BigEndian32(p));
    if (!(value > 0.0f)) {
        return 0; // below 0, or not a number
    }
    return value >= 1.0f ? 255 : static_cast<std::uint32_t>(std::lround(value * 255.0f));
}

std::uint16_t Big16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

// One row of `bits`-bit pixels into colours and alpha, and the samples of
// 48- and 64-bit pixels whole into `wide` (when not null).
void RgfxRow(const LoadSession &pic, const std::uint8_t *in, std::size_t width, Colour *out,
             std::uint8_t *alpha, WidePixel *wide) {
    const std::uint32_t bits = pic.OwnHeader.PixelBits;
    if (bits == 24 && alpha == nullptr) {
        // The common layout on its own, without a choice a pixel.
        for (std::size_t x = 0; x < width; ++x, in += 3) {
            out[x] = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
        }
        return;
    }
    for (std::size_t x = 0; x < width; ++x) {
        std::uint32_t a = 255, r = 0, g = 0, b = 0;
        switch (bits) {
        case 8: {
            const std::uint8_t index = in[x];
            const Colour c = pic.Palette[index];
            r = c >> 16 & 255;
            g = c >> 8 & 255;
            b = c & 255;
            if (pic.OwnHeader.TransparentIndex &&
                index == static_cast<std::uint32_t>(pic.TransparentColour)) {
                a = 0;
            }
            break;
        }
        case 24:
            r = in[3 * x], g = in[3 * x + 1], b = in[3 * x + 2];
            break;
        case 32:
            a = in[4 * x], r = in[4 * x + 1], g = in[4 * x + 2], b = in[4 * x + 3];
            break;
        case 48:
        case 64: {
            // A R G B, or R G B opaque.
            const std::uint8_t *p = in + bits / 8 * x;
            const WidePixel samples =
                bits == 64 ? WidePixel{Big16(p + 2), Big16(p + 4), Big16(p + 6), Big16(p)}
                           : WidePixel{Big16(p), Big16(p + 2), Big16(p + 4), 0xFFFF};
            a = Narrow16(samples.Alpha), r = Narrow16(samples.Red);
            g = Narrow16(samples.Green), b = Narrow16(samples.Blue);
            if (wide != nullptr) {
                wide[x] = samples;
            }
            break;
        }
        case 96:
            r = FloatChannel(in + 12 * x), g = FloatChannel(in + 12 * x + 4);
            b = FloatChannel(in + 12 * x + 8);
            break;
        default: // 128
            a = FloatChannel(in + 16 * x), r = FloatChannel(in + 16 * x + 4);
            g = FloatChannel(in + 16 * x + 8), b = FloatChannel(in + 16 * x + 12);
            break;
        }
        out[x] = r << 16 | g << 8 | b;
        if (alpha != nullptr) {
            alpha[x] = static_cast<std::uint8_t>(a);
        }
    }
}

bool PixelBitsRead(const LoadSession &pic) {
    switch (pic.OwnHeader.PixelBits) {
    case 8:
        return pic.Bitplanes >= 1 && pic.Bitplanes <= 8;
    case 24:
    case 32:
    case 48:
    case 64:
    case 96:
    case 128:
        return true;
    default:
        return false;
    }
}

// Unpacks a zlib RBOD of `size` bytes at ReadPos into `out` (already sized);
// false when the data is damaged. A stream that ends early leaves the rest 0.
bool UnpackZlibBody(LoadSession &pic, std::uint32_t size, ZeroedCells<std::uint8_t> &out) {
    const std::uint64_t start = pic.ReadPos + 4;
    const std::uint64_t end = std::min<std::uint64_t>(pic.ReadPos + size, pic.FileLength);
    if (start > end) {
        return false;
    }
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> unpacker(
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
    if (!unpacker) {
        throw std::bad_alloc();
    }
    std::size_t produced = 0;
    const PagesReadiedAhead ready(out.data(), out.size());
    const libdeflate_result result =
        libdeflate_zlib_decompress(unpacker.get(), pic.FileCache.data() + start, end - start,
                                   out.data(), out.size(), &produced);
    return result == LIBDEFLATE_SUCCESS;
}

void ReadRgfxBody(LoadSession &pic, std::uint32_t size, const DecodeLimits &limits) {
    AddDebugLine(pic, "BodyFound");
    if (!PixelBitsRead(pic)) {
        RefuseTrueColourBody(pic,
                             "RGFX pixels of " + std::to_string(pic.OwnHeader.PixelBits) + " bits");
        return;
    }
    const auto compression = static_cast<std::uint32_t>(pic.Packtype);
    if (compression != kCompressionNone && compression != kCompressionZlib) {
        RefuseTrueColourBody(pic, "RGFX compression " + std::to_string(compression));
        return;
    }
    if (pic.Width > static_cast<std::int32_t>(kLargestSide) ||
        pic.Height > static_cast<std::int32_t>(kLargestSide)) {
        RefuseTrueColourBody(pic, "the header gives a side over 65535 pixels");
        return;
    }
    const auto width = static_cast<std::size_t>(std::max(pic.Width, 0));
    const auto height = static_cast<std::uint64_t>(std::max(pic.Height, 0));
    // Some writers give too few bytes a row; a row is never shorter than its pixels.
    const std::uint64_t pixelBytes = width * pic.OwnHeader.PixelBits / 8;
    const std::uint64_t stride = std::max<std::uint64_t>(pic.OwnHeader.RowBytes, pixelBytes);
    const std::uint32_t bits = pic.OwnHeader.PixelBits;
    const bool alpha =
        bits == 32 || bits == 64 || bits == 128 || (bits == 8 && pic.OwnHeader.TransparentIndex);
    const bool wide = bits == 48 || bits == 64;
    const bool packed = compression == kCompressionZlib;
    // zlib unpacks to at most 1032 times its size: a body the data cannot
    // fill gets no buffer beyond what it can hold (the rest reads as 0). The
    // bytes the file really holds count, not the size the chunk claims.
    const std::uint64_t heldBytes =
        std::min<std::uint64_t>(size, pic.FileLength - std::min(pic.ReadPos, pic.FileLength));
    const std::uint64_t unpackedSize =
        packed ? std::min(stride * height, heldBytes * kMostZlibGrowth + 1024) : 0;
    // The row buffer, and the unpacked body of a zlib RBOD.
    StartTrueColourBody(pic, limits, alpha, wide, pixelBytes + unpackedSize,
                        pic.ReadPos + size + (size & 1));

    // Made by the system already zero: no clearing pass over the body.
    ZeroedCells<std::uint8_t> unpacked;
    const std::uint8_t *data = pic.FileCache.data() + pic.ReadPos;
    std::uint64_t length = heldBytes;
    if (packed) {
        unpacked = ZeroedCells<std::uint8_t>(unpackedSize);
        if (!UnpackZlibBody(pic, size, unpacked)) {
            RefuseTrueColourBody(pic, "the RBOD's zlib data is damaged");
            return;
        }
        data = unpacked.data();
        length = unpacked.size();
    }
    ConvertTrueColourRows(
        pic, data, length, stride, pixelBytes, alpha,
        [&pic, width](const std::uint8_t *in, Colour *out, std::uint8_t *a, WidePixel *wide) {
            RgfxRow(pic, in, width, out, a, wide);
        });
    AddDebugLine(pic, "RBOD Done");
}

} // namespace

bool ReadRgfxChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                   const DecodeLimits &limits) {
    if (id == "RGHD") {
        ReadRgfxHeader(pic, size);
    } else if (id == "RCOL") {
        ReadRgfxColours(pic, size);
    } else if (id == "RBOD") {
        // Only the first body is read.
        if (!pic.HasBody()) {
            ReadRgfxBody(pic, size, limits);
        }
    } else {
        return false;
    }
    return true;
}

} // namespace tambrel::loader
