// The chunk walk: FORM check, chunk orders, sizes that disagree with the
// content, truncated files, oversized fields and the debug log.
#include "decoder/errors.h"
#include "test_util.h"

namespace tambrel::test {
namespace {

const std::vector<std::uint32_t> kGrey = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};

// Expects the picture's pixel values and palette colours to be those of `img`.
void ExpectPalettePicture(const IFF_Picture &pic, const ChunkyImage &img,
                          const std::vector<std::uint32_t> &cmap) {
    ASSERT_EQ(pic.Width, img.Width);
    ASSERT_EQ(pic.Height, img.Height);
    const auto palette = ref::PaletteFrom(cmap, false);
    for (int y = 0; y < img.Height; ++y) {
        EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << "row " << y;
        EXPECT_EQ(ResolvedRow(pic, y), ref::RowColours(img, y, ref::Mode::Palette, palette))
            << "row " << y;
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
        EXPECT_EQ(pic.LoadStatus, 0);
        EXPECT_EQ(pic.BodyFound, 0);
        EXPECT_EQ(pic.PictureLoaded, 1); // unchanged
        EXPECT_EQ(pic.PixelIndices(0, 1), img.At(0, 0));
    }
    IFF_Picture empty;
    EXPECT_EQ(LoadBytes(empty, Bytes{'F', 'O', 'R'}), 0);
}

// Each entry builds a file around the same picture; all must decode it fully.
struct OrderCase {
    const char *name;
    Bytes (*build)(const ChunkyImage &img);
};

Bytes Chunks(std::initializer_list<std::pair<const char *, Bytes>> list) {
    IlbmBuilder b;
    for (const auto &[id, data] : list)
        b.Chunk(id, data);
    return b.Build();
}

const OrderCase kOrders[] = {
    {"UnknownChunksOddAndEmpty",
     [](const ChunkyImage &img) {
         return Chunks({{"ANNO", Bytes(5, 'x')},
                        {"BMHD", BmhdData(HeaderFor(img, false))},
                        {"bmhd", Bytes(20, 0xFF)},
                        {"DPI ", Bytes{}},
                        {"CMAP", CmapData(kGrey)},
                        {"GRAB", Bytes(3, 1)},
                        {"BODY", BodyData(img, false)}});
     }},
    {"CmapAfterBody",
     [](const ChunkyImage &img) {
         return Chunks({{"BMHD", BmhdData(HeaderFor(img, true))},
                        {"BODY", BodyData(img, true)},
                        {"CMAP", CmapData(kGrey)},
                        {"CAMG", CamgData(0)}});
     }},
    {"TwoBodiesSecondWins",
     [](const ChunkyImage &img) {
         return Chunks({{"BMHD", BmhdData(HeaderFor(img, false))},
                        {"CMAP", CmapData(kGrey)},
                        {"BODY", BodyData(Pattern(img.Width, img.Height, 2, 99), false)},
                        {"CAMG", CamgData(0)},
                        {"BODY", BodyData(img, false)}});
     }},
    {"BmhdOfTwentyFourBytes",
     [](const ChunkyImage &img) {
         Bytes bmhd = BmhdData(HeaderFor(img, false));
         bmhd.insert(bmhd.end(), {9, 9, 9, 9});
         return Chunks({{"BMHD", bmhd}, {"CMAP", CmapData(kGrey)}, {"BODY", BodyData(img, false)}});
     }},
    {"CamgOfEightBytes",
     [](const ChunkyImage &img) {
         return Chunks({{"BMHD", BmhdData(HeaderFor(img, false))},
                        {"CAMG", Bytes{0, 0, 0, 0, 0, 0, 8, 0}},
                        {"CMAP", CmapData(kGrey)},
                        {"BODY", BodyData(img, false)}});
     }},
    {"CmapOfThirteenBytes",
     [](const ChunkyImage &img) {
         Bytes cmap = CmapData(kGrey);
         cmap.push_back(0x77); // 4 colours + 1 byte: still 4 colours, odd size, pad byte
         return Chunks({{"BMHD", BmhdData(HeaderFor(img, false))},
                        {"CMAP", cmap},
                        {"BODY", BodyData(img, false)}});
     }},
    {"PlainBodyWithSpareBytesThenCmap",
     [](const ChunkyImage &img) {
         Bytes body = BodyData(img, false);
         body.insert(body.end(), 3, 0xEE);
         return Chunks({{"BMHD", BmhdData(HeaderFor(img, false))},
                        {"BODY", body},
                        {"CMAP", CmapData(kGrey)}});
     }},
    {"PackedBodyWithSpareBytesThenCmap",
     [](const ChunkyImage &img) {
         Bytes body = BodyData(img, true);
         body.insert(body.end(), 7, 0x81); // spare bytes many writers leave
         return Chunks(
             {{"BMHD", BmhdData(HeaderFor(img, true))}, {"BODY", body}, {"CMAP", CmapData(kGrey)}});
     }},
    {"FormSizeAboveTwoToThe31",
     [](const ChunkyImage &img) {
         IlbmBuilder b;
         b.FormSize(0xFFFFFFF0u).Bmhd(HeaderFor(img, false)).Cmap(kGrey).Body(BodyData(img, false));
         return b.Build();
     }},
    {"TrailingGarbage",
     [](const ChunkyImage &img) {
         Bytes f = BuildSimple({img, kGrey, 0u, false});
         f.insert(f.end(), {'J', 'U', 'N', 'K', 0x80, 0, 0, 0, 1, 2, 3});
         return f;
     }},
};

TEST(ChunkWalk, OrdersAndSizesAllDecode) {
    const ChunkyImage img = Pattern(13, 4, 2, 5);
    for (const OrderCase &c : kOrders) {
        SCOPED_TRACE(c.name);
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, c.build(img)), 1);
        EXPECT_EQ(pic.BodyFound, -1);
        ExpectPalettePicture(pic, img, kGrey);
    }
}

