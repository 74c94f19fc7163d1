#pragma once
// Bodies of the other picture kinds, built from pixel values on their own:
// chunky PBM rows, deep 24/32-plane ILBM rows, ACBM's ABIT chunk and VDAT
// chunks (vertical run-length packing).
#include "tests/support/ilbm_writer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tambrel::test {

// PBM BODY: each row Width bytes, padded to an even count, packed as one unit.
Bytes PbmBodyData(const ChunkyImage &img, bool compressed);

// A true-colour picture: 0xAARRGGBB per pixel, rows top to bottom; 24 planes
// carry red, green and blue, 32 planes also alpha.
struct DeepImage {
    int Width = 0, Height = 0, Planes = 24;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};
DeepImage DeepPattern(int width, int height, int planes, unsigned seed);

// Deep ILBM BODY: per row plane rows 0-7 red (plane 0 the lowest bit), 8-15
// green, 16-23 blue, 24-31 alpha, then with `maskPlane` a mask row of ones.
Bytes DeepBodyData(const DeepImage &img, bool compressed, bool maskPlane = false);

// ABIT data: plane 0 whole, then plane 1 ...; plane rows of `rowBytes` bytes,
// 2 x ceil(Width / 16) unless given.
Bytes AbitData(const ChunkyImage &img, int rowBytes = 0);

// One VDAT chunk's data: the count word (commands + 2 unless given), the
// command bytes, the data words.
Bytes VdatData(std::span<const std::uint8_t> commands, std::span<const std::uint16_t> words,
               std::optional<std::uint16_t> countField = std::nullopt);
// One plane's 16-pixel words in VDAT order: column by column, top to bottom.
std::vector<std::uint16_t> ColumnWords(const ChunkyImage &img, int plane);
// A VDAT packing of words: runs of 2-127 as one command byte, longer runs and
// literal stretches over 128 words with a count word, shorter literals as -n.
Bytes PackVertical(std::span<const std::uint16_t> words);
// A Packtype 2 BODY: one VDAT chunk per plane; `planes` limits how many.
Bytes VdatBodyData(const ChunkyImage &img, int planes = -1);

// A sub-chunk as it sits inside a BODY: id, size, data, pad byte.
Bytes SubChunk(const std::string &id, const Bytes &data);

} // namespace tambrel::test
