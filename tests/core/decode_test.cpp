// Decoding: every display mode against the reference model, HAM examples,
// ByteRun1 streams and the mask plane.
#include "test_util.h"

namespace tambrel::test {
namespace {

using Lines = std::vector<std::array<std::uint16_t, 16>>;

// CTBL lines that differ from row to row, with 4-bit components.
Lines CtblLines(int count) {
    Lines lines(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n)
        for (int i = 0; i < 16; ++i)
            lines[n][i] = static_cast<std::uint16_t>(
                ((n + i) & 0xF) << 8 | ((n * 3 + i) & 0xF) << 4 | ((15 - i + n) & 0xF));
    return lines;
}

enum class CamgAt { None, BeforeCmap, BeforeBody, AfterBody };

struct ModeCase {
    const char *name;
    int planes, colours;
    std::uint32_t modeId;
    CamgAt camg;
    bool packed;
    int ctblLines; // 0: no CTBL; fewer than the rows: the rows past it are black
    ref::Mode mode;
    bool halfBrite;
    int displayMode; // expected DisplayMode after the load
};

using M = ref::Mode;
const ModeCase kModes[] = {
    {"Palette1", 1, 2, 0, CamgAt::BeforeBody, false, 0, M::Palette, false, 1},
    {"Palette5", 5, 32, 0, CamgAt::BeforeBody, true, 0, M::Palette, false, 1},
    {"Palette5CamgAfterBody", 5, 32, 0, CamgAt::AfterBody, false, 0, M::Palette, false, 1},
    {"Palette8", 8, 256, 0, CamgAt::BeforeBody, true, 0, M::Palette, false, 1},
    {"PaletteCtbl", 5, 32, 0, CamgAt::BeforeBody, false, 5, M::Palette, false, 1},
    {"PaletteCtblShort", 4, 16, 0, CamgAt::BeforeBody, true, 3, M::Palette, false, 1},
    // Rows never turned into colours by a CAMG are resolved as palette rows.
    {"NoCamg", 4, 16, 0, CamgAt::None, true, 0, M::Palette, false, 0},
    {"NoCamgCtbl", 5, 32, 0, CamgAt::None, false, 5, M::Palette, false, 0},
    {"HalfBrite", 6, 32, 0x80, CamgAt::BeforeBody, false, 0, M::Palette, true, 1},
    {"HalfBriteCamgBeforeCmap", 6, 64, 0x80, CamgAt::BeforeCmap, true, 0, M::Palette, true, 1},
    {"HalfBriteCamgAfterBody", 6, 32, 0x80, CamgAt::AfterBody, true, 0, M::Palette, true, 1},
    {"Ham6", 6, 16, 0x800, CamgAt::BeforeBody, true, 0, M::Ham6, false, 2},
    {"Ham6CamgAfterBody", 6, 16, 0x800, CamgAt::AfterBody, false, 0, M::Ham6, false, 2},
    {"Ham6Ctbl", 6, 16, 0x800, CamgAt::BeforeBody, true, 5, M::Ham6, false, 2},
    {"Ham6CtblShort", 6, 16, 0x800, CamgAt::BeforeBody, false, 2, M::Ham6, false, 2},
    {"Ham8", 8, 64, 0x800, CamgAt::BeforeBody, false, 0, M::Ham8, false, 3},
    {"Ham8CamgAfterBody", 8, 64, 0x800, CamgAt::AfterBody, true, 0, M::Ham8, false, 3},
    {"Ham8CtblIgnored", 8, 64, 0x800, CamgAt::BeforeBody, true, 5, M::Ham8, false, 3},
    {"Ham6ModeIdHighBits", 6, 16, 0x80000800u, CamgAt::BeforeBody, true, 0, M::Ham6, false, 2},
    {"HamBitOn5Planes", 5, 32, 0x800, CamgAt::BeforeBody, false, 0, M::Palette, false, 1},
};

class DisplayModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DisplayModes, ColoursMatchReferenceModel) {
    const ModeCase &c = GetParam();
    const auto cmap = TestColours(c.colours);
    const Lines lines = CtblLines(c.ctblLines);
    for (int width : {1, 13, 17, 200}) {
        SCOPED_TRACE(width);
        const ChunkyImage img = Pattern(width, 5, c.planes, static_cast<unsigned>(width));
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, c.packed));
        if (c.camg == CamgAt::BeforeCmap)
            b.Camg(c.modeId);
        b.Cmap(cmap);
        if (c.camg == CamgAt::BeforeBody)
            b.Camg(c.modeId);
        if (c.ctblLines)
            b.Ctbl(lines);
        b.Body(BodyData(img, c.packed));
        if (c.camg == CamgAt::AfterBody)
            b.Camg(c.modeId);
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        EXPECT_EQ(pic.BodyFound, -1);
        EXPECT_EQ(pic.DisplayMode, c.displayMode);
        EXPECT_EQ(pic.HalfBright, c.halfBrite ? 1 : 0);
        const auto palette = ref::PaletteFrom(cmap, c.halfBrite);
        ExpectPicture(pic, img, c.mode, palette, c.ctblLines ? &lines : nullptr);
        for (int i = 32; c.halfBrite && i < 64; ++i) // the palette export's entries too
            EXPECT_EQ(pic.FilePalette[i], palette[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Core, DisplayModes, ::testing::ValuesIn(kModes),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Ham, DocumentedExamplesFromPrevious123456) {
    // Pixel 0 takes 0x123456 from the palette, pixel 1 modifies it.
    const struct {
        bool ham8;
        std::uint8_t value;
        std::uint32_t expected;
    } examples[] = {
        {false, 0x1F, 0x1234FF}, {false, 0x2A, 0xAA3456}, {false, 0x35, 0x125556},
        {true, 0x7F, 0x1234FE},  {true, 0xBF, 0xFE3456},  {true, 0xC1, 0x120456},
    };
    for (const auto &e : examples) {
        ChunkyImage img(2, 1, e.ham8 ? 8 : 6);
        img.At(0, 0) = 1;
        img.At(1, 0) = e.value;
        std::vector<std::uint32_t> cmap(e.ham8 ? 64 : 16, 0);
        cmap[1] = 0x123456;
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, BuildSimple({img, cmap, 0x800u, false})), 1);
        EXPECT_EQ(pic.PixelColours(1, 1), e.expected) << static_cast<int>(e.value);
    }
}