TEST(ChunkWalk, CamgAfterBodyResolvesAtEnd) {
    // HAM6 with the CAMG after one or two BODYs, or between them: every row is
    // resolved exactly once, with the mode the CAMG gave.
    const ChunkyImage img = Pattern(23, 4, 6, 3);
    const auto cmap = TestColours(16);
    const auto palette = ref::PaletteFrom(cmap, false);
    const Bytes body = BodyData(img, true);
    const Bytes other = BodyData(Pattern(23, 4, 6, 4), true);
    const Bytes bmhd = BmhdData(HeaderFor(img, true));
    const Bytes files[] = {
        Chunks(
            {{"BMHD", bmhd}, {"CMAP", CmapData(cmap)}, {"BODY", body}, {"CAMG", CamgData(0x800)}}),
        Chunks({{"BMHD", bmhd},
                {"CMAP", CmapData(cmap)},
                {"BODY", other},
                {"BODY", body},
                {"CAMG", CamgData(0x800)}}),
        Chunks({{"BMHD", bmhd},
                {"CMAP", CmapData(cmap)},
                {"BODY", other},
                {"CAMG", CamgData(0x800)},
                {"BODY", body}}),
        // A CAMG before the BMHD is cancelled; the rows wait for the CAMG after the BODY.
        Chunks({{"CAMG", CamgData(0x800)},
                {"BMHD", bmhd},
                {"CMAP", CmapData(cmap)},
                {"BODY", body},
                {"CAMG", CamgData(0x800)}}),
    };
    for (const Bytes &f : files) {
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, f), 1);
        EXPECT_EQ(pic.ResolveAtEnd, &f == &files[3] ? 0 : -1);
        EXPECT_EQ(pic.DisplayMode, 2);
        for (int y = 0; y < img.Height; ++y)
            EXPECT_EQ(ResolvedRow(pic, y), ref::RowColours(img, y, ref::Mode::Ham6, palette));
    }
}

TEST(ChunkWalk, RowsLeftAsValuesResolvedAsPaletteRows) {
    // No CAMG, or a CAMG before the BMHD (which cancels it): palette colours,
    // with the per-row palette of a CTBL; DisplayMode stays 0.
    const ChunkyImage img = Pattern(10, 3, 6, 8);
    const auto cmap = TestColours(64);
    const auto palette = ref::PaletteFrom(cmap, false);
    std::vector<std::array<std::uint16_t, 16>> lines(3);
    for (int n = 0; n < 3; ++n)
        lines[n].fill(static_cast<std::uint16_t>(0x123 * (n + 1)));
    for (int variant = 0; variant < 3; ++variant) {
        IlbmBuilder b;
        if (variant == 1)
            b.Camg(0x880);
        b.Bmhd(HeaderFor(img, false)).Cmap(cmap);
        if (variant == 2)
            b.Ctbl(lines);
        b.Body(BodyData(img, false));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        EXPECT_EQ(pic.DisplayMode, 0);
        EXPECT_EQ(pic.HamFlag, 0);
        EXPECT_EQ(pic.HalfBright, 0);
        EXPECT_EQ(pic.ModeId, 0u);
        for (int y = 0; y < img.Height; ++y)
            EXPECT_EQ(ResolvedRow(pic, y), ref::RowColours(img, y, ref::Mode::Palette, palette,
                                                           variant == 2 ? &lines[y] : nullptr))
                << variant << " row " << y;
    }
}

