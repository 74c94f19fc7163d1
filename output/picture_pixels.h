#pragma once
// The decoded picture as rows of bytes for the outputs that carry transparency
// (PNG, the thumbnails and the desktop image plugins): palette indices with
// their palette where the picture has one, else red-green-blue with alpha
// where the file defines transparency.
#include "decoder/iff_picture.h"
#include "output/alpha_rule.h"

#include <array>
#include <cstdint>

namespace tambrel {

enum class PixelLayout {
    Indexed, // one palette index per pixel
    Rgb,     // red, green, blue per pixel
    Rgba,    // red, green, blue, alpha per pixel
};

struct PictureLayout {
    PixelLayout Kind = PixelLayout::Rgb;
    // Indexed only: the colours of the 2^Bitplanes entries, 0x00RRGGBB, and the
    // entry the file names transparent (Masking 2); -1 when none.
    std::array<Colour, 256> Palette{};
    int PaletteSize = 0;
    int TransparentIndex = -1;
};

// True when the picture has pixels to hand out: a decoded BODY, a decoded
// width and height of at least 1, within the pixel cap.
bool PixelsAvailable(const IFF_Picture &pic);

// True when the header's transparent colour (Masking 2) makes pixels
// transparent under `rule` (see AlphaRule).
bool TransparentColourApplies(const IFF_Picture &pic, AlphaRule rule = AlphaRule::Auto);

// True when the picture has transparency under `rule`: a mask plane (Masking 1),
// alpha planes (32-plane deep pictures) or a transparent colour that applies.
bool HasTransparency(const IFF_Picture &pic, AlphaRule rule = AlphaRule::Auto);

// How the picture is laid out. Palette pictures (1-8 planes, no hold-and-modify,
// no dynamic palette) are Indexed when every pixel's colour is its palette
// entry's and no mask plane is present; everything else is Rgb, or Rgba when
// HasTransparency. Reads every pixel once for the palette check.
PictureLayout LayoutOf(const IFF_Picture &pic, AlphaRule rule = AlphaRule::Auto);

// Picture row y (0 at the top) into `out`, DecodedWidth pixels. Columns or
// rows the decoded buffers do not hold read as black, opaque, index 0, as in the BMP.
void IndexRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out);
void RgbRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out);
void RgbaRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out,
             AlphaRule rule = AlphaRule::Auto);

// The same rows from the 16-bit samples of a picture that keeps them
// (PixelWide not empty): each sample two bytes, most significant first, as
// PNG stores them. Taken to 8 bits they are the rows above.
void WideRgbRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out);
void WideRgbaRow(const IFF_Picture &pic, std::int32_t y, std::uint8_t *out,
                 AlphaRule rule = AlphaRule::Auto);

} // namespace tambrel
