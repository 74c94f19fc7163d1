// The 4096 x 4096 benchmark pictures of the true-colour FORMs, the 48-plane
// ILBM and an ILBM with a palette change on every line. Their colours come
// from three differently seeded tile patterns (flat, gradient, stripes, noise).
#include "bench/bench_pictures.h"

#include "tests/support/form_writer.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace tambrel::bench {

namespace {

using tambrel::test::Bytes;
using tambrel::test::IlbmBuilder;

constexpr int kSide = kLargeSide;

void PutLong(Bytes &out, std::uint32_t v) {
    tambrel::test::PutWord(out, v >> 16);
    tambrel::test::PutWord(out, v & 0xFFFF);
}

// 0x00RRGGBB of every pixel, rows top to bottom.
std::vector<std::uint32_t> RgbPixels() {
    return TrueColourPattern(kSide, kSide).Pixels;
}

// The pixels as rows of red, green, blue bytes.
Bytes RgbBytes(const std::vector<std::uint32_t> &pixels) {
    Bytes out;
    out.reserve(pixels.size() * 3);
    for (std::uint32_t c : pixels) {
        out.insert(out.end(), {static_cast<std::uint8_t>(c >> 16),
                               static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
    }
    return out;
}

// A zlib RBOD: the unpacked size, then the zlib stream.
Bytes ZlibBody(const Bytes &data) {
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> packer(
        libdeflate_alloc_compressor(6), &libdeflate_free_compressor);
    if (!packer) {
        throw std::runtime_error("no zlib compressor");
    }
    Bytes out;
    PutLong(out, static_cast<std::uint32_t>(data.size()));
    out.resize(4 + libdeflate_zlib_compress_bound(packer.get(), data.size()));
    out.resize(4 + libdeflate_zlib_compress(packer.get(), data.data(), data.size(), out.data() + 4,
                                            out.size() - 4));
    return out;
}

Bytes Rgfx(bool zlib) {
    Bytes header;
    for (std::uint32_t v :
         {0u, 0u, std::uint32_t{kSide}, std::uint32_t{kSide}, std::uint32_t{kSide},
          std::uint32_t{kSide}, 24u, 24u, std::uint32_t{kSide} * 3, zlib ? 2u : 0u, 1u, 1u, 0u}) {
        PutLong(header, v);
    }
    const Bytes rgb = RgbBytes(RgbPixels());
    return IlbmBuilder()
        .FormType("RGFX")
        .Chunk("RGHD", header)
        .Chunk("RBOD", zlib ? ZlibBody(rgb) : rgb)
        .Build();
}

Bytes Deep(bool runLength) {
    Bytes globals, elements, location;
    for (int w : {kSide, kSide, runLength ? 1 : 0}) {
        tambrel::test::PutWord(globals, static_cast<std::uint32_t>(w));
    }
    globals.insert(globals.end(), {1, 1});
    PutLong(elements, 3);
    for (std::uint32_t kind : {1u, 2u, 3u}) {
        PutLong(elements, kind << 16 | 8);
    }
    for (int w : {kSide, kSide, 0, 0}) {
        tambrel::test::PutWord(location, static_cast<std::uint32_t>(w));
    }
    const Bytes rgb = RgbBytes(RgbPixels());
    Bytes body;
    if (runLength) {
        const std::size_t row = std::size_t{kSide} * 3;
        for (std::size_t at = 0; at < rgb.size(); at += row) {
            tambrel::test::AppendRow(body, Bytes(rgb.begin() + at, rgb.begin() + at + row), true);
        }
    }
    return IlbmBuilder()
        .FormType("DEEP")
        .Chunk("DGBL", globals)
        .Chunk("DPEL", elements)
        .Chunk("DLOC", location)
        .Chunk("DBOD", runLength ? body : rgb)
        .Build();
}

// RGB8 runs: red, green, blue, a count of up to 127; RGBN runs: a word of
// 4-bit red, green, blue, the genlock bit and a count of up to 7, or count 0
// and a byte count of up to 255. Runs end at each row's end.
Bytes RunLength(bool wide) {
    const std::vector<std::uint32_t> pixels = RgbPixels();
    const std::uint32_t keep = wide ? 0xFFFFFF : 0xF0F0F0;
    const std::size_t longest = wide ? 127 : 255;
    Bytes body;
    for (std::size_t row = 0; row < pixels.size(); row += kSide) {
        for (std::size_t x = 0; x < std::size_t{kSide};) {
            const std::uint32_t c = pixels[row + x] & keep;
            std::size_t n = 1;
            while (x + n < std::size_t{kSide} && n < longest && (pixels[row + x + n] & keep) == c) {
                ++n;
            }
            if (wide) {
                body.insert(body.end(),
                            {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                             static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(n)});
            } else {
                const std::uint32_t word =
                    (c >> 20 & 15) << 12 | (c >> 12 & 15) << 8 | (c >> 4 & 15) << 4;
                tambrel::test::PutWord(body, word | (n <= 7 ? n : 0));
                if (n > 7) {
                    body.push_back(static_cast<std::uint8_t>(n));
                }
            }
            x += n;
        }
    }
    tambrel::test::BmhdFields f =
        tambrel::test::HeaderFor(tambrel::test::ChunkyImage(kSide, kSide, 1), false);
    f.Bitplanes = wide ? 25 : 13;
    f.Packtype = 4;
    return IlbmBuilder().FormType(wide ? "RGB8" : "RGBN").Bmhd(f).Body(body).Build();
}

// 48 planes, ByteRun1: planes 16c .. 16c + 15 hold component c (red, green,
// blue) as 16 bits, its 8-bit value in both bytes.
Bytes Ilbm48() {
    const std::vector<std::uint32_t> pixels = RgbPixels();
    const std::size_t rowBytes = kSide / 8;
    Bytes body, plane(rowBytes);
    for (std::size_t row = 0; row < pixels.size(); row += kSide) {
        for (int p = 0; p < 48; ++p) {
            const int shift = 16 - 8 * (p / 16) + p % 8;
            std::fill(plane.begin(), plane.end(), 0);
            for (std::size_t x = 0; x < std::size_t{kSide}; ++x) {
                plane[x / 8] |=
                    static_cast<std::uint8_t>((pixels[row + x] >> shift & 1) << (7 - x % 8));
            }
            tambrel::test::AppendRow(body, plane, true);
        }
    }
    tambrel::test::BmhdFields f =
        tambrel::test::HeaderFor(tambrel::test::ChunkyImage(kSide, kSide, 1), true);
    f.Bitplanes = 48;
    return IlbmBuilder().Bmhd(f).Body(body).Build();
}

// The 8-plane picture with a Huffman-packed PCHG: 32-bit changes of 16
// entries on every line.
Bytes PaletteChanges() {
    Bytes pchg;
    for (std::uint32_t w :
         {0u, 2u, 0u, std::uint32_t{kSide}, std::uint32_t{kSide}, 0u, 255u, 16u}) {
        tambrel::test::PutWord(pchg, w);
    }
    PutLong(pchg, std::uint32_t{kSide} * 16);
    pchg.insert(pchg.end(), kSide / 8, 0xFF);
    for (std::uint32_t line = 0; line < std::uint32_t{kSide}; ++line) {
        tambrel::test::PutWord(pchg, 16);
        for (std::uint32_t i = 0; i < 16; ++i) {
            tambrel::test::PutWord(pchg, (line * 7 + i * 16) & 255);
            pchg.insert(pchg.end(),
                        {0, static_cast<std::uint8_t>(line), static_cast<std::uint8_t>(i * 16),
                         static_cast<std::uint8_t>(line >> 4)});
        }
    }
    return LargePictureWith("PCHG", tambrel::test::HuffmanPackedPchg(pchg));
}

} // namespace

std::vector<std::pair<std::string, tambrel::test::Bytes>> NewKindPictures() {
    return {{"rgfx.iff", Rgfx(false)},      {"rgfx-zlib.iff", Rgfx(true)},
            {"deep-form.iff", Deep(false)}, {"deep-form-rle.iff", Deep(true)},
            {"rgb8.iff", RunLength(true)},  {"rgbn.iff", RunLength(false)},
            {"ilbm48.iff", Ilbm48()},       {"pchg.iff", PaletteChanges()}};
}

} // namespace tambrel::bench
