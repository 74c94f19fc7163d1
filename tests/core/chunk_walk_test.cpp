// The chunk walk: FORM check, chunk orders, sizes that disagree with the
// content, truncated files, oversized fields and the debug log.
#include "common/errors.h"
#include "test_util.h"

#include <map>
#include <sstream>

namespace tambrel::test {
namespace {

Bytes Chunks(std::initializer_list<std::pair<const char *, Bytes>> list) {
    IlbmBuilder b;
    for (const auto &[id, data] : list)
        b.Chunk(id, data);
    return b.Build();
}

const std::vector<std::uint32_t> kGrey = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};

// Each case lists the chunks of a file around one HAM6 picture: "BMHD",
// "CMAP", "CAMG" (0x800) and "BODY" truthful, "+n" adds n spare bytes,
// "p" the ByteRun1 BMHD or BODY, "BODY2" another picture's BODY; other ids
// are unknown chunks of the given size. A leading "F" gives the FORM a size
// above 2^31, a trailing "JUNK" adds garbage after the last chunk.
struct OrderCase {
    const char *name;
    ref::Mode mode; // Palette: no CAMG counts, the rows are resolved as palette rows
    const char *chunks;
};

const OrderCase kOrders[] = {
    {"UnknownChunksOddAndEmpty", ref::Mode::Palette, "ANNO5 BMHD bmhd20 NAME0 CMAP GRAB3 BODY"},
    {"CmapAndCamgAfterBody", ref::Mode::Ham6, "BMHDp BODYp CMAP CAMG"},
    {"TwoBodiesCamgBetween", ref::Mode::Ham6, "BMHD CMAP BODY2 CAMG BODY"},
    {"TwoBodiesCamgAfter", ref::Mode::Ham6, "BMHD CMAP BODY2 BODY CAMG"},
    {"BmhdAfterCamgCancelsIt", ref::Mode::Palette, "CAMG BMHD CMAP BODY"},
    {"BmhdAfterCamgThenCamgAfterBody", ref::Mode::Ham6, "CAMG BMHD CMAP BODY CAMG"},
    {"BmhdOfTwentyFourBytes", ref::Mode::Ham6, "BMHD+4 CMAP CAMG BODY"},
    {"CamgOfEightBytes", ref::Mode::Ham6, "BMHD CAMG+4 CMAP BODY"},
    {"CmapOfOddSize", ref::Mode::Ham6, "BMHD CMAP+1 CAMG BODY"},
    {"PlainBodyWithSpareBytesThenCmap", ref::Mode::Palette, "BMHD BODY+3 CMAP"},
    {"PackedBodyWithSpareBytesThenCamg", ref::Mode::Ham6, "BMHDp CMAP BODYp+7 CAMG"},
    {"FormSizeAboveTwoToThe31", ref::Mode::Palette, "F BMHD CMAP BODY"},
    {"TrailingGarbage", ref::Mode::Ham6, "BMHD CMAP CAMG BODY JUNK"},
};

TEST(ChunkWalk, OrdersAndSizesAllDecode) {
    const ChunkyImage img = Pattern(13, 4, 6, 5);
    const auto colours = TestColours(16);
    const std::map<std::string, Bytes> pieces = {{"BMHD", BmhdData(HeaderFor(img, false))},
                                                 {"BMHDp", BmhdData(HeaderFor(img, true))},
                                                 {"CMAP", CmapData(colours)},
                                                 {"CAMG", CamgData(0x800)},
                                                 {"BODY", BodyData(img, false)},
                                                 {"BODYp", BodyData(img, true)},
                                                 {"BODY2", BodyData(Pattern(13, 4, 6, 99), false)}};
    for (const OrderCase &c : kOrders) {
        SCOPED_TRACE(c.name);
        IlbmBuilder b;
        std::istringstream in(c.chunks);
        for (std::string word; in >> word;) {
            const std::size_t plus = word.find('+');
            const std::string id = word.substr(0, plus);
            if (id == "F") {
                b.FormSize(0xFFFFFFF0u);
            } else if (id == "JUNK") {
                b.Chunk("JUNK", Bytes{1, 2, 3}, 0x80000000u);
            } else if (pieces.count(id)) {
                Bytes data = pieces.at(id);
                data.resize(data.size() +
                                (plus == std::string::npos ? 0 : std::stoul(word.substr(plus + 1))),
                            0x81);
                b.Chunk(id.substr(0, 4), data);
            } else {
                b.Chunk(id.substr(0, 4), Bytes(std::stoul(id.substr(4)), 'x'));
            }
        }
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        EXPECT_EQ(pic.BodyFound, -1);
        EXPECT_EQ(pic.DisplayMode, c.mode == ref::Mode::Ham6 ? 2 : 0);
        ExpectPicture(pic, img, c.mode, ref::PaletteFrom(colours, false));
    }
}

TEST(ChunkWalk, NotFormIlbmLeavesEarlierPictureInPlace) {
    const ChunkyImage img = Pattern(9, 3, 2);
    for (const char *bad : {"FORX", "ILBX"}) {
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, BuildSimple({img, kGrey, 0u, false})), 1);
        IlbmBuilder b;
        (bad[0] == 'F' ? b.FormId(bad) : b.FormType(bad)).Bmhd(HeaderFor(img, false));
        EXPECT_EQ(LoadBytes(pic, b.Build()), 0) << bad;
        EXPECT_EQ(pic.PictureLoaded, 1);
        EXPECT_EQ(pic.PixelIndices(1, 1), img.At(1, 0));
    }
    IFF_Picture empty;
    EXPECT_EQ(LoadBytes(empty, Bytes{'F', 'O', 'R'}), 0);
}

