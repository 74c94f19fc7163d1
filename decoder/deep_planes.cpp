// Deep ILBM rows: 24 or 32 planes of 8-bit components, 48 or 64 of 16-bit
// ones, turned into colours (and alpha) eight pixels at a time.
#include "decoder/loader_steps.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tambrel::loader {

namespace {

// Byte j of entry b is bit j of b: the eight bits of a plane byte spread to
// the low bits of eight bytes, so that eight planes' spreads, each shifted by
// its plane's place, OR together into the 8 x 8 transpose.
constexpr auto kSpreadBits = [] {
    std::array<std::uint64_t, 256> table{};
    for (std::size_t b = 0; b < 256; ++b) {
        for (int j = 0; j < 8; ++j) {
            table[b] |= std::uint64_t{(b >> j) & 1} << (8 * j);
        }
    }
    return table;
}();

// The 16-bit samples of the eight pixels of one byte column (high byte of
// component k in parts[2k], low byte in parts[2k + 1], pixel 7 - j in byte j),
// kept whole before they are taken to 8 bits; alpha 65535 without alpha planes.
void KeepWideSamples(const std::uint64_t *parts, std::size_t groups, WidePixel *out) {
    for (int i = 0; i < 8; ++i) {
        const int shift = 8 * (7 - i);
        auto sample = [&](std::size_t k) {
            if (2 * k + 1 >= groups) {
                return std::uint16_t{0xFFFF};
            }
            return static_cast<std::uint16_t>((parts[2 * k] >> shift & 255) << 8 |
                                              (parts[2 * k + 1] >> shift & 255));
        };
        out[i] = WidePixel{sample(0), sample(1), sample(2), sample(3)};
    }
}

// Four 16-bit values, one in each 16-bit lane, taken to 8 bits rounded to the
// nearest (v / 257): (v + 128 - ((v + 128) >> 8)) >> 8, where (v + 128) >> 8
// is the high byte plus 1 when the low byte is 128 or more. Written so that no
// lane ever borrows from or carries into the next: v - high - 1 >= 0 whenever
// the low byte is 128 or more, and the sum stays below 65408.
std::uint64_t NarrowLanes(std::uint64_t words) {
    constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FF;
    const std::uint64_t high = words >> 8 & kLowBytes;
    const std::uint64_t half = words >> 7 & 0x0001000100010001;
    return (words - high - half + 0x0080008000800080) >> 8 & kLowBytes;
}

// 16-bit components (high byte parts[2k], low byte parts[2k + 1]) into 8-bit
// ones in parts[k], rounded to the nearest; the even byte lanes and the odd
// ones are narrowed in two steps of four.
void WideComponents(std::uint64_t *parts, std::size_t groups) {
    constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FF;
    for (std::size_t k = 0; 2 * k + 1 < groups; ++k) {
        const std::uint64_t high = parts[2 * k], low = parts[2 * k + 1];
        const std::uint64_t even = (high & kLowBytes) << 8 | (low & kLowBytes);
        const std::uint64_t odd = (high >> 8 & kLowBytes) << 8 | (low >> 8 & kLowBytes);
        parts[k] = NarrowLanes(even) | NarrowLanes(odd) << 8;
    }
}

} // namespace

// A deep row into colours 0x00RRGGBB (and alpha): plane p's row starts at
// planes + p * stride; planes 0-7 give red (plane 0 the lowest bit), 8-15
// green, 16-23 blue, 24-31 alpha. Eight planes of one byte column form an
// 8 x 8 bit matrix whose transpose holds one pixel's component in each byte.
// With 48 or 64 planes each component has 16 planes: red 0-15 (planes 0-7
// its high byte, 8-15 its low byte), green 16-31 ..., taken to 8 bits rounded
// and kept whole in PixelWide.
void DeepRowToColours(LoadSession &pic, std::int32_t y, const std::uint8_t *planes,
                      std::size_t stride) {
    const std::size_t groups = static_cast<std::size_t>(pic.Bitplanes / 8);
    Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
    std::uint8_t *alpha =
        HasAlphaPlanes(pic) ? pic.PixelAlpha.Row(static_cast<std::size_t>(y)) : nullptr;
    WidePixel *wide =
        pic.PixelWide.Empty() ? nullptr : pic.PixelWide.Row(static_cast<std::size_t>(y));
    for (std::size_t c = 0; c < static_cast<std::size_t>(pic.RowBytes); ++c) {
        std::uint64_t parts[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (std::size_t g = 0; g < groups; ++g) {
            // Plane 8g + k's byte, spread one bit to a byte, gives bit k of each byte.
            const std::uint8_t *column = planes + 8 * g * stride + c;
            auto at = [column, stride](std::size_t k) {
                return kSpreadBits[column[k * stride]] << k;
            };
            parts[g] = at(0) | at(1) | at(2) | at(3) | at(4) | at(5) | at(6) | at(7);
        }
        if (groups > 4) {
            if (wide != nullptr) {
                KeepWideSamples(parts, groups, wide + 8 * c);
            }
            WideComponents(parts, groups);
        }
        // Byte j of a transpose holds bit j of the plane bytes: pixel 7 - j.
        Colour *out = colours + 8 * c;
        for (int i = 0; i < 8; ++i) {
            const int shift = 8 * (7 - i);
            out[i] =
                static_cast<Colour>(((parts[0] >> shift) & 255) << 16 |
                                    ((parts[1] >> shift) & 255) << 8 | ((parts[2] >> shift) & 255));
        }
        if (alpha != nullptr) {
            for (int i = 0; i < 8; ++i) {
                alpha[8 * c + static_cast<std::size_t>(i)] =
                    static_cast<std::uint8_t>(parts[3] >> (8 * (7 - i)));
            }
        }
    }
}

} // namespace tambrel::loader
