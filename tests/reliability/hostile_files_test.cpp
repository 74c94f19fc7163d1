// Hostile files, one row each of docs/hostile-files.md (what each row checks: the doc).
#include "common/declarations.h"
#include "common/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "tests/reliability/hostile_support.h"
#include "tests/support/form_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <new>

using namespace tambrel;
using namespace tambrel::test;

namespace {

// The test program's operator new counts the peak held.
std::atomic<std::size_t> held{0}, peak{0};

void *Allocate(std::size_t size) {
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    // The usable size, so the matching delete subtracts exactly what was added.
    const std::size_t now = held += malloc_usable_size(p);
    std::size_t top = peak.load();
    while (now > top && !peak.compare_exchange_weak(top, now)) {
    }
    return p;
}

void Release(void *p) {
    if (p != nullptr) {
        held -= malloc_usable_size(p);
        std::free(p);
    }
}

} // namespace

// The array forms go to these in the standard library (and to the sanitizer's own pairs).
void *operator new(std::size_t size) {
    return Allocate(size);
}
void operator delete(void *p) noexcept {
    Release(p);
}
void operator delete(void *p, std::size_t) noexcept {
    Release(p);
}

namespace {

constexpr std::uint32_t kPal[4] = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF};
const std::vector<std::uint32_t> kPalette(kPal, kPal + 4);
using Lines = std::vector<std::array<std::uint16_t, 16>>;

// 16 x `rows`, 2 planes; pixel value (x + y + shift) mod 4.
ChunkyImage Image(int shift = 0, int rows = 4) {
    ChunkyImage img(16, rows, 2);
    for (std::size_t i = 0; i < img.Pixels.size(); ++i)
        img.Pixels[i] = static_cast<std::uint8_t>((i % 16 + i / 16 + shift) % 4);
    return img;
}
Bytes Body(int shift = 0, int rows = 4) {
    return BodyData(Image(shift, rows), true);
}
BmhdFields Header() {
    return HeaderFor(Image(), true);
}
IlbmBuilder Front() {
    IlbmBuilder b;
    b.Bmhd(Header()).Cmap(kPalette).Camg(0);
    return b;
}

// The intact picture (BMHD, CMAP, CAMG, [ANNO, CTBL], BODY), chunk `id` holding `data`.
Bytes Spoiled(const std::string &id = "", const Bytes &data = {},
              std::optional<std::uint32_t> size = std::nullopt, bool pad = true) {
    const std::pair<std::string, Bytes> chunks[] = {{"BMHD", BmhdData(Header())},
                                                    {"CMAP", CmapData(kPalette)},
                                                    {"CAMG", CamgData(0)},
                                                    {"ANNO", {}},
                                                    {"CTBL", {}},
                                                    {"BODY", Body()}};
    IlbmBuilder b;
    for (const auto &[c, intact] : chunks) {
        if (id == c)
            b.Chunk(id, data, size, pad);
        else if (!intact.empty())
            b.Chunk(c, intact);
    }
    return b.Build();
}
const Bytes kIntact = Spoiled();
Bytes WithHeader(const std::function<void(BmhdFields &)> &change) {
    BmhdFields f = Header();
    change(f);
    return Spoiled("BMHD", BmhdData(f));
}

struct Pixel {
    int x, y; // y from the top from 0
    std::uint32_t colour;
};
const std::vector<Pixel> kGood = {
    {0, 0, kPal[0]}, {5, 1, kPal[2]}, {10, 2, kPal[0]}, {15, 3, kPal[2]}};
const std::vector<Pixel> kBlack = {{0, 0, 0}, {7, 1, 0}, {15, 3, 0}};

// Error raised (0: none), result, BodyFound, Width, Height, BMP (1 written, 0 none, else error).
struct Outcome {
    int error, result, body, width, height, bmp;
};
constexpr Outcome kDecoded{0, 1, -1, 16, 4, 1}, kNoBody{0, 1, 0, 16, 4, 0},
    kNotPicture{0, 0, 0, 0, 0, 0}, kRefused{kErrOutOfMemory, 0, 0, 0, 0, 0};
using Extra = std::function<void(const IFF_Picture &)>;

struct HostileCase {
    std::string name;
    Bytes file;
    Outcome outcome = kDecoded;
    std::vector<Pixel> pixels = kGood; // checked in the BMP when one is written
    Extra extra = nullptr;
    bool reused = false; // loaded into a record that held the intact picture before
};

const Extra kLaterCamgRead = [](const IFF_Picture &p) { EXPECT_EQ(p.Interlaced, 1); };

