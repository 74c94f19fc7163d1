// Hostile files: every one has a defined, documented outcome (docs/hostile-files.md):
// the load's result or error, BodyFound, Width and Height, whether a BMP is
// written (or the writer's error), a few pixels in the record and the BMP, and
// memory within a small bound.
#include "common/declarations.h"
#include "common/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "tests/reliability/hostile_support.h"
#include "tests/support/form_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

using namespace tambrel;
using namespace tambrel::test;

namespace {

constexpr std::uint32_t kPal[4] = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF};
const std::vector<std::uint32_t> kPalette(kPal, kPal + 4);
using Lines = std::vector<std::array<std::uint16_t, 16>>;

// 16 x 4, 2 planes; pixel value (x + y + shift) mod 4.
Bytes Body(int shift = 0) {
    ChunkyImage img(16, 4, 2);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 16; ++x) {
            img.At(x, y) = static_cast<std::uint8_t>((x + y + shift) % 4);
        }
    }
    return BodyData(img, true);
}
BmhdFields Header() {
    return HeaderFor(ChunkyImage(16, 4, 2), true);
}

// BMHD, CMAP, CAMG 0, [ANNO or CTBL], BODY: the intact picture, with chunk `id`
// holding `data` and declaring `size` (its length when nullopt).
Bytes Spoiled(const std::string &id = "", const Bytes &data = {},
              std::optional<std::uint32_t> size = std::nullopt, bool pad = true) {
    IlbmBuilder b;
    for (const char *c : {"BMHD", "CMAP", "CAMG", "ANNO", "CTBL", "BODY"}) {
        if (id == c) {
            b.Chunk(id, data, size, pad);
        } else if (c == std::string("BMHD")) {
            b.Bmhd(Header());
        } else if (c == std::string("CMAP")) {
            b.Cmap(kPalette);
        } else if (c == std::string("CAMG")) {
            b.Camg(0);
        } else if (c == std::string("BODY")) {
            b.Body(Body());
        }
    }
    return b.Build();
}
const Bytes kIntact = Spoiled();
Bytes WithHeader(const std::function<void(BmhdFields &)> &change) {
    BmhdFields f = Header();
    change(f);
    return Spoiled("BMHD", BmhdData(f));
}
IlbmBuilder Front() {
    IlbmBuilder b;
    b.Bmhd(Header()).Cmap(kPalette).Camg(0);
    return b;
}

struct Pixel {
    int x, y; // y from the top from 0
    std::uint32_t colour;
};
std::vector<Pixel> Good(int shift = 0) {
    std::vector<Pixel> p;
    for (auto [x, y] : {std::pair{0, 0}, {5, 1}, {10, 2}, {15, 3}}) {
        p.push_back({x, y, kPal[(x + y + shift) % 4]});
    }
    return p;
}
const std::vector<Pixel> kBlack = {{0, 0, 0}, {7, 1, 0}, {15, 3, 0}};

enum : int { kNoBmp = 0, kBmpWritten = 1 }; // other values: the BMP writer's error number
using Extra = std::function<void(const IFF_Picture &)>;

struct HostileCase {
    std::string name;
    Bytes file;
    int loadError; // TambrelError number raised by the load, 0 for none
    int result, bodyFound, width, height, bmp;
    std::vector<Pixel> pixels;
    Extra extra = nullptr;
    bool reused = false; // loaded into a record that held the intact picture before
};

void PrintTo(const HostileCase &c, std::ostream *os) {
    *os << c.name;
}

HostileCase Make(std::string name, Bytes file, int error, int result, int body, int w, int h,
                 int bmp, std::vector<Pixel> pixels, Extra extra = nullptr) {
    return {std::move(name),   std::move(file), error, result, body, w, h, bmp,
            std::move(pixels), std::move(extra)};
}

