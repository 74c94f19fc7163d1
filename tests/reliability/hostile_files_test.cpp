// Hostile files: every one has a defined, documented outcome (docs/hostile-files.md).
// The table gives, for each file, what the load does (result or the error it
// raises), BodyFound, Width and Height, whether a BMP is written (or the error
// its writer raises) and the colours of a few pixels in the record and the BMP.
// Every case also stays within a small memory bound.
#include "app/common/declarations.h"
#include "decoder/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "tests/reliability/alloc_probe.h"
#include "tests/reliability/hostile_support.h"
#include "tests/support/ilbm_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

using namespace tambrel;
using namespace tambrel::test;

namespace {

constexpr std::uint32_t kPal[4] = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF};
constexpr std::size_t kMiB = std::size_t{1} << 20;

std::vector<std::uint32_t> Palette4() {
    return {kPal, kPal + 4};
}

// 16 x 4, 2 planes; pixel value (x + y + shift) mod 4.
ChunkyImage Image(int shift = 0, int width = 16, int height = 4) {
    ChunkyImage img(width, height, 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            img.At(x, y) = static_cast<std::uint8_t>((x + y + shift) % 4);
        }
    }
    return img;
}

BmhdFields Header(bool packed = true) {
    return HeaderFor(Image(), packed);
}
Bytes Body(bool packed = true, int shift = 0) {
    return BodyData(Image(shift), packed);
}

// BMHD, CMAP, CAMG 0, BODY: the intact picture the cases spoil one way each.
IlbmBuilder &Front(IlbmBuilder &b) {
    return b.Bmhd(Header()).Cmap(Palette4()).Camg(0);
}
Bytes Intact() {
    IlbmBuilder b;
    return Front(b).Body(Body()).Build();
}

struct Pixel {
    int x, y; // picture pixel, y from the top from 0
    std::uint32_t colour;
};

std::vector<Pixel> Good(int shift = 0) {
    std::vector<Pixel> p;
    for (auto [x, y] : {std::pair{0, 0}, {5, 1}, {10, 2}, {15, 3}}) {
        p.push_back({x, y, kPal[(x + y + shift) % 4]});
    }
    return p;
}

std::vector<Pixel> AllOf(std::uint32_t colour) {
    return {{0, 0, colour}, {7, 1, colour}, {15, 3, colour}};
}

enum Bmp : int { kNoBmp = 0, kBmpWritten = 1 }; // other values: the writer's error number

struct HostileCase {
    std::string name;
    std::function<Bytes()> build;
    int result;    // 0 or 1 (ignored when the load raises an error)
    int loadError; // TambrelError number raised by the load, 0 for none
    int bodyFound;
    int width, height;
    int bmp;
    std::vector<Pixel> pixels;
    std::function<void(const IFF_Picture &)> extra = nullptr;
    bool reused = false; // loaded into a record that held the intact picture before
};

std::ostream &operator<<(std::ostream &os, const HostileCase &c) {
    return os << c.name;
}