std::vector<HostileCase> Cases() {
    std::vector<HostileCase> t;
    t.push_back({"intact", kIntact});
    t.push_back({"empty_file", {}, kNotPicture});
    t.push_back({"not_form", IlbmBuilder().Bmhd(Header()).FormId("LIST").Build(), kNotPicture});
    t.push_back({"not_ilbm", IlbmBuilder().Bmhd(Header()).FormType("8SVX").Build(), kNotPicture});

    // FORM sizes.
    t.push_back({"form_size_larger_than_file", Front().Body(Body()).FormSize(~0u).Build()});
    t.push_back(
        {"form_size_0_reads_no_type", Front().Body(Body()).FormSize(0).Build(), kNotPicture});
    const auto bodyAt = static_cast<std::uint32_t>(Front().Build().size());
    t.push_back(
        {"form_size_ends_before_body", Front().Body(Body()).FormSize(bodyAt).Build(), kNoBody});

    // Chunk sizes 0 and odd.
    t.push_back({"body_of_size_0_at_form_end_is_not_reached", Spoiled("BODY", {}), kNoBody});
    t.push_back({"unknown_chunk_size_0", Spoiled("ANNO", {})});
    t.push_back({"unknown_chunk_odd_size_with_pad", Spoiled("ANNO", {1, 2, 3, 4, 5})});
    Bytes header = BmhdData(Header());
    header.push_back(0x77);
    t.push_back({"bmhd_odd_size_21", Spoiled("BMHD", header)});
    Bytes cmap = CmapData(kPalette);
    cmap.resize(7);
    t.push_back({"cmap_odd_size_without_pad_loses_the_rest",
                 Spoiled("CMAP", cmap, std::nullopt, false), kNoBody});
    Bytes body = Body();
    body.insert(body.end(), 6, 0);
    t.push_back({"body_with_spare_bytes_after_rows", Front().Body(body).Camg(4).Build(), kDecoded,
                 kGood, kLaterCamgRead});

    // Chunk sizes 0x7FFFFFFF and 0xFFFFFFFF: the walk ends after the chunk.
    for (std::uint32_t size : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const std::string hex = size == 0x7FFFFFFF ? "_7fffffff" : "_ffffffff";
        t.push_back({"unknown_chunk_size" + hex, Spoiled("ANNO", {1, 2}, size), kNoBody});
        t.push_back({"body_size" + hex, Spoiled("BODY", Body(), size)});
        t.push_back({"bmhd_size" + hex, Spoiled("BMHD", BmhdData(Header()), size), kNoBody});
        t.push_back({"cmap_size" + hex,
                     Spoiled("CMAP", CmapData(kPalette), size),
                     kNoBody,
                     {},
                     [](const IFF_Picture &p) {
                         EXPECT_EQ(p.Palette[3], kPal[3]);
                         EXPECT_EQ(p.Palette[4], 0x43414Du) << "next header as colour 4";
                     }});
        t.push_back({"ctbl_size" + hex, Spoiled("CTBL", CtblData(Lines(1)), size), kNoBody});
        t.push_back(
            {"camg_size" + hex, Spoiled("CAMG", CamgData(4), size), kNoBody, {}, kLaterCamgRead});
    }

    // BMHD values.
    t.push_back({"width_0", WithHeader([](BmhdFields &f) { f.Width = 0; }), {0, 1, -1, 0, 4, 0}});
    t.push_back(
        {"height_0", WithHeader([](BmhdFields &f) { f.Height = 0; }), {0, 1, -1, 16, 0, 0}});
    for (auto [w, h] : {std::pair{65535, 65535}, {65535, 16383}, {32768, 32768}}) {
        BmhdFields f = Header();
        f.Width = static_cast<std::uint16_t>(w);
        f.Height = static_cast<std::uint16_t>(h);
        const Bytes file = IlbmBuilder().Bmhd(f).Cmap(kPalette).Camg(0).Body({0x81, 0}).Build();
        t.push_back(
            {"size_" + std::to_string(w) + "x" + std::to_string(h) + "_refused", file, kRefused});
    }
    // A second BMHD after the BODY: the buffers stay, the BMP writer refuses the size.
    for (int side : {65535, 32768}) {
        BmhdFields f = Header();
        f.Width = f.Height = static_cast<std::uint16_t>(side);
        t.push_back(
            {side == 65535 ? "huge_bmhd_after_body_refuses_bmp" : "bmp_size_past_32_bits_refused",
             Front().Body(Body()).Bmhd(f).Build(),
             {0, 1, -1, side, side, kErrOutOfMemory},
             {},
             [](const IFF_Picture &p) {
                 EXPECT_EQ(p.PixelColours.Columns(), 17u) << "decoded BODY's buffers kept";
                 EXPECT_EQ(p.PixelColours(5, 2), kPal[(5 + 1) % 4]);
             }});
    }
    for (int planes : {0, 9, 25, 255}) {
        t.push_back(
            {"bitplanes_" + std::to_string(planes) + "_body_not_decoded",
             WithHeader([&](BmhdFields &f) { f.Bitplanes = static_cast<std::uint8_t>(planes); }),
             kNoBody,
             {},
             [planes](const IFF_Picture &p) {
                 EXPECT_EQ(p.Bitplanes, planes);
                 EXPECT_TRUE(p.PixelColours.Empty());
             }});
    }

    // CMAP sizes; two bytes make one colour whose blue is "C" of the next header.
    t.push_back({"cmap_0_bytes", Spoiled("CMAP", {}), kDecoded, kBlack});
    t.push_back({"cmap_1_byte_no_colour", Spoiled("CMAP", {0x11}), kDecoded, kBlack});
    t.push_back({"cmap_2_bytes_one_colour",
                 Spoiled("CMAP", {0x11, 0x22}),
                 kDecoded,
                 {{0, 0, 0x112243}, {4, 0, 0x112243}, {1, 0, 0}, {2, 0, 0}}});
    std::vector<std::uint32_t> many = kPalette;
    for (std::uint32_t i = 4; i < 300; ++i)
        many.push_back(i * 0x010203u);
    t.push_back(
        {"cmap_300_colours_excess_dropped", Spoiled("CMAP", CmapData(many)), kDecoded, kGood,
         [](const IFF_Picture &p) { EXPECT_EQ(p.Palette[256], (256 * 0x010203u) & 0xFFFFFF); }});

    // CTBL and CAMG. Ten lines for four rows; line n colour c is 0x0RGB = n, c, n + c.
    Lines lines(10);
    for (std::size_t n = 0; n < lines.size(); ++n)
        for (std::size_t c = 0; c < 16; ++c)
            lines[n][c] = static_cast<std::uint16_t>(n << 8 | c << 4 | ((n + c) & 15));
    t.push_back({"ctbl_before_bmhd_cancelled",
                 IlbmBuilder().Ctbl(lines).Bmhd(Header()).Cmap(kPalette).Body(Body()).Build(),
                 kDecoded, kGood, [](const IFF_Picture &p) { EXPECT_EQ(p.DynamicPalette, 0); }});
    std::vector<Pixel> lineColours = kGood;
    for (Pixel &p : lineColours)
        p.colour = ref::CtblColour(lines[p.y][(p.x + p.y) % 4]);
    t.push_back({"ctbl_longer_than_picture", Spoiled("CTBL", CtblData(lines)), kDecoded,
                 lineColours, [](const IFF_Picture &p) { EXPECT_EQ(p.LinePalettes.Rows(), 5u); }});
    t.push_back({"camg_0_bytes_reads_next_header", Spoiled("CAMG", {}), kDecoded, kGood,
                 [](const IFF_Picture &p) {
                     EXPECT_EQ(p.ModeId, 0x424F4459u) << "\"BODY\" taken as the mode";
                     EXPECT_EQ(p.DisplayMode, 1);
                 }});

    // ByteRun1: cut after row 3's first control byte; a 128-byte literal run in a
    // 16 x 1 BODY holding one byte reads 0xAA, then "C" (0x43) of the next header.
    const auto cut = static_cast<std::ptrdiff_t>(bodyAt + 8 + Body(0, 2).size());
    t.push_back({"byterun1_file_ends_inside_run",
                 Bytes(kIntact.begin(), kIntact.begin() + cut + 1),
                 kDecoded,
                 {{0, 0, kPal[0]}, {6, 1, kPal[3]}, {3, 2, kPal[0]}, {14, 3, kPal[0]}}});
    BmhdFields line = Header();
    line.Height = 1;
    line.Bitplanes = 1;
    const std::vector<std::uint32_t> bw = {0x000000, 0xFFFFFF};
    t.push_back({"byterun1_run_overruns_body_chunk",
                 IlbmBuilder().Bmhd(line).Cmap(bw).Chunk("BODY", {0x7F, 0xAA}).Camg(4).Build(),
                 {0, 1, -1, 16, 1, 1},
                 {{0, 0, 0xFFFFFF}, {1, 0, 0}, {7, 0, 0}, {9, 0, 0xFFFFFF}, {14, 0, 0xFFFFFF}},
                 kLaterCamgRead});

    // Two BODYs: rows 1-2 from the second, rows 3-4 read past the file's end: value 0.
    t.push_back({"two_bodies_second_shorter",
                 Front().Body(Body()).Body(Body(1, 2)).Build(),
                 kDecoded,
                 {{0, 0, kPal[1]}, {5, 1, kPal[3]}, {10, 2, kPal[0]}, {15, 3, kPal[0]}}});
    const Bytes bodyFirst = IlbmBuilder().Body(Body()).Bmhd(Header()).Cmap(kPalette).Build();
    t.push_back({"body_before_bmhd", bodyFirst, kNoBody});
    // A reused record keeps nothing of the earlier picture: no Bitplanes, so no BODY.
    t.push_back({"body_before_bmhd_reused_record", bodyFirst, kNoBody, {}, nullptr, true});

    // The other kinds. Plane 1 missing: pixel values keep only plane 0's bit.
    std::vector<Pixel> planeZeroOnly = kGood;
    for (Pixel &p : planeZeroOnly)
        p.colour = kPal[((p.x + p.y) % 4) & 1];
    BmhdFields plain = Header();
    plain.Packtype = 0;
    const Bytes abit = AbitData(Image());
    t.push_back({"abit_short_second_plane_missing",
                 IlbmBuilder()
                     .FormType("ACBM")
                     .Bmhd(plain)
                     .Cmap(kPalette)
                     .Chunk("ABIT", Bytes(abit.begin(), abit.begin() + 8), 16)
                     .Build(),
                 kDecoded, planeZeroOnly});
    BmhdFields vertical = Header();
    vertical.Packtype = 2;
    Bytes vdat = VdatBodyData(Image(), 1);
    const Bytes bad = SubChunk("VDAT", VdatData(std::vector<std::uint8_t>{0xFE, 0x02},
                                                std::vector<std::uint16_t>{1, 2, 3}, 0x7FFF));
    vdat.insert(vdat.end(), bad.begin(), bad.end());
    t.push_back({"vdat_count_past_chunk_plane_left_0",
                 IlbmBuilder().Bmhd(vertical).Cmap(kPalette).Body(vdat).Build(), kDecoded,
                 planeZeroOnly});
    const Bytes rows = PbmBodyData(Image(), false);
    const Bytes pbm = IlbmBuilder()
                          .FormType("PBM ")
                          .Bmhd(plain)
                          .Cmap(kPalette)
                          .Chunk("BODY", Bytes(rows.begin(), rows.begin() + 2 * 16), 4 * 16)
                          .Build();
    t.push_back({"pbm_rows_past_the_end_read_0",
                 pbm,
                 kDecoded,
                 {{0, 0, kPal[0]}, {5, 1, kPal[(5 + 1) % 4]}, {10, 2, kPal[0]}, {15, 3, kPal[0]}}});
    return t;
}

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, DefinedOutcome) {
    const HostileCase &c = GetParam();
    const Outcome &o = c.outcome;
    auto pic = std::make_unique<IFF_Picture>();
    if (c.reused) {
        ASSERT_EQ(LoadIffPictureFromMemory(*pic, kIntact, "/pics/first.iff", false), 1);
    }
    TempDir dir;
    const std::string bmp = dir / "out.bmp";
    const std::size_t before = held;
    peak = before;

    int error = 0, result = -1;
    try {
        result = LoadIffPictureFromMemory(*pic, c.file, "/pics/hostile.iff", true);
    } catch (const TambrelError &e) {
        error = e.Number;
    }
    ASSERT_EQ(error, o.error);
    if (error == 0) {
        EXPECT_EQ(result, o.result);
        EXPECT_EQ(pic->LoadResult, o.result);
        EXPECT_EQ(pic->BodyFound, o.body);
        EXPECT_EQ(pic->Width, o.width);
        EXPECT_EQ(pic->Height, o.height);
        if (c.extra)
            c.extra(*pic);
        int written = 0;
        try {
            WriteBitmapFile(*pic, bmp, pic->Width, pic->Height);
            written = FileExists(bmp) ? 1 : 0;
        } catch (const TambrelError &e) {
            written = e.Number;
        }
        EXPECT_EQ(written, o.bmp);
        EXPECT_EQ(dir.Entries().size(), written == 1 ? 1u : 0u) << "the BMP alone, no temporary";
        if (written == 1) {
            const Bytes file = ReadBytes(bmp);
            ASSERT_EQ(file.size(), 54 + 4 * std::size_t(o.width) * std::size_t(o.height));
            for (const Pixel &p : c.pixels) {
                const std::size_t at = 54 + 4 * std::size_t((o.height - 1 - p.y) * o.width + p.x);
                EXPECT_EQ(std::uint32_t{file[at + 2]} << 16 | file[at + 1] << 8 | file[at],
                          p.colour)
                    << "BMP " << p.x << "," << p.y;
            }
        }
    }
    // Nothing beyond the pixel buffers of the file's own small picture.
    EXPECT_LT(peak - before, std::size_t{16} << 20);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFiles, ::testing::ValuesIn(Cases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