TEST(ChunkWalk, WalkResumesAtChunkEndAfterAnOverrunningHandler) {
    const ChunkyImage img = Pattern(16, 4, 6, 2);
    // CMAP of 98 bytes: 33 colours, the last one's blue is the next chunk's first byte ("B").
    Bytes cmap98 = CmapData(TestColours(33));
    cmap98.pop_back();
    // A BODY whose runs need more bytes than the chunk holds: the last row
    // reads into the next chunk, which is still handled.
    Bytes body = BodyData(img, true);
    body.resize(body.size() - 3);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Chunks({{"BMHD", BmhdData(HeaderFor(img, true))},
                                     {"CMAP", cmap98},
                                     {"BODY", body},
                                     {"CAMG", CamgData(0x800)},
                                     {"CMAP", CmapData(TestColours(16))}})),
              1);
    EXPECT_EQ(pic.Palette[32], (TestColours(33)[32] & 0xFFFF00) | 'B');
    EXPECT_EQ(pic.DisplayMode, 2);
    for (int y = 0; y < img.Height - 1; ++y)
        EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << y;
}

TEST(ChunkWalk, ExcessColoursAndTableLinesDropped) {
    const ChunkyImage img = Pattern(8, 2, 8, 1);
    const auto cmap = TestColours(300);
    std::vector<std::array<std::uint16_t, 16>> lines(9);
    for (int n = 0; n < 9; ++n)
        lines[n].fill(static_cast<std::uint16_t>(n));
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Chunks({{"BMHD", BmhdData(HeaderFor(img, false))},
                                     {"CMAP", CmapData(cmap)},
                                     {"CTBL", CtblData(lines)},
                                     {"CAMG", CamgData(0x4)},
                                     {"BODY", BodyData(img, false)}})),
              1);
    for (int i = 0; i <= 256; ++i)
        ASSERT_EQ(pic.FilePalette[i], cmap[i]) << i;
    ASSERT_EQ(pic.LinePalettes.Rows(), 3u);
    EXPECT_EQ(pic.LinePalettes(0, 2), 0x20u);
    EXPECT_EQ(pic.Interlaced, 1); // the CAMG after them is still read
    EXPECT_EQ(pic.BodyFound, -1);
}

TEST(ChunkWalk, SizesPastTheEndEndTheWalk) {
    const ChunkyImage img = Pattern(8, 2, 1);
    for (std::uint32_t size : {0x80000000u, 0xFFFFFFFFu, 1000u}) {
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, false))
            .Chunk("ANNO", Bytes(4, 'a'), size)
            .Cmap(kGrey)
            .Body(BodyData(img, false));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1) << size;
        EXPECT_EQ(pic.Width, 8);
        EXPECT_EQ(pic.BodyFound, 0) << size; // the BODY lies beyond the skip
    }
    // Known chunks with such sizes read what the file holds (zeros past it) and end the walk.
    for (const char *id : {"CMAP", "CTBL", "CAMG", "BODY"}) {
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, true)).Chunk(id, Bytes(6, 0x21), 0xFFFFFFF0u);
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1) << id;
        if (std::string(id) == "CMAP") {
            EXPECT_EQ(pic.Palette[1], 0x212121u);
            EXPECT_EQ(pic.Palette[2], 0x000000u);
        }
    }
}

TEST(ChunkWalk, TruncatedBodyGivesHeldRowsAndZerosBelow) {
    const ChunkyImage img = Pattern(24, 6, 3, 6);
    ChunkyImage top = img;
    top.Height = 3;
    top.Pixels.resize(24 * 3);
    for (bool packed : {false, true}) {
        const Bytes held = BodyData(top, packed);
        Bytes file = BuildSimple({img, kGrey, 0u, packed});
        const Bytes id = {'B', 'O', 'D', 'Y'};
        const auto at = std::search(file.begin(), file.end(), id.begin(), id.end());
        file.resize(static_cast<std::size_t>(at - file.begin()) + 8 + held.size());
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file), 1);
        EXPECT_EQ(pic.BodyFound, -1);
        for (int y = 0; y < 6; ++y)
            EXPECT_EQ(IndexRow(pic, y), y < 3 ? ImageRow(img, y) : std::vector<std::uint8_t>(24, 0))
                << packed << " row " << y;
    }
    // A file that ends inside the BMHD reads zeros for the rest.
    Bytes f = BuildSimple({img, kGrey, 0u, false});
    f.resize(12 + 8 + 3);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, f), 1);
    EXPECT_EQ(pic.Width, 24);
    EXPECT_EQ(pic.Height, 0);
}