TEST(Record, PaletteEntriesKeptFromEarlierLoad) {
    const auto first = TestColours(32);
    const std::vector<std::uint32_t> second(16, 0x010203);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(8, 2, 5), first, 0u, false})), 1);
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(8, 2, 4), second, 0u, false})), 1);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(pic.Palette[i], i < 16 ? second[i] : first[i]) << i;
}

// Loads a BODY given as bytes under a header of the given shape (palette mode).
IFF_Picture LoadBody(const ChunkyImage &shape, int packtype, const Bytes &body, int masking = 0) {
    BmhdFields f = HeaderFor(shape, packtype != 0);
    f.Packtype = static_cast<std::uint8_t>(packtype);
    f.Masking = static_cast<std::uint8_t>(masking);
    IlbmBuilder b;
    b.Bmhd(f).Cmap(TestColours(16)).Camg(0).Body(body);
    IFF_Picture pic;
    EXPECT_EQ(LoadBytes(pic, b.Build()), 1);
    return pic;
}

TEST(Body, ByteRun1HandMadeStreams) {
    struct Case {
        const char *name;
        int width, planes;
        Bytes stream;
        std::vector<std::vector<Bytes>> rows; // expected plane bytes of each row
    };
    std::vector<Case> cases = {
        {"DocumentedRuns",
         48,
         1,
         {0x02, 0x11, 0x22, 0x33, 0xFE, 0x44},
         {{{0x11, 0x22, 0x33, 0x44, 0x44, 0x44}}}},
        {"NoOpControl", 16, 1, {0x80, 0x01, 0xAB, 0xCD}, {{{0xAB, 0xCD}}}},
        // Runs that end past the plane row: the rest is dropped, and the next
        // plane row starts with a fresh control byte.
        {"RunsCrossRowEnd",
         16,
         2,
         {0xFD, 0xAA, 0x04, 0x0F, 0xF0, 0x11, 0x22, 0x33, // row 1: planes 0 and 1
          0x00, 0x81, 0x00, 0x7E, 0x81, 0xFF},            // row 2: plane 1 is 128 x 0xFF
         {{{0xAA, 0xAA}, {0x0F, 0xF0}}, {{0x81, 0x7E}, {0xFF, 0xFF}}}},
        // The file ends inside a literal run or before a repeat value: zeros follow.
        {"StreamEndsInsideRun", 16, 1, {0x00, 0x5A, 0x03, 0x11}, {{{0x5A, 0x11}}, {{0, 0}}}},
        {"StreamEndsBeforeRepeatValue",
         16,
         1,
         {0x01, 0x5A, 0x0F, 0xFE},
         {{{0x5A, 0x0F}}, {{0, 0}}}},
    };
    // The no-op control byte again far from the file's end, where whole runs are copied at once.
    Case far = {"NoOpControlFarFromTheEnd", 16, 1, {0x80, 0x01, 0xAB, 0xCD}, {{{0xAB, 0xCD}}}};
    for (int y = 1; y < 70; ++y) {
        far.stream.insert(far.stream.end(), {0x01, 0x12, static_cast<std::uint8_t>(y)});
        far.rows.push_back({{0x12, static_cast<std::uint8_t>(y)}});
    }
    cases.push_back(far);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int height = static_cast<int>(c.rows.size());
        const IFF_Picture pic = LoadBody(ChunkyImage(c.width, height, c.planes), 1, c.stream);
        for (int y = 0; y < height; ++y) {
            std::vector<std::uint8_t> values(static_cast<std::size_t>(c.width), 0);
            for (std::size_t p = 0; p < c.rows[y].size(); ++p)
                for (int x = 0; x < c.width; ++x)
                    values[x] |=
                        static_cast<std::uint8_t>(((c.rows[y][p][x / 8] >> (7 - x % 8)) & 1) << p);
            EXPECT_EQ(IndexRow(pic, y), values) << "row " << y;
        }
    }
}

TEST(Body, MaskPlaneReadAndDropped) {
    const ChunkyImage img = Pattern(29, 5, 3, 12);
    const ChunkyImage mask = Pattern(29, 5, 1, 13);
    for (bool packed : {false, true}) {
        const IFF_Picture pic = LoadBody(img, packed, BodyData(img, packed, &mask), 1);
        for (int y = 0; y < img.Height; ++y)
            EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << packed << " row " << y;
    }
    // Masking 2 (a transparent colour) carries no mask plane.
    const IFF_Picture pic = LoadBody(img, 1, BodyData(img, true), 2);
    EXPECT_EQ(IndexRow(pic, 4), ImageRow(img, 4));
}

} // namespace
} // namespace tambrel::test
