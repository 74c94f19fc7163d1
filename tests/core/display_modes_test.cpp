// Display modes and the record's documented oddities: every mode against the
// reference model, HAM and half-bright examples, dynamic palettes, the spare
// columns, row 0 and palette entries kept from an earlier load.
#include "test_util.h"

namespace tambrel::test {
namespace {

struct ModeCase {
    const char *name;
    int planes;
    int cmapColours;
    std::optional<std::uint32_t> modeId;
    bool camgAfterBody;
    bool compressed;
    ref::Mode mode;
    bool halfBrite;
    int displayMode; // expected DisplayMode after the load
};

class DisplayModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DisplayModes, ColoursMatchReferenceModel) {
    const ModeCase &c = GetParam();
    for (int width : {1, 13, 17, 37, 200}) {
        SCOPED_TRACE(width);
        const ChunkyImage img = Pattern(width, 5, c.planes, static_cast<unsigned>(width));
        const auto cmap = TestColours(c.cmapColours);
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, c.compressed)).Cmap(cmap);
        if (c.modeId && !c.camgAfterBody)
            b.Camg(*c.modeId);
        b.Body(BodyData(img, c.compressed));
        if (c.modeId && c.camgAfterBody)
            b.Camg(*c.modeId);

        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        EXPECT_EQ(pic.BodyFound, -1);
        EXPECT_EQ(pic.DisplayMode, c.displayMode);
        EXPECT_EQ(pic.HalfBright, c.halfBrite ? 1 : 0);
        const auto palette = ref::PaletteFrom(cmap, c.halfBrite);
        for (int y = 0; y < img.Height; ++y) {
            EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << "row " << y;
            EXPECT_EQ(ResolvedRow(pic, y), ref::RowColours(img, y, c.mode, palette)) << "row " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Core, DisplayModes,
    ::testing::Values(
        ModeCase{"Palette1", 1, 2, 0u, false, false, ref::Mode::Palette, false, 1},
        ModeCase{"Palette5", 5, 32, 0u, false, true, ref::Mode::Palette, false, 1},
        ModeCase{"Palette5CamgAfter", 5, 32, 0u, true, false, ref::Mode::Palette, false, 1},
        ModeCase{"Palette8", 8, 256, 0u, false, true, ref::Mode::Palette, false, 1},
        ModeCase{"NoCamg", 4, 16, std::nullopt, false, true, ref::Mode::Palette, false, 0},
        ModeCase{"HalfBrite", 6, 32, 0x80u, false, false, ref::Mode::Palette, true, 1},
        ModeCase{"HalfBriteAfter", 6, 32, 0x80u, true, true, ref::Mode::Palette, true, 1},
        ModeCase{"Ham6", 6, 16, 0x800u, false, true, ref::Mode::Ham6, false, 2},
        ModeCase{"Ham6After", 6, 16, 0x800u, true, false, ref::Mode::Ham6, false, 2},
        ModeCase{"Ham8", 8, 64, 0x800u, false, false, ref::Mode::Ham8, false, 3},
        ModeCase{"Ham8After", 8, 64, 0x800u, true, true, ref::Mode::Ham8, false, 3},
        ModeCase{"HamBitOn5Planes", 5, 32, 0x800u, false, false, ref::Mode::Palette, false, 1}),
    [](const auto &info) { return std::string(info.param.name); });

// One row per example: pixel 0 takes the start colour from the palette, pixel 1 modifies it.
struct HamExample {
    bool ham8;
    std::uint8_t value;
    std::uint32_t expected;
};

TEST(Ham, DocumentedExamplesFromPrevious123456) {
    const HamExample examples[] = {
        {false, 0x1F, 0x1234FF}, {false, 0x2A, 0xAA3456}, {false, 0x35, 0x125556},
        {true, 0x7F, 0x1234FE},  {true, 0xBF, 0xFE3456},  {true, 0xC1, 0x120456},
    };
    for (const HamExample &e : examples) {
        SCOPED_TRACE(static_cast<int>(e.value));
        ChunkyImage img(2, 1, e.ham8 ? 8 : 6);
        img.At(0, 0) = 1;
        img.At(1, 0) = e.value;
        std::vector<std::uint32_t> cmap(e.ham8 ? 64 : 16, 0x0);
        cmap[1] = 0x123456;
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, BuildSimple({img, cmap, 0x800u, false})), 1);
        EXPECT_EQ(pic.PixelColours(1, 1), e.expected);
    }
}