// A 16 x 4 picture decoded and written with the given pixels.
HostileCase Decoded(std::string name, Bytes file, std::vector<Pixel> pixels = Good(),
                    Extra extra = nullptr) {
    return {std::move(name),   std::move(file), 0, 1, -1, 16, 4, kBmpWritten,
            std::move(pixels), std::move(extra)};
}
// A 16 x 4 header read but no BODY decoded: no BMP.
HostileCase NoBody(std::string name, Bytes file, Extra extra = nullptr) {
    return {std::move(name), std::move(file), 0, 1, 0, 16, 4, kNoBmp, {}, std::move(extra)};
}
const Extra kLaterCamgRead = [](const IFF_Picture &p) { EXPECT_EQ(p.Interlaced, 1); };

std::vector<HostileCase> Cases() {
    std::vector<HostileCase> t;
    t.push_back(Decoded("intact", kIntact));
    t.push_back({"empty_file", {}, 0, 0, 0, 0, 0, kNoBmp, {}});
    for (const Bytes &other : {IlbmBuilder().Bmhd(Header()).FormId("LIST").Build(),
                               IlbmBuilder().Bmhd(Header()).FormType("8SVX").Build()}) {
        t.push_back(
            Make(other[0] == 'L' ? "not_form" : "not_ilbm", other, 0, 0, 0, 0, 0, kNoBmp, {}));
    }

    // FORM sizes.
    t.push_back(Decoded("form_size_larger_than_file", Front().Body(Body()).FormSize(~0u).Build()));
    t.push_back(
        NoBody("form_size_0_reads_only_first_chunk", Front().Body(Body()).FormSize(0).Build()));
    const auto bodyAt = static_cast<std::uint32_t>(Front().Build().size());
    t.push_back(
        NoBody("form_size_ends_before_body", Front().Body(Body()).FormSize(bodyAt).Build()));

    // Chunk sizes 0 and odd.
    t.push_back(NoBody("body_of_size_0_at_form_end_is_not_reached", Spoiled("BODY", {})));
    t.push_back(Decoded("unknown_chunk_size_0", Spoiled("ANNO", {})));
    t.push_back(Decoded("unknown_chunk_odd_size_with_pad", Spoiled("ANNO", {1, 2, 3, 4, 5})));
    Bytes header = BmhdData(Header());
    header.push_back(0x77);
    t.push_back(Decoded("bmhd_odd_size_21", Spoiled("BMHD", header)));
    Bytes cmap = CmapData(kPalette);
    cmap.resize(7);
    t.push_back(NoBody("cmap_odd_size_without_pad_loses_the_rest",
                       Spoiled("CMAP", cmap, std::nullopt, false)));
    Bytes body = Body();
    body.insert(body.end(), 6, 0);
    t.push_back(Decoded("body_with_spare_bytes_after_rows", Front().Body(body).Camg(4).Build(),
                        Good(), kLaterCamgRead));

    // Chunk sizes 0x7FFFFFFF and 0xFFFFFFFF: the walk ends after the chunk.
    for (std::uint32_t size : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const std::string hex = size == 0x7FFFFFFF ? "_7fffffff" : "_ffffffff";
        t.push_back(NoBody("unknown_chunk_size" + hex, Spoiled("ANNO", {1, 2}, size)));
        t.push_back(Decoded("body_size" + hex, Spoiled("BODY", Body(), size)));
        t.push_back(NoBody("bmhd_size" + hex, Spoiled("BMHD", BmhdData(Header()), size)));
        t.push_back(NoBody("cmap_size" + hex, Spoiled("CMAP", CmapData(kPalette), size),
                           [](const IFF_Picture &p) {
                               EXPECT_EQ(p.Palette[3], kPal[3]);
                               EXPECT_EQ(p.Palette[4], 0x43414Du) << "next header as colour 4";
                           }));
        t.push_back(NoBody("ctbl_size" + hex, Spoiled("CTBL", CtblData(Lines(1)), size)));
        t.push_back(NoBody("camg_size" + hex, Spoiled("CAMG", CamgData(4), size), kLaterCamgRead));
    }

    // BMHD values.
    t.push_back(
        {"width_0", WithHeader([](BmhdFields &f) { f.Width = 0; }), 0, 1, -1, 0, 4, kNoBmp, {}});
    t.push_back(
        {"height_0", WithHeader([](BmhdFields &f) { f.Height = 0; }), 0, 1, -1, 16, 0, kNoBmp, {}});
    for (auto [w, h] : {std::pair{65535, 65535}, {65535, 16383}, {32768, 32768}}) {
        BmhdFields f = Header();
        f.Width = static_cast<std::uint16_t>(w);
        f.Height = static_cast<std::uint16_t>(h);
        t.push_back(Make("size_" + std::to_string(w) + "x" + std::to_string(h) + "_refused",
                         IlbmBuilder().Bmhd(f).Cmap(kPalette).Camg(0).Body({0x81, 0}).Build(),
                         kErrOutOfMemory, 0, 0, 0, 0, kNoBmp, {}));
    }
    BmhdFields huge = Header();
    huge.Width = huge.Height = 65535;
    t.push_back(Make("huge_bmhd_after_body_refuses_bmp", Front().Body(Body()).Bmhd(huge).Build(), 0,
                     1, -1, 65535, 65535, kErrOutOfMemory, {}, [](const IFF_Picture &p) {
                         EXPECT_EQ(p.PixelColours.Columns(), 17u) << "decoded BODY's buffers kept";
                         EXPECT_EQ(p.PixelColours(5, 2), kPal[(5 + 1) % 4]);
                     }));
    BmhdFields wraps = Header();
    wraps.Width = wraps.Height = 32768;
    t.push_back(Make("bmp_size_past_32_bits_refused", Front().Body(Body()).Bmhd(wraps).Build(), 0,
                     1, -1, 32768, 32768, kErrOutOfMemory, {}));
    for (int planes : {0, 9, 25, 255}) {
        t.push_back(NoBody(
            "bitplanes_" + std::to_string(planes) + "_body_not_decoded",
            WithHeader([&](BmhdFields &f) { f.Bitplanes = static_cast<std::uint8_t>(planes); }),
            [planes](const IFF_Picture &p) {
                EXPECT_EQ(p.Bitplanes, planes);
                EXPECT_TRUE(p.PixelColours.Empty());
            }));
    }

    // CMAP sizes; two bytes make one colour whose blue is "C" of the next header.
    t.push_back(Decoded("cmap_0_bytes", Spoiled("CMAP", {}), kBlack));
    t.push_back(Decoded("cmap_1_byte_no_colour", Spoiled("CMAP", {0x11}), kBlack));
    t.push_back(Decoded("cmap_2_bytes_one_colour", Spoiled("CMAP", {0x11, 0x22}),
                        {{0, 0, 0x112243}, {4, 0, 0x112243}, {1, 0, 0}, {2, 0, 0}}));
    std::vector<std::uint32_t> many = kPalette;
    for (std::uint32_t i = 4; i < 300; ++i) {
        many.push_back(i * 0x010203u);
    }
    t.push_back(Decoded(
        "cmap_300_colours_excess_dropped", Spoiled("CMAP", CmapData(many)), Good(),
        [](const IFF_Picture &p) { EXPECT_EQ(p.Palette[256], (256 * 0x010203u) & 0xFFFFFF); }));

    // CTBL and CAMG. Ten lines for four rows; line n colour c is 0x0RGB = n, c, n + c.
    Lines lines(10);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        for (std::size_t c = 0; c < 16; ++c) {
            lines[n][c] = static_cast<std::uint16_t>(n << 8 | c << 4 | ((n + c) & 15));
        }
    }
    Lines white(4);
    for (auto &l : white) {
        l.fill(0x0FFF);
    }
    const Bytes ctblFirst =
        IlbmBuilder().Ctbl(white).Bmhd(Header()).Cmap(kPalette).Camg(0).Body(Body()).Build();
    t.push_back(Decoded("ctbl_before_bmhd_cancelled", ctblFirst, Good(),
                        [](const IFF_Picture &p) { EXPECT_EQ(p.DynamicPalette, 0); }));
    std::vector<Pixel> lineColours;
    for (auto [x, y] : {std::pair{0, 0}, {5, 1}, {10, 2}, {15, 3}}) {
        lineColours.push_back({x, y, ref::CtblColour(lines[y][(x + y) % 4])});
    }
    t.push_back(Decoded("ctbl_longer_than_picture", Spoiled("CTBL", CtblData(lines)), lineColours,
                        [](const IFF_Picture &p) { EXPECT_EQ(p.LinePalettes.Rows(), 5u); }));
    t.push_back(Decoded("camg_0_bytes_reads_next_header", Spoiled("CAMG", {}), Good(),
                        [](const IFF_Picture &p) {
                            EXPECT_EQ(p.ModeId, 0x424F4459u) << "\"BODY\" taken as the mode";
                            EXPECT_EQ(p.DisplayMode, 1);
                        }));

    // ByteRun1 streams: rows 1 and 2 whole, then row 3's first run cut after
    // its control byte; a literal run of 128 bytes with one byte in a 16 x 1
    // one-plane BODY reads 0xAA, then "C" (0x43) of the next header.
    const auto ends = RowEnds(kIntact, ChunksOf(kIntact).back().Offset + 8, 4, 2, 2, true);
    t.push_back(
        Decoded("byterun1_file_ends_inside_run",
                Bytes(kIntact.begin(), kIntact.begin() + static_cast<std::ptrdiff_t>(ends[1]) + 1),
                {{0, 0, kPal[0]}, {6, 1, kPal[3]}, {3, 2, kPal[0]}, {14, 3, kPal[0]}}));
    BmhdFields line = Header();
    line.Height = 1;
    line.Bitplanes = 1;
    const std::vector<std::uint32_t> bw = {0x000000, 0xFFFFFF};
    t.push_back(Make("byterun1_run_overruns_body_chunk",
                     IlbmBuilder().Bmhd(line).Cmap(bw).Chunk("BODY", {0x7F, 0xAA}).Camg(4).Build(),
                     0, 1, -1, 16, 1, kBmpWritten,
                     {{0, 0, 0xFFFFFF}, {1, 0, 0}, {7, 0, 0}, {9, 0, 0xFFFFFF}, {14, 0, 0xFFFFFF}},
                     kLaterCamgRead));

    // Two BODYs: rows 1-2 from the second, rows 3-4 read past the file's end: value 0.
    const Bytes second = Body(1);
    const auto half = static_cast<std::ptrdiff_t>(RowEnds(second, 0, 4, 2, 2, true)[1]);
    t.push_back(
        Decoded("two_bodies_second_shorter",
                Front().Body(Body()).Body(Bytes(second.begin(), second.begin() + half)).Build(),
                {{0, 0, kPal[1]}, {5, 1, kPal[3]}, {10, 2, kPal[0]}, {15, 3, kPal[0]}}));
    const Bytes bodyFirst =
        IlbmBuilder().Body(Body()).Bmhd(Header()).Cmap(kPalette).Camg(0).Build();
    t.push_back(NoBody("body_before_bmhd", bodyFirst));
    // A reused record still holds the earlier picture's Bitplanes: the BODY is
    // met before any size is known and decodes to nothing; the BMP is black.
    t.push_back({"body_before_bmhd_reused_record", bodyFirst, 0, 1, -1, 16, 4, kBmpWritten, kBlack,
                 nullptr, true});

    // The other kinds. Plane 1 missing: pixel values keep only plane 0's bit.
    ChunkyImage img(16, 4, 2);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 16; ++x) {
            img.At(x, y) = static_cast<std::uint8_t>((x + y) % 4);
        }
    }
    const std::vector<Pixel> planeZeroOnly = {{0, 0, kPal[0]},
                                              {5, 1, kPal[(5 + 1) % 4 & 1]},
                                              {10, 2, kPal[0]},
                                              {15, 3, kPal[(15 + 3) % 4 & 1]}};
    BmhdFields plain = Header();
    plain.Packtype = 0;
    const Bytes abit = AbitData(img);
    t.push_back(Decoded("abit_short_second_plane_missing",
                        IlbmBuilder()
                            .FormType("ACBM")
                            .Bmhd(plain)
                            .Cmap(kPalette)
                            .Camg(0)
                            .Chunk("ABIT", Bytes(abit.begin(), abit.begin() + 8), 16)
                            .Build(),
                        planeZeroOnly));
    BmhdFields vertical = Header();
    vertical.Packtype = 2;
    const Bytes countPastChunk = VdatData(std::vector<std::uint8_t>{0xFE, 0x02},
                                          std::vector<std::uint16_t>{1, 2, 3}, 0x7FFF);
    Bytes vdatBody = SubChunk("VDAT", PackVertical(ColumnWords(img, 0)));
    const Bytes bad = SubChunk("VDAT", countPastChunk);
    vdatBody.insert(vdatBody.end(), bad.begin(), bad.end());
    t.push_back(Decoded("vdat_count_past_chunk_plane_left_0",
                        IlbmBuilder().Bmhd(vertical).Cmap(kPalette).Camg(0).Body(vdatBody).Build(),
                        planeZeroOnly));
    const Bytes rows = PbmBodyData(img, false);
    t.push_back(
        Decoded("pbm_rows_past_the_end_read_0",
                IlbmBuilder()
                    .FormType("PBM ")
                    .Bmhd(plain)
                    .Cmap(kPalette)
                    .Camg(0)
                    .Chunk("BODY", Bytes(rows.begin(), rows.begin() + 2 * 16), 4 * 16)
                    .Build(),
                {{0, 0, kPal[0]}, {5, 1, kPal[(5 + 1) % 4]}, {10, 2, kPal[0]}, {15, 3, kPal[0]}}));
    return t;
}

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, DefinedOutcome) {
    const HostileCase &c = GetParam();
    auto pic = std::make_unique<IFF_Picture>();
    if (c.reused) {
        ASSERT_EQ(LoadIffPictureFromMemory(*pic, kIntact, "/pics/first.iff", false), 1);
    }
    ScratchDir dir;
    const std::string bmp = dir / "out.bmp";
    ResetAllocationProbe();

    int error = 0, result = -1;
    try {
        result = LoadIffPictureFromMemory(*pic, c.file, "/pics/hostile.iff", true);
    } catch (const TambrelError &e) {
        error = e.Number;
    }
    ASSERT_EQ(error, c.loadError);
    if (error == 0) {
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(pic->LoadResult, c.result);
        EXPECT_EQ(pic->BodyFound, c.bodyFound);
        EXPECT_EQ(pic->Width, c.width);
        EXPECT_EQ(pic->Height, c.height);
        for (const Pixel &p : c.pixels) {
            EXPECT_EQ(pic->PixelColours.ValueAt(p.x, p.y + 1), p.colour) << p.x << "," << p.y;
        }
        if (c.extra) {
            c.extra(*pic);
        }
        int written = kNoBmp;
        try {
            WriteBitmapFile(*pic, bmp, pic->Width, pic->Height);
            written = FileExists(bmp) ? kBmpWritten : kNoBmp;
        } catch (const TambrelError &e) {
            written = e.Number;
        }
        EXPECT_EQ(written, c.bmp);
        if (written == kBmpWritten) {
            const Bytes file = ReadBytes(bmp);
            EXPECT_EQ(file.size(), 54 + 4 * std::size_t(c.width) * std::size_t(c.height));
            for (const Pixel &p : c.pixels) {
                EXPECT_EQ(BitmapPixel(file, p.x, p.y), p.colour) << "BMP " << p.x << "," << p.y;
            }
        }
        EXPECT_EQ(Entries(dir.Path()).size(), written == kBmpWritten ? 1u : 0u)
            << "the BMP alone, no temporary file";
    }
    // Nothing beyond the pixel buffers of the file's own small picture.
    EXPECT_LT(LargestAllocation(), std::size_t{4} << 20);
    EXPECT_LT(PeakHeldSinceReset(), std::size_t{16} << 20);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFiles, ::testing::ValuesIn(Cases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