TEST(ChunkWalk, ChunksAfterAnOverrunningOrOddHandlerStillCount) {
    const ChunkyImage img = Pattern(16, 4, 6, 2);
    const auto cmap = TestColours(16);
    // CMAP of 98 bytes: 33 colours, the last one's blue is the next chunk's first byte ("B").
    Bytes cmap98 = CmapData(TestColours(33));
    cmap98.pop_back();
    // A BODY whose runs need more bytes than the chunk holds: the last row
    // reads into the next chunk, which is still handled.
    Bytes body = BodyData(img, true);
    const std::size_t held = body.size() - 3;
    body.resize(held);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Chunks({{"BMHD", BmhdData(HeaderFor(img, true))},
                                     {"CMAP", cmap98},
                                     {"BODY", body},
                                     {"CAMG", CamgData(0x800)},
                                     {"CMAP", CmapData(cmap)}})),
              1);
    EXPECT_EQ(pic.Palette[32], (TestColours(33)[32] & 0xFFFF00) | 'B');
    EXPECT_EQ(pic.DisplayMode, 2);
    EXPECT_EQ(pic.ModeId, 0x800u);
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
    EXPECT_EQ(pic.Interlaced, 1);
    EXPECT_EQ(pic.BodyFound, -1);
}

TEST(ChunkWalk, FormSizeEndsTheWalk) {
    // The walk goes on while the read position is below the FORM size value itself.
    const ChunkyImage img = Pattern(8, 2, 1);
    IlbmBuilder b;
    b.Bmhd(HeaderFor(img, false)).Cmap(kGrey);
    const std::uint32_t bodyStart = static_cast<std::uint32_t>(b.Build().size());
    b.Body(BodyData(img, false));
    // The first chunk is read whatever the FORM size says.
    for (std::uint32_t size : {0u, bodyStart, bodyStart + 1}) {
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.FormSize(size).Build()), 1);
        EXPECT_EQ(pic.BodyFound, size <= bodyStart ? 0 : -1);
        EXPECT_EQ(pic.Width, 8);
        EXPECT_EQ(pic.Palette[3], size == 0 ? 0 : kGrey[3]);
        EXPECT_EQ(pic.FormSize, size);
    }
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
        EXPECT_EQ(pic.PictureLoaded, 1);
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
    for (bool packed : {false, true}) {
        Bytes held;
        for (int y = 0; y < 3; ++y) {
            ChunkyImage row(24, 1, 3);
            std::copy_n(img.Pixels.begin() + y * 24, 24, row.Pixels.begin());
            Bytes data = BodyData(row, packed);
            held.insert(held.end(), data.begin(), data.end());
        }
        Bytes file = BuildSimple({img, kGrey, 0u, packed});
        const Bytes id = {'B', 'O', 'D', 'Y'};
        const auto at = std::search(file.begin(), file.end(), id.begin(), id.end());
        file.resize(static_cast<std::size_t>(at - file.begin()) + 8 + held.size());
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file), 1);
        EXPECT_EQ(pic.BodyFound, -1);
        for (int y = 0; y < 6; ++y) {
            EXPECT_EQ(IndexRow(pic, y), y < 3 ? ImageRow(img, y) : std::vector<std::uint8_t>(24, 0))
                << packed << " row " << y;
            if (y >= 3) {
                EXPECT_EQ(pic.PixelColours(5, y + 1), kGrey[0]);
            }
        }
    }
    // A file that ends inside the BMHD reads zeros for the rest.
    Bytes f = BuildSimple({img, kGrey, 0u, false});
    f.resize(12 + 8 + 3);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, f), 1);
    EXPECT_EQ(pic.Width, 24);
    EXPECT_EQ(pic.Height, 0);
}