TEST(Ham, EveryRowStartsFromPaletteEntryZero) {
    for (bool ham8 : {false, true}) {
        ChunkyImage img(3, 2, ham8 ? 8 : 6);
        const std::uint8_t blue = ham8 ? 0x7F : 0x1F;
        img.At(0, 0) = 2;    // row 1 ends on entry 2
        img.At(0, 1) = blue; // row 2 opens with a modify code
        std::vector<std::uint32_t> cmap(ham8 ? 64 : 16, 0);
        cmap[0] = 0x405060;
        cmap[2] = 0xFFFFFF;
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, BuildSimple({img, cmap, 0x800u, true})), 1);
        EXPECT_EQ(pic.PixelColours(0, 2), ham8 ? 0x4050FCu : 0x4050FFu) << ham8;
    }
}

TEST(HalfBrite, HalvesInEitherChunkOrder) {
    std::vector<std::uint32_t> cmap = TestColours(64); // its own 32..63 are replaced
    cmap[3] = 0xFF8101;
    const ChunkyImage img = Pattern(8, 1, 6);
    for (bool camgFirst : {true, false}) {
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, false));
        if (camgFirst)
            b.Camg(0x80).Cmap(cmap);
        else
            b.Cmap(cmap).Camg(0x80);
        b.Body(BodyData(img, false));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        EXPECT_EQ(pic.Palette[3], 0xFF8101u);
        EXPECT_EQ(pic.HalfBritePalette[3], 0x7F4000u);
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(pic.Palette[32 + i], ref::Halve(cmap[i])) << i;
            EXPECT_EQ(pic.FilePalette[32 + i], ref::Halve(cmap[i])) << i;
        }
    }
}

TEST(CamgFlags, SecondCamgKeepsFlagsOfFirst) {
    IlbmBuilder b;
    b.Bmhd(HeaderFor(ChunkyImage(8, 1, 6), false)).Camg(0x884).Camg(0x0);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
    EXPECT_EQ(pic.ModeId, 0u);
    EXPECT_EQ(pic.DisplayMode, 1);
    EXPECT_EQ(pic.HalfBright, 1);
    EXPECT_EQ(pic.HamFlag, 1);
    EXPECT_EQ(pic.Interlaced, 1);
}

TEST(CamgFlags, InterlaceHamAndPlaneCount) {
    struct {
        std::uint32_t modeId;
        int planes;
        int interlaced, ham, displayMode;
    } cases[] = {{0x804, 6, 1, 1, 2},
                 {0x800, 5, 0, 1, 1},
                 {0x800, 8, 0, 1, 3},
                 {0x80000800u, 6, 0, 1, 2},
                 {0x4, 3, 1, 0, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.modeId);
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, BuildSimple(
                                     {Pattern(16, 2, c.planes), TestColours(16), c.modeId, false})),
                  1);
        EXPECT_EQ(pic.ModeId, c.modeId);
        EXPECT_EQ(pic.Interlaced, c.interlaced);
        EXPECT_EQ(pic.HamFlag, c.ham);
        EXPECT_EQ(pic.DisplayMode, c.displayMode);
    }
}

// CTBL lines that differ from row to row, with 4-bit components.
std::vector<std::array<std::uint16_t, 16>> CtblLines(int count) {
    std::vector<std::array<std::uint16_t, 16>> lines(count);
    for (int n = 0; n < count; ++n)
        for (int i = 0; i < 16; ++i)
            lines[n][i] = static_cast<std::uint16_t>(
                ((n + i) & 0xF) << 8 | ((n * 3 + i) & 0xF) << 4 | ((15 - i + n) & 0xF));
    return lines;
}