std::vector<HostileCase> Cases() {
    std::vector<HostileCase> t;
    auto add = [&](HostileCase c) { t.push_back(std::move(c)); };

    add({"intact", Intact, 1, 0, -1, 16, 4, kBmpWritten, Good()});

    // FORM sizes.
    add({"form_size_larger_than_file",
         [] {
             IlbmBuilder b;
             return Front(b).Body(Body()).FormSize(0xFFFFFFFF).Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good()});
    add({"form_size_0_reads_only_first_chunk",
         [] {
             IlbmBuilder b;
             return Front(b).Body(Body()).FormSize(0).Build();
         },
         1,
         0,
         0,
         16,
         4,
         kNoBmp,
         {}});
    add({"form_size_ends_before_body",
         [] {
             IlbmBuilder head;
             const std::uint32_t bodyAt = static_cast<std::uint32_t>(Front(head).Build().size());
             IlbmBuilder b;
             return Front(b).Body(Body()).FormSize(bodyAt).Build();
         },
         1,
         0,
         0,
         16,
         4,
         kNoBmp,
         {}});
    add({"body_of_size_0_at_form_end_is_not_reached",
         [] {
             IlbmBuilder b;
             return Front(b).Chunk("BODY", {}).Build();
         },
         1,
         0,
         0,
         16,
         4,
         kNoBmp,
         {}});
    add({"not_form",
         [] { return IlbmBuilder().Bmhd(Header()).FormId("LIST").Build(); },
         0,
         0,
         0,
         0,
         0,
         kNoBmp,
         {}});
    add({"not_ilbm",
         [] { return IlbmBuilder().Bmhd(Header()).FormType("PBM ").Build(); },
         0,
         0,
         0,
         0,
         0,
         kNoBmp,
         {}});
    add({"empty_file", [] { return Bytes{}; }, 0, 0, 0, 0, 0, kNoBmp, {}});

    // Chunk sizes.
    add({"unknown_chunk_size_0",
         [] {
             IlbmBuilder b;
             return Front(b).Chunk("ANNO", {}).Body(Body()).Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good()});
    add({"unknown_chunk_odd_size_with_pad",
         [] {
             IlbmBuilder b;
             return Front(b).Chunk("ANNO", {1, 2, 3, 4, 5}).Body(Body()).Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good()});
    add({"bmhd_odd_size_21",
         [] {
             Bytes h = BmhdData(Header());
             h.push_back(0x77);
             return IlbmBuilder().Chunk("BMHD", h).Cmap(Palette4()).Camg(0).Body(Body()).Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good()});
    add({"cmap_odd_size_without_pad_loses_the_rest",
         [] {
             Bytes c = CmapData(Palette4());
             c.resize(7);
             return IlbmBuilder()
                 .Bmhd(Header())
                 .Chunk("CMAP", c, std::nullopt, false)
                 .Camg(0)
                 .Body(Body())
                 .Build();
         },
         1,
         0,
         0,
         16,
         4,
         kNoBmp,
         {}});
    add({"body_with_spare_bytes_after_rows",
         [] {
             Bytes body = Body();
             body.insert(body.end(), {0, 0, 0, 0, 0, 0});
             IlbmBuilder b;
             return Front(b).Body(body).Camg(0x4).Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good(),
         [](const IFF_Picture &p) {
             EXPECT_EQ(p.Interlaced, 1) << "the CAMG after the padded BODY was read";
         }});
    for (std::uint32_t size : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const std::string hex = size == 0x7FFFFFFF ? "7fffffff" : "ffffffff";
        add({"unknown_chunk_size_" + hex + "_ends_walk",
             [size] {
                 IlbmBuilder b;
                 return Front(b).Chunk("ANNO", {1, 2}, size).Body(Body()).Build();
             },
             1,
             0,
             0,
             16,
             4,
             kNoBmp,
             {}});
        add({"body_size_" + hex,
             [size] {
                 IlbmBuilder b;
                 return Front(b).Chunk("BODY", Body(), size).Build();
             },
             1, 0, -1, 16, 4, kBmpWritten, Good()});
        add({"bmhd_size_" + hex,
             [size] {
                 return IlbmBuilder()
                     .Chunk("BMHD", BmhdData(Header()), size)
                     .Cmap(Palette4())
                     .Body(Body())
                     .Build();
             },
             1,
             0,
             0,
             16,
             4,
             kNoBmp,
             {}});
        add({"cmap_size_" + hex,
             [size] {
                 return IlbmBuilder()
                     .Bmhd(Header())
                     .Chunk("CMAP", CmapData(Palette4()), size)
                     .Body(Body())
                     .Build();
             },
             1,
             0,
             0,
             16,
             4,
             kNoBmp,
             {},
             [](const IFF_Picture &p) {
                 EXPECT_EQ(p.Palette[3], kPal[3]);
                 EXPECT_EQ(p.Palette[4], 0x424F44u) << "the next chunk's bytes as colour 4";
             }});
        add({"ctbl_size_" + hex,
             [size] {
                 std::vector<std::array<std::uint16_t, 16>> lines(1);
                 IlbmBuilder b;
                 return Front(b).Chunk("CTBL", CtblData(lines), size).Body(Body()).Build();
             },
             1,
             0,
             0,
             16,
             4,
             kNoBmp,
             {}});
    }

    // BMHD values.
    add({"width_0",
         [] {
             BmhdFields f = Header();
             f.Width = 0;
             return IlbmBuilder().Bmhd(f).Cmap(Palette4()).Camg(0).Body(Body()).Build();
         },
         1,
         0,
         -1,
         0,
         4,
         kNoBmp,
         {}});
    add({"height_0",
         [] {
             BmhdFields f = Header();
             f.Height = 0;
             return IlbmBuilder().Bmhd(f).Cmap(Palette4()).Camg(0).Body(Body()).Build();
         },
         1,
         0,
         -1,
         16,
         0,
         kNoBmp,
         {}});
    for (auto [w, h] : {std::pair{65535, 65535}, {65535, 16383}, {32768, 32768}}) {
        add({"size_" + std::to_string(w) + "x" + std::to_string(h) + "_tiny_body_refused",
             [w, h] {
                 BmhdFields f = Header();
                 f.Width = static_cast<std::uint16_t>(w);
                 f.Height = static_cast<std::uint16_t>(h);
                 return IlbmBuilder().Bmhd(f).Cmap(Palette4()).Camg(0).Body({0x81, 0}).Build();
             },
             0,
             kErrOutOfMemory,
             0,
             0,
             0,
             kNoBmp,
             {}});
    }
    add({"huge_bmhd_after_body_refuses_bmp",
         [] {
             BmhdFields f = Header();
             f.Width = 65535;
             f.Height = 65535;
             IlbmBuilder b;
             return Front(b).Body(Body()).Bmhd(f).Build();
         },
         1,
         0,
         -1,
         65535,
         65535,
         kErrOutOfMemory,
         {},
         [](const IFF_Picture &p) {
             EXPECT_EQ(p.PixelColours.Columns(), 17u) << "buffers of the decoded BODY kept";
             EXPECT_EQ(p.PixelColours(5, 2), kPal[(5 + 1) % 4]);
         }});
    for (int planes : {0, 9, 24, 255}) {
        add({"bitplanes_" + std::to_string(planes) + "_body_not_decoded",
             [planes] {
                 BmhdFields f = Header();
                 f.Bitplanes = static_cast<std::uint8_t>(planes);
                 return IlbmBuilder().Bmhd(f).Cmap(Palette4()).Camg(0).Body(Body()).Build();
             },
             1,
             0,
             0,
             16,
             4,
             kNoBmp,
             {},
             [planes](const IFF_Picture &p) {
                 EXPECT_EQ(p.Bitplanes, planes);
                 EXPECT_TRUE(p.PixelColours.Empty());
             }});
    }

    // CMAP sizes.
    auto withCmap = [](Bytes cmap) {
        return [cmap] {
            return IlbmBuilder().Bmhd(Header()).Chunk("CMAP", cmap).Camg(0).Body(Body()).Build();
        };
    };
    add({"cmap_0_bytes", withCmap({}), 1, 0, -1, 16, 4, kBmpWritten, AllOf(0)});
    add({"cmap_1_byte_no_colour", withCmap({0x11}), 1, 0, -1, 16, 4, kBmpWritten, AllOf(0)});
    // Two bytes make one colour: its blue is the first byte of the next chunk ("C" of CAMG).
    add({"cmap_2_bytes_one_colour",
         withCmap({0x11, 0x22}),
         1,
         0,
         -1,
         16,
         4,
         kBmpWritten,
         {{0, 0, 0x112243}, {4, 0, 0x112243}, {1, 0, 0}, {2, 0, 0}}});
    {
        std::vector<std::uint32_t> many = Palette4();
        for (std::uint32_t i = 4; i < 300; ++i) {
            many.push_back(i * 0x010203u);
        }
        add({"cmap_300_colours_excess_dropped", withCmap(CmapData(many)), 1, 0, -1, 16, 4,
             kBmpWritten, Good(), [](const IFF_Picture &p) {
                 EXPECT_EQ(p.Palette[256], (256 * 0x010203u) & 0xFFFFFF);
             }});
    }

    // CTBL and CAMG.
    add({"ctbl_before_bmhd_cancelled",
         [] {
             std::vector<std::array<std::uint16_t, 16>> lines(4);
             for (auto &l : lines) {
                 l.fill(0x0FFF);
             }
             return IlbmBuilder()
                 .Ctbl(lines)
                 .Bmhd(Header())
                 .Cmap(Palette4())
                 .Camg(0)
                 .Body(Body())
                 .Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good(),
         [](const IFF_Picture &p) { EXPECT_EQ(p.DynamicPalette, 0); }});
    {
        // Ten lines for a picture of four rows; line n colour c is 0x0RGB = n, c, n + c.
        std::vector<std::array<std::uint16_t, 16>> lines(10);
        for (std::size_t n = 0; n < lines.size(); ++n) {
            for (std::size_t c = 0; c < 16; ++c) {
                lines[n][c] = static_cast<std::uint16_t>(n << 8 | c << 4 | ((n + c) & 15));
            }
        }
        std::vector<Pixel> pixels;
        for (auto [x, y] : {std::pair{0, 0}, {5, 1}, {10, 2}, {15, 3}}) {
            pixels.push_back({x, y, ref::CtblColour(lines[y][(x + y) % 4])});
        }
        add({"ctbl_longer_than_picture",
             [lines] {
                 IlbmBuilder b;
                 return Front(b).Ctbl(lines).Body(Body()).Build();
             },
             1, 0, -1, 16, 4, kBmpWritten, pixels,
             [](const IFF_Picture &p) { EXPECT_EQ(p.LinePalettes.Rows(), 5u); }});
    }
    add({"camg_0_bytes_reads_next_header",
         [] {
             return IlbmBuilder()
                 .Bmhd(Header())
                 .Cmap(Palette4())
                 .Chunk("CAMG", {})
                 .Body(Body())
                 .Build();
         },
         1, 0, -1, 16, 4, kBmpWritten, Good(),
         [](const IFF_Picture &p) {
             EXPECT_EQ(p.ModeId, 0x424F4459u) << "\"BODY\" taken as the mode";
             EXPECT_EQ(p.DisplayMode, 1);
         }});

    // ByteRun1 streams.
    add({"byterun1_file_ends_inside_run",
         [] {
             // Rows 1 and 2 whole, then row 3's first run cut after its control byte.
             const Bytes full = Intact();
             const auto chunks = ChunksOf(full);
             const std::size_t data = chunks.back().Offset + 8;
             const auto ends = RowEnds(full, data, 4, 2, 2, true);
             return Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(ends[1]) + 1);
         },
         1,
         0,
         -1,
         16,
         4,
         kBmpWritten,
         {{0, 0, kPal[0]}, {6, 1, kPal[3]}, {3, 2, kPal[0]}, {14, 3, kPal[0]}}});
    add({"byterun1_run_overruns_body_chunk",
         [] {
             // 16 x 1, one plane: a literal run of 128 bytes with one byte in the chunk.
             BmhdFields f;
             f.Width = 16;
             f.Height = 1;
             f.Bitplanes = 1;
             f.Packtype = 1;
             const std::vector<std::uint32_t> bw = {0x000000, 0xFFFFFF};
             return IlbmBuilder().Bmhd(f).Cmap(bw).Chunk("BODY", {0x7F, 0xAA}).Camg(0x4).Build();
         },
         1,
         0,
         -1,
         16,
         1,
         kBmpWritten,
         // 0xAA, then "C" (0x43) of the CAMG header.
         {{0, 0, 0xFFFFFF}, {1, 0, 0}, {7, 0, 0}, {9, 0, 0xFFFFFF}, {14, 0, 0xFFFFFF}},
         [](const IFF_Picture &p) { EXPECT_EQ(p.Interlaced, 1) << "CAMG after it still read"; }});
    add({"two_bodies_second_shorter",
         [] {
             const Bytes second = Body(true, 1);
             const auto ends = RowEnds(second, 0, 4, 2, 2, true);
             IlbmBuilder b;
             return Front(b)
                 .Body(Body())
                 .Body(Bytes(second.begin(), second.begin() + static_cast<std::ptrdiff_t>(ends[1])))
                 .Build();
         },
         1,
         0,
         -1,
         16,
         4,
         kBmpWritten,
         // Rows 1-2 from the second BODY, rows 3-4 read past the file's end: value 0.
         {{0, 0, kPal[1]}, {5, 1, kPal[3]}, {10, 2, kPal[0]}, {15, 3, kPal[0]}}});
    add({"body_before_bmhd",
         [] { return IlbmBuilder().Body(Body()).Bmhd(Header()).Cmap(Palette4()).Camg(0).Build(); },
         1,
         0,
         0,
         16,
         4,
         kNoBmp,
         {}});
    // A reused record still holds the earlier picture's Bitplanes: the BODY is
    // met before any size is known and decodes to nothing; the BMP is black.
    add({"body_before_bmhd_reused_record",
         [] { return IlbmBuilder().Body(Body()).Bmhd(Header()).Cmap(Palette4()).Camg(0).Build(); },
         1, 0, -1, 16, 4, kBmpWritten, AllOf(0), nullptr, true});
    return t;
}

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, DefinedOutcome) {
    const HostileCase &c = GetParam();
    const Bytes bytes = c.build();
    auto pic = std::make_unique<IFF_Picture>();
    if (c.reused) {
        ASSERT_EQ(LoadIffPictureFromMemory(*pic, Intact(), "/pics/first.iff", false), 1);
    }
    ScratchDir dir;
    const std::string bmp = dir / "out.bmp";
    const std::size_t rssBefore = PeakResidentBytes();
    ResetAllocationProbe();

    int error = 0;
    int result = -1;
    try {
        result = LoadIffPictureFromMemory(*pic, bytes, "/pics/hostile.iff", true);
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
            EXPECT_EQ(pic->PixelColours.ValueAt(p.x, p.y + 1), p.colour)
                << "pixel " << p.x << "," << p.y;
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
                EXPECT_EQ(BitmapPixel(file, p.x, p.y), p.colour)
                    << "BMP pixel " << p.x << "," << p.y;
            }
            EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bmp"});
        } else {
            EXPECT_TRUE(dir.Entries().empty()) << "no BMP and no temporary file";
        }
    }
    // Nothing beyond the pixel buffers of the file's own small picture.
    EXPECT_LT(LargestAllocation(), 4 * kMiB);
    EXPECT_LT(PeakHeldSinceReset(), 16 * kMiB);
    EXPECT_LT(PeakResidentBytes() - rssBefore, 64 * kMiB);
}

std::string CaseName(const ::testing::TestParamInfo<HostileCase> &info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFiles, ::testing::ValuesIn(Cases()), CaseName);

} // namespace
