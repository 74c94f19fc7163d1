// The chunk walk: FORM check, chunk orders, wrong sizes, debug log (damage: tests/reliability).
#include "test_util.h"

#include <map>
#include <sstream>

namespace tambrel::test {
namespace {

const std::vector<std::uint32_t> kGrey = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};

// A HAM6 picture's chunks BMHD, CMAP, CAMG, BODY (suffix "p" packed, "+n" n spare bytes),
// BODY2 another's; other ids: unknown chunks of that size; "F" FORM size over 2^31, JUNK garbage.
struct OrderCase {
    const char *name;
    ref::Mode mode; // Palette: no CAMG counts, the rows are resolved as palette rows
    const char *chunks;
};

const OrderCase kOrders[] = {
    {"UnknownChunksOddAndEmpty", ref::Mode::Palette, "ANNO5 BMHD bmhd20 NAME0 CMAP GRAB3 BODY"},
    {"CmapAndCamgAfterBody", ref::Mode::Ham6, "BMHDp BODYp CMAP CAMG"},
    {"TwoBodiesCamgBetween", ref::Mode::Ham6, "BMHD CMAP BODY2 CAMG BODY"},
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
    for (const char *bad : {"FORX", "ILBX", "PBMX", "8SVX"}) {
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
    // A BODY whose runs overrun it: the last row reads into the next chunk, still handled.
    Bytes body = BodyData(img, true);
    body.resize(body.size() - 3);
    IlbmBuilder b;
    b.Bmhd(HeaderFor(img, true)).Chunk("CMAP", cmap98).Body(body).Camg(0x800);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, b.Cmap(TestColours(16)).Build()), 1);
    EXPECT_EQ(pic.Palette[32], (TestColours(33)[32] & 0xFFFF00) | 'B');
    EXPECT_EQ(pic.DisplayMode, 2);
    for (int y = 0; y < img.Height - 1; ++y)
        EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << y;
}

// The log's start and end for a compressed picture; without the log only its two empty lines.
TEST(DebugLog, StartAndEndLines) {
    const ChunkyImage img = Pattern(16, 2, 1);
    IlbmBuilder b;
    b.Bmhd(HeaderFor(img, true)).Camg(0).Ctbl(std::vector<std::array<std::uint16_t, 16>>(2));
    const Bytes file = b.Chunk("ANNO", Bytes(3, 'a')).Body(BodyData(img, true)).Build();
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, file, true), 1);
    const std::vector<std::string> &log = pic.DebugLog;
    ASSERT_GT(log.size(), 15u);
    EXPECT_EQ(
        std::vector<std::string>(log.begin(), log.begin() + 6),
        (std::vector<std::string>{"", "", "[BMHD]", "FileSize:" + std::to_string(file.size() - 8),
                                  "Header Size:20", "Width  :16    "}));
    EXPECT_EQ(std::vector<std::string>(log.end() - 10, log.end()),
              (std::vector<std::string>{"CBM AMIGA mode ID value", "Dynamic Palette Data found",
                                        "Skipping Unknown Section ", "BodyFound",
                                        "Working on Compressed Body", "Depacked Scanline: 1",
                                        "p2C Scanline: 1", "Depacked Scanline: 2",
                                        "p2C Scanline: 2", "Depack of Body Done"}));
    ASSERT_EQ(LoadBytes(pic, file, false), 1);
    EXPECT_EQ(pic.DebugLog, (std::vector<std::string>{"", ""}));
}

} // namespace
} // namespace tambrel::test
