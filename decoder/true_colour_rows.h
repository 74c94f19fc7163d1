#pragma once
// What the FORMs that carry true colour in chunks of their own (RGFX, DEEP and
// TVPP, RGB8 and RGBN) share: their buffers under the limits, row progress,
// and each one's chunk reader. Nothing outside decoder/ uses them.
#include "decoder/loader_steps.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tambrel::loader {

// Makes the pixel buffers of a true-colour picture of pic.Width x pic.Height
// (with PixelAlpha when `alpha`, PixelWide when the samples have 16 bits,
// `wide`), the limits checked and the memory claimed first, `extra` bytes the
// reader holds beside them included. Marks the BODY as met: every row not
// written later stays black (and transparent). With
// `streamEnd` (where the body chunk ends; 0 for a reader whose rows do not
// come in order, each once) the rows stream to the load's sink when nothing
// later in the FORM changes them.
void StartTrueColourBody(LoadSession &pic, const DecodeLimits &limits, bool alpha, bool wide,
                         std::uint64_t extra, std::uint64_t streamEnd = 0);
// Picture row y (1 .. Height) is written: handed to the sink when rows stream,
// its progress, and a cancel asked for.
void TrueColourRowDone(LoadSession &pic, std::int32_t y);
// Turns one row's pixel bytes into colours, and alpha when `alpha` is not
// null, and into 16-bit samples when `wide` is not null (PixelWide is kept).
using TrueColourRowFn =
    std::function<void(const std::uint8_t *in, Colour *out, std::uint8_t *alpha, WidePixel *wide)>;
// Picture rows 1 .. Height, with alpha when `alpha`: row y from the `rowBytes`
// bytes at (y - 1) * stride of `data`, bytes past `length` read as 0. Rows
// wholly past the data are all alike: one is converted and copied to the rest
// (their 16-bit samples, all 0 for zero bytes, stay as the buffer starts).
void ConvertTrueColourRows(LoadSession &pic, const std::uint8_t *data, std::uint64_t length,
                           std::uint64_t stride, std::size_t rowBytes, bool alpha,
                           const TrueColourRowFn &convert);
// Refuses the picture's body: nothing is decoded and `reason` says why.
void RefuseTrueColourBody(LoadSession &pic, const std::string &reason);

// A 16-bit channel value in 8 bits, rounded to the nearest.
inline std::uint32_t Narrow16(std::uint32_t value) {
    return (value * 255 + 32767) / 65535;
}
inline std::uint32_t BigEndian32(const std::uint8_t *p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Each reads the chunk `id` of its FORM with ReadPos at its data; false when
// the chunk is not one of its own.
bool ReadRgfxChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                   const DecodeLimits &limits);
bool ReadDeepChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                   const DecodeLimits &limits);
bool ReadRgbnChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                   const DecodeLimits &limits);

} // namespace tambrel::loader
