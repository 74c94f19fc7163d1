#pragma once
// Bodies of the other picture kinds: PBM, deep ILBM, ACBM's ABIT and VDAT chunks.
#include "tests/support/ilbm_writer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tambrel::test {

// PBM BODY: each row Width bytes, padded to an even count, packed as one unit.
Bytes PbmBodyData(const ChunkyImage &img, bool compressed);

// A true-colour picture: 0xAARRGGBB per pixel (alpha with 32 planes only).
struct DeepImage {
    int Width = 0, Height = 0, Planes = 24;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};
DeepImage DeepPattern(int width, int height, int planes, unsigned seed);

// Deep ILBM BODY: planes 0-7 red, 8-15 green, 16-23 blue, 24-31 alpha, then a mask row.
Bytes DeepBodyData(const DeepImage &img, bool compressed, bool maskPlane = false);

// ABIT data, plane after plane; rows of `rowBytes` bytes (0: word-aligned).
Bytes AbitData(const ChunkyImage &img, int rowBytes = 0);

// One VDAT chunk's data: count word (commands + 2 unless given), commands, data words.
Bytes VdatData(std::span<const std::uint8_t> commands, std::span<const std::uint16_t> words,
               std::optional<std::uint16_t> countField = std::nullopt);
// One plane's 16-pixel words in VDAT order: column by column, top to bottom.
std::vector<std::uint16_t> ColumnWords(const ChunkyImage &img, int plane);
// A Packtype 2 BODY: one VDAT chunk per plane; `planes` limits how many.
Bytes VdatBodyData(const ChunkyImage &img, int planes = -1);

// A sub-chunk as it sits inside a BODY: id, size, data, pad byte.
Bytes SubChunk(const std::string &id, const Bytes &data);

} // namespace tambrel::test
