#include "fuzz/seed_pictures.h"

#include "tests/support/form_writer.h"
#include "tests/support/ilbm_writer.h"

#include <array>
#include <libdeflate.h>
#include <optional>

namespace tambrel::fuzz {

namespace {

using namespace tambrel::test;

constexpr std::uint32_t kHalfBrite = 0x80;
constexpr std::uint32_t kHam = 0x800;
constexpr std::uint32_t kLace = 0x4;

ChunkyImage Stripes(int width, int height, int planes, unsigned seed) {
    ChunkyImage img(width, height, planes);
    unsigned state = seed * 2654435761u + 7u;
    const unsigned mask = (1u << planes) - 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Runs of equal values and noise, so ByteRun1 uses both run kinds.
            state = state * 1103515245u + 12345u;
            img.At(x, y) =
                static_cast<std::uint8_t>((x < width / 2 ? (y + x / 8) : (state >> 16)) & mask);
        }
    }
    return img;
}

std::vector<std::uint32_t> Colours(int count) {
    std::vector<std::uint32_t> c;
    for (int i = 0; i < count; ++i) {
        c.push_back(static_cast<std::uint32_t>(((i * 67 + 3) & 0xFF) << 16 |
                                               ((i * 29 + 90) & 0xFF) << 8 | ((i * 141) & 0xFF)));
    }
    return c;
}

std::vector<std::uint8_t> Simple(int width, int height, int planes, bool packed,
                                 std::optional<std::uint32_t> mode, unsigned seed) {
    SimpleIlbm s;
    s.Image = Stripes(width, height, planes, seed);
    s.Colours = Colours(1 << (planes > 8 ? 8 : planes));
    s.ModeId = mode;
    s.Compressed = packed;
    return BuildSimple(s);
}

} // namespace

std::vector<SeedPicture> SeedPictures() {
    std::vector<SeedPicture> out;
    for (int planes = 1; planes <= 8; ++planes) {
        out.push_back({"palette-" + std::to_string(planes) + "-packed",
                       Simple(17 + planes * 4, 7, planes, true, 0, planes)});
    }
    out.push_back({"palette-5-plain", Simple(13, 6, 5, false, 0, 9)});
    out.push_back({"palette-width1", Simple(1, 3, 2, true, 0, 10)});
    out.push_back({"halfbrite", Simple(40, 5, 6, true, kHalfBrite, 11)});
    out.push_back({"ham6", Simple(33, 6, 6, true, kHam, 12)});
    out.push_back({"ham8", Simple(29, 5, 8, false, kHam | kLace, 13)});
    out.push_back({"no-camg", Simple(24, 4, 4, true, std::nullopt, 14)});

    // CTBL: one 16-colour line a row.
    {
        const ChunkyImage img = Stripes(20, 4, 4, 15);
        std::vector<std::array<std::uint16_t, 16>> lines(4);
        for (std::size_t n = 0; n < lines.size(); ++n) {
            for (std::size_t c = 0; c < 16; ++c) {
                lines[n][c] = static_cast<std::uint16_t>((n * 0x123 + c * 0x111) & 0x0FFF);
            }
        }
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, true)).Cmap(Colours(16)).Camg(0).Ctbl(lines);
        b.Body(BodyData(img, true));
        out.push_back({"ctbl", b.Build()});
    }
    // PCHG, Huffman-packed: 12-bit changes of entries 1 and 17 on lines 1 and 3.
    {
        const ChunkyImage img = Stripes(24, 4, 5, 24);
        Bytes pchg;
        for (std::uint32_t w : {0u, 1u, 0u, 4u, 2u, 1u, 17u, 2u, 0u, 2u, 0x5000u, 0u, 0x0101u,
                                0x1F00u, 0x1F0Fu, 0x0001u, 0x10F0u})
            PutWord(pchg, w);
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, true)).Cmap(Colours(32)).Camg(0);
        b.Chunk("PCHG", HuffmanPackedPchg(pchg)).Body(BodyData(img, true));
        out.push_back({"pchg-huffman", b.Build()});
    }
    // A mask plane after the bit planes of every row.
    {
        const ChunkyImage img = Stripes(19, 5, 3, 16);
        const ChunkyImage mask = Stripes(19, 5, 1, 17);
        BmhdFields f = HeaderFor(img, true);
        f.Masking = 1;
        IlbmBuilder b;
        b.Bmhd(f).Cmap(Colours(8)).Camg(0).Body(BodyData(img, true, &mask));
        out.push_back({"masked", b.Build()});
    }
    // CAMG after the BODY, an unknown chunk with an odd size, two BODYs.
    {
        const ChunkyImage img = Stripes(16, 4, 6, 18);
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, true)).Cmap(Colours(16));
        b.Chunk("ANNO", {'h', 'i', '!'});
        b.Body(BodyData(img, true)).Camg(kHam);
        out.push_back({"camg-after-body", b.Build()});

        const ChunkyImage small = Stripes(8, 2, 6, 19);
        IlbmBuilder two;
        two.Bmhd(HeaderFor(img, true)).Cmap(Colours(64)).Camg(kHalfBrite);
        two.Body(BodyData(img, true)).Bmhd(HeaderFor(small, false)).Body(BodyData(small, false));
        out.push_back({"two-bodies", two.Build()});
    }
    // The other kinds: PBM (plain and packed), deep 24 and 32 planes, ACBM, VDAT.
    {
        const ChunkyImage img = Stripes(21, 5, 8, 20);
        for (bool packed : {false, true}) {
            IlbmBuilder b;
            b.FormType("PBM ").Bmhd(HeaderFor(img, packed)).Cmap(Colours(256));
            b.Body(PbmBodyData(img, packed));
            out.push_back({packed ? "pbm-packed" : "pbm-plain", b.Build()});
        }
        for (int planes : {24, 32}) {
            BmhdFields f = HeaderFor(ChunkyImage(17, 4, 1), true);
            f.Bitplanes = static_cast<std::uint8_t>(planes);
            IlbmBuilder b;
            b.Bmhd(f).Body(DeepBodyData(DeepPattern(17, 4, planes, 21), true));
            out.push_back({"deep-" + std::to_string(planes), b.Build()});
        }
        const ChunkyImage ehb = Stripes(19, 4, 6, 22);
        IlbmBuilder acbm;
        acbm.FormType("ACBM").Bmhd(HeaderFor(ehb, false)).Cmap(Colours(32)).Camg(kHalfBrite);
        acbm.Chunk("ABIT", AbitData(ehb));
        out.push_back({"acbm-halfbrite", acbm.Build()});
        const ChunkyImage st = Stripes(40, 6, 4, 23);
        BmhdFields f = HeaderFor(st, true);
        f.Packtype = 2;
        IlbmBuilder vdat;
        vdat.Bmhd(f).Cmap(Colours(16)).Camg(0).Body(VdatBodyData(st));
        out.push_back({"vdat", vdat.Build()});
    }
    return out;
}