TEST(ChunkWalk, BodyBeforeBmhdOrUnusablePlaneCountNotDecoded) {
    const ChunkyImage img = Pattern(8, 2, 1);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Chunks({{"BODY", BodyData(img, false)},
                                     {"BMHD", BmhdData(HeaderFor(img, false))}})),
              1);
    EXPECT_EQ(pic.BodyFound, 0);
    for (int planes : {0, 9, 25}) {
        BmhdFields f = HeaderFor(img, false);
        f.Bitplanes = static_cast<std::uint8_t>(planes);
        IFF_Picture p;
        ASSERT_EQ(LoadBytes(p, Chunks({{"BMHD", BmhdData(f)}, {"BODY", Bytes(2 * 2 * 24, 0xFF)}})),
                  1);
        EXPECT_EQ(p.BodyFound, 0) << planes;
    }
}

TEST(ChunkWalk, TooLargePictureRefusedBeforeAllocating) {
    for (std::uint16_t side : {65535, 32768}) {
        BmhdFields f;
        f.Width = f.Height = side;
        f.Bitplanes = 1;
        f.Packtype = 1;
        IFF_Picture pic;
        try {
            LoadBytes(pic, Chunks({{"BMHD", BmhdData(f)}, {"BODY", Bytes{0x81, 0}}}));
            ADD_FAILURE() << "no error for " << side;
        } catch (const TambrelError &e) {
            EXPECT_EQ(e.Number, kErrOutOfMemory);
        }
        EXPECT_TRUE(pic.PixelColours.Empty());
    }
}

TEST(ChunkWalk, MissingFileThrowsAndLeadingBlankKept) {
    TempDir dir;
    IFF_Picture pic;
    EXPECT_THROW(LoadIffPicture(pic, dir / "absent.iff", false), TambrelError);
    const std::string path = dir / " cat.ilbm.iff";
    WriteBytes(path, BuildSimple({Pattern(8, 2, 1), kGrey, 0u, false}));
    ASSERT_EQ(LoadIffPicture(pic, path, false), 1);
    EXPECT_EQ(pic.PictureName, " cat.ilbm");
    EXPECT_EQ(pic.LoadedName, " cat.ilbm");
}

TEST(DebugLog, PlainAndCompressedLinesExactly) {
    const ChunkyImage img = Pattern(16, 2, 1);
    BmhdFields f = HeaderFor(img, false);
    f.Xpos = 3, f.Ypos = 4, f.TransparentColour = 5, f.PageWidth = 320, f.PageHeight = 200;
    const auto expectLog = [&](const Bytes &file, std::initializer_list<const char *> tail) {
        auto n = [](long v) { return std::to_string(v); };
        std::vector<std::string> expected = {"",
                                             "",
                                             "[BMHD]",
                                             "FileSize:" + n(static_cast<long>(file.size()) - 8),
                                             "Header Size:20",
                                             "Width  :" + n(f.Width) + "    ",
                                             "Height :" + n(f.Height) + "    ",
                                             "Pixels :" + n(long{f.Width} * f.Height),
                                             "xpos" + n(f.Xpos) + "   ",
                                             "ypos" + n(f.Ypos),
                                             "Bitplanes" + n(f.Bitplanes),
                                             "Masking" + n(f.Masking),
                                             "Packtype" + n(f.Packtype),
                                             "XaspectRatio" + n(f.XaspectRatio) + "    ",
                                             "YaspectRatio" + n(f.YaspectRatio),
                                             "TransparentColour" + n(f.TransparentColour),
                                             "Width2  :" + n(f.PageWidth),
                                             "Height2 :" + n(f.PageHeight)};
        expected.insert(expected.end(), tail.begin(), tail.end());
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file, true), 1);
        EXPECT_EQ(pic.DebugLog, expected);
        ASSERT_EQ(LoadBytes(pic, file, false), 1);
        EXPECT_EQ(pic.DebugLog, (std::vector<std::string>{"", ""}));
    };
    IlbmBuilder plain;
    expectLog(plain.Bmhd(f).Cmap(kGrey).Body(BodyData(img, false)).Build(),
              {"Palette Found", "BodyFound", "Row: 1", "Row: 2", "Done"});
    f.Packtype = 2; // any non-zero Packtype is ByteRun1
    IlbmBuilder packed;
    packed.Bmhd(f).Camg(0).Ctbl(std::vector<std::array<std::uint16_t, 16>>(2));
    expectLog(packed.Chunk("ANNO", Bytes(3, 'a')).Body(BodyData(img, true)).Build(),
              {"CBM AMIGA mode ID value", "Dynamic Palette Data found", "Skipping Unknown Section ",
               "BodyFound", "Working on Compressed Body", "Depacked Scanline: 1", "p2C Scanline: 1",
               "Depacked Scanline: 2", "p2C Scanline: 2", "Depack of Body Done"});
}

} // namespace
} // namespace tambrel::test
