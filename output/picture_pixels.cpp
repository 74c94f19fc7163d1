#include "output/picture_pixels.h"

#include "common/errors.h"

#include <algorithm>
#include <cstring>

namespace tambrel {

namespace {

// Columns of picture row y the buffer of `grid` holds (0 when it holds no such row).
template <typename T>
std::size_t HeldColumns(const PixelGrid<T> &grid, const IFF_Picture &pic, std::int32_t y) {
    if (grid.Empty() || static_cast<std::size_t>(y) + 1 >= grid.Rows()) {
        return 0;
    }
    return std::min(static_cast<std::size_t>(pic.DecodedWidth()), grid.Columns());
}

// Whether the pixel values are palette indices that each stand for one colour.
bool PaletteCandidate(const IFF_Picture &pic) {
    return !pic.IsDeep() && !pic.IsHam() && !pic.HasDynamicPalette() && pic.Bitplanes >= 1 &&
           pic.Bitplanes <= 8 && pic.PixelMask.Empty() && pic.PixelAlpha.Empty() &&
           pic.PixelIndices.Whole() && pic.PixelColours.Whole() &&
           pic.PixelIndices.Columns() >= static_cast<std::size_t>(pic.DecodedWidth()) &&
           pic.PixelColours.Columns() >= static_cast<std::size_t>(pic.DecodedWidth()) &&
           pic.PixelIndices.Rows() > static_cast<std::size_t>(pic.DecodedHeight()) &&
           pic.PixelColours.Rows() > static_cast<std::size_t>(pic.DecodedHeight());
}

// True when every pixel's colour is palette[index] (index below `size`).
bool PixelsMatchPalette(const IFF_Picture &pic, const std::array<Colour, 256> &palette, int size) {
    const auto width = static_cast<std::size_t>(pic.DecodedWidth());
    for (std::int32_t y = 0; y < pic.DecodedHeight(); ++y) {
        const std::uint8_t *indices = pic.IndexRow(y);
        const Colour *colours = pic.ColourRow(y);
        bool match = true;
        for (std::size_t x = 0; x < width; ++x) {
            match &= indices[x] < size && colours[x] == palette[indices[x]];
        }
        if (!match) {
            return false;
        }
    }
    return true;
}

// The palette the pixels themselves show (a CMAP after the BODY may have
// changed the record's palette after the rows were resolved); false when one
// index shows two colours.
bool PaletteFromPixels(const IFF_Picture &pic, std::array<Colour, 256> &palette, int size) {
    std::array<bool, 256> seen{};
    const auto width = static_cast<std::size_t>(pic.DecodedWidth());
    for (std::int32_t y = 0; y < pic.DecodedHeight(); ++y) {
        const std::uint8_t *indices = pic.IndexRow(y);
        const Colour *colours = pic.ColourRow(y);
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t i = indices[x];
            if (i >= size) {
                return false;
            }
            if (!seen[i]) {
                seen[i] = true;
                palette[i] = colours[x];
            } else if (palette[i] != colours[x]) {
                return false;
            }
        }
    }
    return true;
}

// Whether the mask plane, or the transparent colour when it applies
// (`colour`, see TransparentColourApplies), makes the pixel transparent.
bool MaskedOut(const IFF_Picture &pic, std::size_t x, std::size_t row, bool colour) {
    if (!pic.PixelMask.Empty() && pic.PixelMask.ValueAt(x, row) == 0) {
        return true;
    }
    return colour && pic.PixelIndices.Holds(x, row) &&
           pic.PixelIndices(x, row) == pic.TransparentColour;
}

std::uint8_t AlphaAt(const IFF_Picture &pic, std::size_t x, std::size_t row, bool colour) {
    if (MaskedOut(pic, x, row, colour)) {
        return 0;
    }
    return pic.PixelAlpha.Empty() ? 255 : pic.PixelAlpha.ValueAt(x, row);
}

void PutSample(std::uint8_t *&out, std::uint16_t sample) {
    out[0] = static_cast<std::uint8_t>(sample >> 8);
    out[1] = static_cast<std::uint8_t>(sample);
    out += 2;
}

// Row y of PixelWide as samples of two bytes each, with alpha after each
// pixel when `alpha`: the alpha planes' at 16 bits, 0 where the mask plane or
// the transparent colour makes the pixel transparent (as AlphaAt decides).
void WideSamplesRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out, bool alpha,
                    AlphaRule rule) {
    const std::size_t held = HeldColumns(pic.PixelWide, pic, y);
    const auto row = static_cast<std::size_t>(y) + 1;
    const WidePixel *pixels = held > 0 ? pic.WideRow(y) : nullptr;
    const bool transparency = alpha && HasTransparency(pic, rule);
    const bool colour = TransparentColourApplies(pic, rule);
    for (std::size_t x = 0; x < static_cast<std::size_t>(pic.DecodedWidth()); ++x) {
        const WidePixel p = x < held ? pixels[x] : WidePixel{0, 0, 0, 0};
        PutSample(out, p.Red);
        PutSample(out, p.Green);
        PutSample(out, p.Blue);
        if (!alpha) {
            continue;
        }
        std::uint16_t a = 0xFFFF;
        if (transparency && MaskedOut(pic, x, row, colour)) {
            a = 0;
        } else if (transparency && !pic.PixelAlpha.Empty()) {
            a = x < held ? p.Alpha : 0;
        }
        PutSample(out, a);
    }
}

} // namespace