TEST(DynamicPalette, PaletteAndHam6TakeOneLinePerRowHam8IgnoresIt) {
    struct {
        int planes;
        std::uint32_t modeId;
        ref::Mode mode;
        int lines; // fewer than rows: the rows past the table get a black palette
    } cases[] = {{5, 0, ref::Mode::Palette, 6},
                 {5, 0, ref::Mode::Palette, 3},
                 {6, 0x800, ref::Mode::Ham6, 6},
                 {6, 0x800, ref::Mode::Ham6, 2},
                 {8, 0x800, ref::Mode::Ham8, 6}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.planes * 100 + c.lines);
        const ChunkyImage img = Pattern(21, 6, c.planes, 7);
        const auto cmap = TestColours(64);
        const auto lines = CtblLines(c.lines);
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, true))
            .Cmap(cmap)
            .Camg(c.modeId)
            .Ctbl(lines)
            .Body(BodyData(img, true));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        EXPECT_EQ(pic.DynamicPalette, 1);
        const auto palette = ref::PaletteFrom(cmap, false);
        const std::array<std::uint16_t, 16> black{};
        for (int y = 0; y < img.Height; ++y) {
            const auto *line = y < c.lines ? &lines[y] : &black;
            EXPECT_EQ(ResolvedRow(pic, y), ref::RowColours(img, y, c.mode, palette, line))
                << "row " << y;
        }
        // The working palette ends with the last row's line; the file's palette is kept.
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t last = c.lines >= img.Height ? ref::CtblColour(lines[5][i]) : 0;
            EXPECT_EQ(pic.Palette[i], c.mode == ref::Mode::Ham8 ? cmap[i] : last) << i;
            EXPECT_EQ(pic.FilePalette[i], cmap[i]) << i;
        }
    }
}

TEST(DynamicPalette, TableValuesScaledBy16AndSizedFromHeight) {
    std::vector<std::array<std::uint16_t, 16>> lines(3);
    lines[0][0] = 0x0F0F;
    lines[0][1] = 0x1F0F; // bits above the red nibble are not masked
    lines[2][15] = 0x0ABC;
    IlbmBuilder b;
    b.Bmhd(HeaderFor(ChunkyImage(8, 200, 1), false)).Ctbl(lines); // 96 bytes
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
    ASSERT_EQ(pic.LinePalettes.Rows(), 201u);
    ASSERT_EQ(pic.LinePalettes.Columns(), 17u);
    EXPECT_EQ(pic.LinePalettes(0, 0), 0xF000F0u);
    EXPECT_EQ(pic.LinePalettes(1, 0), 0x1F000F0u);
    EXPECT_EQ(pic.LinePalettes(15, 2), 0xA0B0C0u);
    for (std::size_t n = 3; n <= 200; ++n)
        for (std::size_t i = 0; i < 17; ++i)
            ASSERT_EQ(pic.LinePalettes(i, n), 0u) << n;
}

TEST(Record, SpareColumnsAndRowZero) {
    // 17 x 2, one plane, every bit of the plane rows set (past the width too):
    // W8 is 24, columns 0 .. 17 are resolved, 18 .. 23 keep the value 1, 24 stays 0.
    // Width 16: column 16 (= W8, value 0) is resolved as well.
    for (int width : {17, 16}) {
        const int s = PlaneRowBytes(width);
        IlbmBuilder b;
        b.Bmhd(HeaderFor(ChunkyImage(width, 2, 1), false))
            .Cmap(std::vector<std::uint32_t>{0x112233, 0xABCDEF})
            .Camg(0)
            .Body(Bytes(2 * s, 0xFF));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        const int w8 = (width + 7) / 8 * 8;
        ASSERT_EQ(pic.PixelColours.Columns(), static_cast<std::size_t>(w8 + 1));
        ASSERT_EQ(pic.PixelColours.Rows(), 3u);
        for (int x = 0; x <= w8; ++x) {
            EXPECT_EQ(pic.PixelColours(x, 0), 0u);
            EXPECT_EQ(pic.PixelIndices(x, 0), 0u);
            std::uint32_t expected = x < width    ? 0xABCDEF
                                     : x == width ? (x < w8 ? 0xABCDEF : 0x112233)
                                     : x < w8     ? 1
                                                  : 0;
            EXPECT_EQ(pic.PixelColours(x, 2), expected) << width << " col " << x;
            EXPECT_EQ(pic.PixelIndices(x, 2), x < w8 ? 1 : 0) << width << " col " << x;
        }
    }
}

TEST(Record, PaletteEntriesKeptFromEarlierLoad) {
    const auto first = TestColours(32);
    const std::vector<std::uint32_t> second(16, 0x010203);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(8, 2, 5), first, 0u, false})), 1);
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(8, 2, 4), second, 0u, false})), 1);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(pic.Palette[i], i < 16 ? second[i] : first[i]) << i;
        EXPECT_EQ(pic.FilePalette[i], i < 16 ? second[i] : first[i]) << i;
    }
}

} // namespace
} // namespace tambrel::test