TEST(ChunkWalk, BodyBeforeBmhdOrOddPlaneCountNotDecoded) {
    const ChunkyImage img = Pattern(8, 2, 1);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Chunks({{"BODY", BodyData(img, false)},
                                     {"BMHD", BmhdData(HeaderFor(img, false))}})),
              1);
    EXPECT_EQ(pic.BodyFound, 0);
    EXPECT_EQ(pic.Width, 8);
    for (int planes : {0, 9, 24}) {
        BmhdFields f = HeaderFor(img, false);
        f.Bitplanes = static_cast<std::uint8_t>(planes);
        IFF_Picture p;
        ASSERT_EQ(LoadBytes(p, Chunks({{"BMHD", BmhdData(f)}, {"BODY", Bytes(2 * 2 * 24, 0xFF)}})),
                  1);
        EXPECT_EQ(p.BodyFound, 0) << planes;
        EXPECT_EQ(p.PictureLoaded, 1);
    }
    // Width 0: each plane row still reads one run; nothing is drawn and the walk goes on.
    BmhdFields zero = HeaderFor(ChunkyImage(0, 3, 2), true);
    IFF_Picture z;
    ASSERT_EQ(LoadBytes(z, Chunks({{"BMHD", BmhdData(zero)},
                                   {"BODY", Bytes(6, 0x81)},
                                   {"CAMG", CamgData(0x4)}})),
              1);
    EXPECT_EQ(z.BodyFound, -1);
    EXPECT_EQ(z.Interlaced, 1);
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

TEST(ChunkWalk, MissingFileThrowsAndFileLoadKeepsName) {
    TempDir dir;
    IFF_Picture pic;
    EXPECT_THROW(LoadIffPicture(pic, dir / "absent.iff", false), TambrelError);
    const std::string path = dir / " cat.ilbm.iff"; // a leading blank is part of the name
    WriteBytes(path, BuildSimple({Pattern(8, 2, 1), kGrey, 0u, false}));
    ASSERT_EQ(LoadIffPicture(pic, path, false), 1);
    EXPECT_EQ(pic.PicturePath, path);
    EXPECT_EQ(pic.PictureName, " cat.ilbm");
    EXPECT_EQ(pic.LoadedName, " cat.ilbm");
    EXPECT_EQ(pic.BodyFound, -1);
}

std::vector<std::string> HeaderLog(const Bytes &file, const BmhdFields &f) {
    auto n = [](long v) { return std::to_string(v); };
    return {"[BMHD]",
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
}

TEST(DebugLog, PlainAndCompressedLinesExactly) {
    const ChunkyImage img = Pattern(16, 2, 1);
    BmhdFields f = HeaderFor(img, false);
    f.Xpos = 3, f.Ypos = 4, f.TransparentColour = 5, f.PageWidth = 320, f.PageHeight = 200;
    IlbmBuilder plain;
    plain.Bmhd(f).Cmap(kGrey).Body(BodyData(img, false));
    const Bytes plainFile = plain.Build();
    std::vector<std::string> expected = {"", ""};
    for (const auto &l : HeaderLog(plainFile, f))
        expected.push_back(l);
    for (const char *l : {"Palette Found", "BodyFound", "Row: 1", "Row: 2", "Done"})
        expected.push_back(l);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, plainFile, true), 1);
    EXPECT_EQ(pic.DebugLog, expected);
    EXPECT_EQ(pic.DebugLogOn, -1);

    f.Packtype = 2; // any non-zero Packtype is ByteRun1
    IlbmBuilder packed;
    std::vector<std::array<std::uint16_t, 16>> lines(2);
    packed.Bmhd(f).Camg(0).Ctbl(lines).Chunk("ANNO", Bytes(3, 'a')).Body(BodyData(img, true));
    const Bytes packedFile = packed.Build();
    expected = {"", ""};
    for (const auto &l : HeaderLog(packedFile, f))
        expected.push_back(l);
    for (const char *l :
         {"CBM AMIGA mode ID value", "Dynamic Palette Data found", "Skipping Unknown Section ",
          "BodyFound", "Working on Compressed Body", "Depacked Scanline: 1", "p2C Scanline: 1",
          "Depacked Scanline: 2", "p2C Scanline: 2", "Depack of Body Done"})
        expected.push_back(l);
    ASSERT_EQ(LoadBytes(pic, packedFile, true), 1);
    EXPECT_EQ(pic.DebugLog, expected);
    EXPECT_EQ(IndexRow(pic, 1), ImageRow(img, 1));

    ASSERT_EQ(LoadBytes(pic, packedFile, false), 1);
    EXPECT_EQ(pic.DebugLog, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(pic.DebugLogOn, 0);
}

} // namespace
} // namespace tambrel::test
