// Colour resolution: plane rows into pixel values, the hold-and-modify
// tables, and each row's pixel values turned into colours.
#include "decoder/iff_loader.h"
#include "decoder/loader_steps.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tambrel::loader {

void BuildHam6Tables(LoadSession &pic) {
    for (std::uint32_t v = 0; v < 64; ++v) {
        const std::uint32_t c = v / 16;
        const std::uint32_t d = v - 16 * c;
        pic.HamControl[v] = c;
        pic.HamBlue[v] = d * 17;
        pic.HamGreen[v] = d * 0x1100;
        pic.HamRed[v] = d * 0x110000;
    }
}

void BuildHam8Tables(LoadSession &pic) {
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t c = v / 64;
        const std::uint32_t d = v - 64 * c;
        pic.HamControl[v] = c;
        pic.HamBlue[v] = d * 4;
        pic.HamGreen[v] = d * 1024;
        pic.HamRed[v] = d * 262144;
    }
}

namespace {

// What a hold-and-modify pixel keeps of the pixel to its left: HAM6 keeps the
// two other components, HAM8 also the low two bits of the one it modifies.
struct HamMasks {
    std::uint32_t lastPlainValue; // values up to this one are plain palette entries
    Colour keepForBlue;
    Colour keepForRed;
    Colour keepForGreen;
};

// Columns before `from` hold 0, a plain entry: they are entry 0, as is the
// pixel left of column 0.
void ResolveHamRow(const LoadSession &pic, Colour *row, std::size_t last, const HamMasks &masks,
                   std::size_t from) {
    Colour prev = pic.Palette[0];
    std::fill(row, row + from, prev);
    for (std::size_t x = from; x <= last; ++x) {
        const std::uint32_t v = row[x] & 255;
        Colour c = pic.Palette[v];
        if (v > masks.lastPlainValue) {
            switch (pic.HamControl[v] & 0xFFFF) {
            case 1:
                c = pic.HamBlue[v] + (prev & masks.keepForBlue);
                break;
            case 3:
                c = pic.HamGreen[v] + (prev & masks.keepForGreen);
                break;
            case 2:
                c = pic.HamRed[v] + (prev & masks.keepForRed);
                break;
            default:
                break;
            }
        }
        row[x] = prev = c;
    }
}

} // namespace

void ResolveRowColours(LoadSession &pic, std::int32_t y, std::size_t zeros) {
    if (pic.DisplayMode < 1 || pic.DisplayMode > 3) {
        return;
    }
    if (y < 0 || static_cast<std::size_t>(y) >= pic.PixelColours.Rows()) {
        return;
    }
    Colour *row = pic.PixelColours.Row(static_cast<std::size_t>(y));
    // Columns 0 .. Width, within the buffer (a later BMHD may have changed Width).
    const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(std::max(pic.Width, 0)),
                                                   pic.PixelColours.Columns() - 1);
    const Table257 &palette = pic.Palette;

    if (pic.DynamicPalette == 1 && pic.DisplayMode != 3) {
        for (std::size_t i = 0; i < 16; ++i) {
            pic.Palette[i] = pic.LinePalettes.ValueAt(i, static_cast<std::size_t>(y - 1));
        }
    }
    loader::ApplyLineChanges(pic, y);
    const std::size_t from = std::min(zeros, last + 1);
    switch (pic.DisplayMode) {
    case 1:
        std::fill(row, row + from, palette[0]);
        for (std::size_t x = from; x <= last; ++x) {
            row[x] = palette[row[x] & 255];
        }
        break;
    case 2:
        ResolveHamRow(pic, row, last, HamMasks{15, 0xFFFF00, 0x00FFFF, 0xFF00FF}, from);
        break;
    case 3:
        ResolveHamRow(pic, row, last, HamMasks{63, 0xFFFF03, 0x03FFFF, 0xFF03FF}, from);
        break;
    default:
        break;
    }
}

// The plane rows into palette indices (and, unless they are left out, the
// colours they resolve to). The byte column c of planes 0-7 (a missing
// plane reads as 0) forms an 8 x 8 bit matrix, plane p in byte p; in its
// transpose, byte j holds bit j of each plane byte, the index of pixel
// 8c + 7 - j with plane p as its bit p.
void PlanarRowToChunky(LoadSession &pic, std::int32_t y) {
    const auto planes = static_cast<std::size_t>(pic.Bitplanes);
    const std::size_t stride = pic.RowPlanes.Columns();
    const std::uint8_t *rows = &pic.RowPlanes(0, 0);
    std::uint8_t *indices = pic.PixelIndices.Row(static_cast<std::size_t>(y));
    const auto columns = static_cast<std::size_t>(pic.RowBytes);
    for (std::size_t c = 0; c < columns; ++c) {
        std::uint64_t m = 0;
        if (planes == 8) {
            for (std::size_t p = 0; p < 8; ++p) {
                m |= std::uint64_t{rows[p * stride + c]} << (8 * p);
            }
        } else {
            for (std::size_t p = 0; p < planes; ++p) {
                m |= std::uint64_t{rows[p * stride + c]} << (8 * p);
            }
        }
        const std::uint64_t t = TransposeBits(m);
        std::uint8_t *out = indices + 8 * c;
        if constexpr (std::endian::native == std::endian::little) {
            // Byte 7 - i is pixel i: the bytes reversed, stored at once.
            const std::uint64_t pixels = ReverseBytes(t);
            std::memcpy(out, &pixels, 8);
        } else {
            for (int i = 0; i < 8; ++i) {
                out[i] = static_cast<std::uint8_t>(t >> (8 * (7 - i)));
            }
        }
    }
    if (pic.ColoursLeftOut) {
        return;
    }
    Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
    for (std::size_t x = 0; x < 8 * columns; ++x) {
        colours[x] = indices[x];
    }
    if (pic.ResolveAtEnd == 0) {
        ResolveRowColours(pic, y);
    }
}

} // namespace tambrel::loader
