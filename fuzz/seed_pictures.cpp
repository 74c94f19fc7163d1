#include "fuzz/seed_pictures.h"

#include "tests/support/form_writer.h"
#include "tests/support/ilbm_writer.h"

#include <array>
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

} // namespace tambrel::fuzz
