// Deep ILBM rows: 24 or 32 planes of 8-bit components, 48 or 64 of 16-bit
// ones, turned into colours (and alpha) eight pixels at a time.
#include "decoder/loader_steps.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// Sixteen byte columns at a time with SSE2, which every x86-64 processor has.

// The eight planes of one component byte (plane k at `plane + k * stride`),
// byte columns c .. c + 15 at `plane`, as eight 8 x 8 bit matrices turned
// over: out[r] holds columns 2r and 2r + 1, one in each 64-bit half, whose
// byte j is the component of pixel 7 - j (bit k from plane k).
void TransposeGroup(const std::uint8_t *plane, std::size_t stride, __m128i out[8]) {
    __m128i v[8], a[8], b[8];
    for (std::size_t k = 0; k < 8; ++k) {
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(plane + k * stride));
    }
    // Bytes of planes 2i and 2i + 1 side by side: a[2i] columns 0-7, a[2i + 1] 8-15.
    for (int i = 0; i < 4; ++i) {
        a[2 * i] = _mm_unpacklo_epi8(v[2 * i], v[2 * i + 1]);
        a[2 * i + 1] = _mm_unpackhi_epi8(v[2 * i], v[2 * i + 1]);
    }
    // Planes 0-3 (b[0 .. 3]) and 4-7 (b[4 .. 7]) of four columns each.
    for (int h = 0; h < 2; ++h) {
        b[4 * h] = _mm_unpacklo_epi16(a[4 * h], a[4 * h + 2]);
        b[4 * h + 1] = _mm_unpackhi_epi16(a[4 * h], a[4 * h + 2]);
        b[4 * h + 2] = _mm_unpacklo_epi16(a[4 * h + 1], a[4 * h + 3]);
        b[4 * h + 3] = _mm_unpackhi_epi16(a[4 * h + 1], a[4 * h + 3]);
    }
    const __m128i m7 = _mm_set1_epi64x(0x00AA00AA00AA00AA);
    const __m128i m14 = _mm_set1_epi64x(0x0000CCCC0000CCCC);
    const __m128i m28 = _mm_set1_epi64x(0x00000000F0F0F0F0);
    for (int i = 0; i < 4; ++i) {
        // Column 4i + h: byte k of its 64-bit half is plane k's byte.
        __m128i pair[2] = {_mm_unpacklo_epi32(b[i], b[i + 4]), _mm_unpackhi_epi32(b[i], b[i + 4])};
        for (int h = 0; h < 2; ++h) {
            // Bit j of byte k trades places with bit k of byte j, in three
            // rounds of swapping 1 x 1, 2 x 2 and 4 x 4 blocks.
            __m128i x = pair[h];
            __m128i t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 7)), m7);
            x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 7)));
            t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 14)), m14);
            x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 14)));
            t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 28)), m28);
            out[2 * i + h] = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 28)));
        }
    }
}

// 16-bit components (high bytes `high`, low bytes `low`, laid out as
// TransposeGroup leaves them) taken to 8 bits rounded to the nearest, as
// NarrowLanes does, in the same layout.
__m128i NarrowComponents(__m128i high, __m128i low) {
    const __m128i one = _mm_set1_epi16(1), half = _mm_set1_epi16(128);
    auto narrow = [&](__m128i w) {
        const __m128i top = _mm_srli_epi16(w, 8);
        const __m128i round = _mm_and_si128(_mm_srli_epi16(w, 7), one);
        return _mm_srli_epi16(_mm_add_epi16(_mm_sub_epi16(_mm_sub_epi16(w, top), round), half), 8);
    };
    return _mm_packus_epi16(narrow(_mm_unpacklo_epi8(low, high)),
                            narrow(_mm_unpackhi_epi8(low, high)));
}

// Byte columns c .. c + 15 of a deep row into colours (and alpha): 128 pixels.
void DeepColumnsSse2(const std::uint8_t *planes, std::size_t stride, std::size_t groups,
                     std::size_t c, Colour *colours, std::uint8_t *alpha) {
    __m128i parts[8][8];
    for (std::size_t g = 0; g < groups; ++g) {
        TransposeGroup(planes + 8 * g * stride + c, stride, parts[g]);
    }
    const bool wide = groups > 4;
    const std::size_t components = wide ? groups / 2 : groups;
    const __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; ++r) {
        __m128i comp[4];
        for (std::size_t k = 0; k < components; ++k) {
            comp[k] = wide ? NarrowComponents(parts[2 * k][r], parts[2 * k + 1][r]) : parts[k][r];
        }
        // Byte j of each half is pixel 7 - j: each four pixels turned round.
        const __m128i bg[2] = {_mm_unpacklo_epi8(comp[2], comp[1]),
                               _mm_unpackhi_epi8(comp[2], comp[1])};
        const __m128i red[2] = {_mm_unpacklo_epi8(comp[0], zero), _mm_unpackhi_epi8(comp[0], zero)};
        for (int h = 0; h < 2; ++h) {
            auto *out = reinterpret_cast<__m128i *>(colours + 8 * (c + 2 * std::size_t(r) + h));
            _mm_storeu_si128(out, _mm_shuffle_epi32(_mm_unpackhi_epi16(bg[h], red[h]), 0x1B));
            _mm_storeu_si128(out + 1, _mm_shuffle_epi32(_mm_unpacklo_epi16(bg[h], red[h]), 0x1B));
        }
        if (alpha != nullptr) {
            std::uint8_t bytes[16];
            _mm_storeu_si128(reinterpret_cast<__m128i *>(bytes), comp[3]);
            std::uint8_t *at = alpha + 8 * (c + 2 * std::size_t(r));
            for (int i = 0; i < 16; ++i) {
                at[i] = bytes[(i & 8) + 7 - (i & 7)];
            }
        }
    }
}
#endif

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
    const auto rowBytes = static_cast<std::size_t>(pic.RowBytes);
    std::size_t c = 0;
#if defined(__SSE2__)
    // Rows whose 16-bit samples are kept take the column at a time way below.
    if (wide == nullptr && groups >= 3) {
        for (; c + 16 <= rowBytes; c += 16) {
            DeepColumnsSse2(planes, stride, groups, c, colours, alpha);
        }
    }
#endif
    for (; c < rowBytes; ++c) {
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