namespace {

Bytes Longs(std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (std::uint32_t v : values) {
        out.insert(out.end(), {Bytes::value_type(v >> 24), Bytes::value_type(v >> 16),
                               Bytes::value_type(v >> 8), Bytes::value_type(v)});
    }
    return out;
}

Bytes Noise(std::size_t count, unsigned seed) {
    Bytes out(count);
    unsigned state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        out[i] = static_cast<std::uint8_t>(i % 7 < 3 ? i / 7 : state >> 16);
    }
    return out;
}

// An RBOD packed with zlib: the unpacked size, then the stream.
Bytes ZlibBody(const Bytes &data) {
    libdeflate_compressor *c = libdeflate_alloc_compressor(6);
    Bytes out = Longs({static_cast<std::uint32_t>(data.size())});
    out.resize(4 + libdeflate_zlib_compress_bound(c, data.size()));
    out.resize(
        4 + libdeflate_zlib_compress(c, data.data(), data.size(), out.data() + 4, out.size() - 4));
    libdeflate_free_compressor(c);
    return out;
}

} // namespace

std::vector<SeedPicture> OwnFormSeedPictures() {
    std::vector<SeedPicture> out;
    // RGFX: 13 x 3 pixels of each layout, plain and zlib.
    for (std::uint32_t bits : {8u, 24u, 32u, 48u, 64u, 96u, 128u}) {
        for (std::uint32_t compression : {0u, 2u}) {
            const std::uint32_t rowBytes = 13 * bits / 8;
            const Bytes body = Noise(rowBytes * 3, bits);
            Bytes rcol = Longs({bits == 8 ? 1u : 0u, 5});
            const Bytes colours = Noise(3 * 256, 77);
            rcol.insert(rcol.end(), colours.begin(), colours.end());
            IlbmBuilder b;
            b.FormType("RGFX").Chunk("RGHD", Longs({0, 0, 13, 3, 13, 3, bits == 8 ? 8 : bits, bits,
                                                    rowBytes, compression, 1, 1, 0}));
            b.Chunk("RCOL", rcol).Chunk("RBOD", compression == 2 ? ZlibBody(body) : body);
            out.push_back(
                {"rgfx-" + std::to_string(bits) + (compression ? "-zlib" : ""), b.Build()});
        }
    }
    // DEEP: RGBA of 8 bits plain, RGB of 16 bits ByteRun1.
    for (bool packed : {false, true}) {
        const std::uint32_t bits = packed ? 16 : 8;
        const Bytes body = Noise(11 * 4 * (packed ? 6 : 4), 31);
        Bytes packedBody;
        for (std::size_t i = 0; i < body.size(); i += 6) {
            AppendRow(packedBody,
                      Bytes(body.begin() + std::ptrdiff_t(i),
                            body.begin() + std::ptrdiff_t(std::min(i + 6, body.size()))),
                      true);
        }
        Bytes dpel = Longs({packed ? 3u : 4u, 0x10000 | bits, 0x20000 | bits, 0x30000 | bits});
        if (!packed) {
            const Bytes alpha = Longs({0x40008});
            dpel.insert(dpel.end(), alpha.begin(), alpha.end());
        }
        IlbmBuilder b;
        b.FormType("DEEP").Chunk("DGBL", {0, 11, 0, 4, 0, std::uint8_t(packed ? 1 : 0), 1, 1});
        b.Chunk("DPEL", dpel).Chunk("DBOD", packed ? packedBody : body);
        out.push_back({packed ? "deep-rgb16-runlength" : "deep-rgba8", b.Build()});
    }
    // RGB8 and RGBN runs, counts in the run, the next byte and the next word.
    for (const char *form : {"RGB8", "RGBN"}) {
        const bool wide = form[3] == '8';
        BmhdFields f = HeaderFor(ChunkyImage(9, 5, 1), false);
        f.Bitplanes = wide ? 25 : 13;
        f.Packtype = 4;
        const Bytes body = wide ? Bytes{1, 2, 3, 0x85, 4, 5, 6, 0, 9, 7, 8, 9, 0, 0, 0, 31}
                                : Bytes{0x12, 0x3D, 0x45, 0x60, 9, 0xAB, 0xC0, 0, 0, 31};
        out.push_back(
            {wide ? "rgb8" : "rgbn", IlbmBuilder().FormType(form).Bmhd(f).Body(body).Build()});
    }
    // 48- and 64-plane ILBM, packed.
    for (int planes : {48, 64}) {
        BmhdFields f = HeaderFor(ChunkyImage(17, 3, 1), true);
        f.Bitplanes = static_cast<std::uint8_t>(planes);
        const Bytes noise = Noise(17 * 3 * std::size_t(planes), std::uint32_t(planes));
        Bytes body;
        for (int y = 0; y < 3; ++y) {
            for (int p = 0; p < planes; ++p) {
                AppendRow(body,
                          PlaneRow(17, 0,
                                   [&](int x) {
                                       return (noise[std::size_t((y * planes + p) * 17 + x)] & 1) !=
                                              0;
                                   }),
                          true);
            }
        }
        out.push_back({"ilbm-" + std::to_string(planes), IlbmBuilder().Bmhd(f).Body(body).Build()});
    }
    // A CAT of two pictures.
    Bytes cat = IlbmBuilder().FormId("CAT ").Build();
    for (unsigned seed : {40u, 41u}) {
        const Bytes picture = Simple(12, 3, 3, seed == 41, std::nullopt, seed);
        cat.insert(cat.end(), picture.begin(), picture.end());
    }
    const Bytes size = Longs({static_cast<std::uint32_t>(cat.size() - 8)});
    std::copy(size.begin(), size.end(), cat.begin() + 4);
    out.push_back({"cat-ilbm", cat});
    // A LIST whose PROP gives the header, palette and mode its FORMs lack; the
    // second FORM brings its own palette.
    const ChunkyImage shared = Stripes(10, 3, 2, 42);
    Bytes list = IlbmBuilder().FormId("LIST").Build();
    for (const Bytes &part :
         {IlbmBuilder()
              .FormId("PROP")
              .Bmhd(HeaderFor(shared, true))
              .Cmap(Colours(4))
              .Camg(0x8004)
              .Build(),
          IlbmBuilder().Body(BodyData(shared, true)).Build(),
          IlbmBuilder().Cmap(Colours(3)).Body(BodyData(Stripes(10, 3, 2, 43), false)).Build()}) {
        list.insert(list.end(), part.begin(), part.end());
    }
    const Bytes listSize = Longs({static_cast<std::uint32_t>(list.size() - 8)});
    std::copy(listSize.begin(), listSize.end(), list.begin() + 4);
    out.push_back({"list-prop", list});
    // The print resolution and an XMP packet beside the pixels.
    const ChunkyImage small = Stripes(9, 2, 1, 44);
    BmhdFields noAspect = HeaderFor(small, false);
    noAspect.XaspectRatio = noAspect.YaspectRatio = 0;
    out.push_back({"dpi-xmp", IlbmBuilder()
                                  .Bmhd(noAspect)
                                  .Cmap(Colours(2))
                                  .Camg(0x8000)
                                  .Chunk("DPI ", {0, 72, 0, 144})
                                  .Chunk("XMP0", {'<', 'x', '/', '>', 0})
                                  .Body(BodyData(small, false))
                                  .Build()});
    return out;
}

} // namespace tambrel::fuzz
