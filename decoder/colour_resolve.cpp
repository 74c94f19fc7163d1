// Colour resolution: the hold-and-modify tables, and each row's pixel values
// turned into colours.
#include "decoder/iff_loader.h"
#include "decoder/loader_steps.h"

#include <algorithm>

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

void ResolveHamRow(const LoadSession &pic, Colour *row, std::size_t last, const HamMasks &masks) {
    Colour prev = pic.Palette[0];
    for (std::size_t x = 0; x <= last; ++x) {
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

void ResolveRowColours(LoadSession &pic, std::int32_t y) {
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
    switch (pic.DisplayMode) {
    case 1:
        for (std::size_t x = 0; x <= last; ++x) {
            row[x] = palette[row[x] & 255];
        }
        break;
    case 2:
        ResolveHamRow(pic, row, last, HamMasks{15, 0xFFFF00, 0x00FFFF, 0xFF00FF});
        break;
    case 3:
        ResolveHamRow(pic, row, last, HamMasks{63, 0xFFFF03, 0x03FFFF, 0xFF03FF});
        break;
    default:
        break;
    }
}

} // namespace tambrel::loader