bool PixelsAvailable(const IFF_Picture &pic) {
    return pic.HasBody() && pic.DecodedWidth() >= 1 && pic.DecodedHeight() >= 1 &&
           std::uint64_t(pic.DecodedWidth()) * std::uint64_t(pic.DecodedHeight()) <= kMaxPixels;
}

bool ParseAlphaRule(const std::string &text, AlphaRule &rule) {
    if (text == "auto") {
        rule = AlphaRule::Auto;
    } else if (text == "mask") {
        rule = AlphaRule::Mask;
    } else if (text == "colour" || text == "color") {
        rule = AlphaRule::Colour;
    } else if (text == "none") {
        rule = AlphaRule::None;
    } else {
        return false;
    }
    return true;
}

bool TransparentColourApplies(const IFF_Picture &pic, AlphaRule rule) {
    if (pic.Masking != 2 || pic.IsDeep()) {
        return false;
    }
    // A page size of 0 never exceeds the picture: such a picture fills its page.
    const bool brush = pic.Width < pic.Width2 || pic.Height < pic.Height2;
    return rule == AlphaRule::Colour || (rule == AlphaRule::Auto && brush);
}

bool HasTransparency(const IFF_Picture &pic, AlphaRule rule) {
    if (rule == AlphaRule::None) {
        return false;
    }
    return !pic.PixelMask.Empty() || !pic.PixelAlpha.Empty() || TransparentColourApplies(pic, rule);
}

PictureLayout LayoutOf(const IFF_Picture &pic, AlphaRule rule) {
    PictureLayout layout;
    layout.Kind = HasTransparency(pic, rule) ? PixelLayout::Rgba : PixelLayout::Rgb;
    if (!PixelsAvailable(pic) || !PaletteCandidate(pic)) {
        return layout;
    }
    const int size = 1 << pic.Bitplanes;
    std::array<Colour, 256> palette{};
    std::copy_n(pic.Palette.begin(), size, palette.begin());
    if (!PixelsMatchPalette(pic, palette, size) && !PaletteFromPixels(pic, palette, size)) {
        return layout;
    }
    layout.Kind = PixelLayout::Indexed;
    layout.Palette = palette;
    layout.PaletteSize = size;
    if (TransparentColourApplies(pic, rule) && pic.TransparentColour < size) {
        layout.TransparentIndex = pic.TransparentColour;
    }
    return layout;
}

void IndexRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out) {
    const std::size_t held = HeldColumns(pic.PixelIndices, pic, y);
    if (held > 0) {
        std::memcpy(out, pic.IndexRow(y), held);
    }
    std::fill(out + held, out + pic.DecodedWidth(), std::uint8_t{0});
}

void RgbRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out) {
    const std::size_t held = HeldColumns(pic.PixelColours, pic, y);
    const Colour *colours = held > 0 ? pic.ColourRow(y) : nullptr;
    for (std::size_t x = 0; x < held; ++x, out += 3) {
        out[0] = static_cast<std::uint8_t>(colours[x] >> 16);
        out[1] = static_cast<std::uint8_t>(colours[x] >> 8);
        out[2] = static_cast<std::uint8_t>(colours[x]);
    }
    std::fill(out, out + 3 * (static_cast<std::size_t>(pic.DecodedWidth()) - held),
              std::uint8_t{0});
}

void RgbaRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out, AlphaRule rule) {
    const std::size_t held = HeldColumns(pic.PixelColours, pic, y);
    const auto row = static_cast<std::size_t>(y) + 1; // the buffers' row
    const Colour *colours = held > 0 ? pic.ColourRow(y) : nullptr;
    const bool transparency = HasTransparency(pic, rule);
    const bool colour = TransparentColourApplies(pic, rule);
    for (std::size_t x = 0; x < static_cast<std::size_t>(pic.DecodedWidth()); ++x, out += 4) {
        const Colour c = x < held ? colours[x] : 0;
        out[0] = static_cast<std::uint8_t>(c >> 16);
        out[1] = static_cast<std::uint8_t>(c >> 8);
        out[2] = static_cast<std::uint8_t>(c);
        out[3] = transparency ? AlphaAt(pic, x, row, colour) : 255;
    }
}

void WideRgbRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out) {
    WideSamplesRow(pic, y, out, false, AlphaRule::None);
}

void WideRgbaRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out, AlphaRule rule) {
    WideSamplesRow(pic, y, out, true, rule);
}

} // namespace tambrel
