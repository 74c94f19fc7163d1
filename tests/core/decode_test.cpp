// Every display mode of ILBM, PBM and ACBM, ByteRun1 streams, the mask plane, the budget.
#include "common/errors.h"
#include "decoder/memory_budget.h"
#include "test_util.h"
#include "tests/support/form_writer.h"

#include <future>

namespace tambrel::test {
namespace {

using Lines = std::vector<std::array<std::uint16_t, 16>>;
using M = ref::Mode;
enum class CamgAt { None, BeforeCmap, BeforeBody, AfterBody };

// ctblLines: 0 none, rows past them black; oddRows: ABIT rows of ceil(Width / 8) bytes.
struct ModeCase {
    const char *name;
    int planes, colours;
    std::uint32_t modeId;
    CamgAt camg;
    bool packed;
    int ctblLines;
    M mode;
    FormKind form = FormKind::Ilbm;
    bool oddRows = false;
};

const ModeCase kModes[] = {
    {"Palette1", 1, 2, 0, CamgAt::BeforeBody, false, 0, M::Palette},
    {"Palette5CamgAfterBody", 5, 32, 0, CamgAt::AfterBody, false, 0, M::Palette},
    {"Palette8", 8, 256, 0, CamgAt::BeforeBody, true, 0, M::Palette},
    {"PaletteCtbl", 5, 32, 0, CamgAt::BeforeBody, false, 5, M::Palette},
    // Rows never turned into colours by a CAMG are resolved as palette rows.
    {"NoCamg", 4, 16, 0, CamgAt::None, true, 0, M::Palette},
    {"NoCamgCtbl", 5, 32, 0, CamgAt::None, false, 5, M::Palette},
    {"HalfBrite", 6, 32, 0x80, CamgAt::BeforeBody, false, 0, M::Palette},
    {"HalfBriteCamgBeforeCmap", 6, 64, 0x80, CamgAt::BeforeCmap, true, 0, M::Palette},
    {"Ham6", 6, 16, 0x800, CamgAt::BeforeBody, true, 0, M::Ham6},
    {"Ham6CamgAfterBody", 6, 16, 0x800, CamgAt::AfterBody, false, 0, M::Ham6},
    {"Ham6Ctbl", 6, 16, 0x800, CamgAt::BeforeBody, true, 5, M::Ham6},
    {"Ham6CtblShort", 6, 16, 0x800, CamgAt::BeforeBody, false, 2, M::Ham6},
    {"Ham8", 8, 64, 0x800, CamgAt::BeforeBody, false, 0, M::Ham8},
    {"Ham8CtblIgnored", 8, 64, 0x800, CamgAt::BeforeBody, true, 5, M::Ham8},
    {"Ham6ModeIdHighBits", 6, 16, 0x80000800u, CamgAt::BeforeBody, true, 0, M::Ham6},
    // Five planes: the sixth plane reads as 0, so values 16-31 modify blue.
    {"Ham5", 5, 32, 0x800, CamgAt::BeforeBody, false, 0, M::Ham6},
    {"Pbm", 8, 256, 0, CamgAt::None, false, 0, M::Palette, FormKind::Pbm},
    {"PbmPackedCamg", 8, 256, 0, CamgAt::BeforeBody, true, 0, M::Palette, FormKind::Pbm},
    {"AcbmPalette5", 5, 32, 0, CamgAt::BeforeBody, false, 0, M::Palette, FormKind::Acbm},
    {"AcbmHam6", 6, 16, 0x800, CamgAt::BeforeBody, false, 0, M::Ham6, FormKind::Acbm},
    {"AcbmHam8", 8, 64, 0x800, CamgAt::BeforeBody, false, 0, M::Ham8, FormKind::Acbm},
    {"AcbmOddRows", 4, 16, 0, CamgAt::BeforeBody, false, 0, M::Palette, FormKind::Acbm, true},
};

TEST(Decode, DisplayModesMatchReferenceModel) {
    for (const ModeCase &c : kModes) {
        const bool halfBrite = (c.modeId & 0x80) != 0;
        const auto cmap = TestColours(c.colours);
        const auto palette = ref::PaletteFrom(cmap, halfBrite);
        Lines lines(static_cast<std::size_t>(c.ctblLines)); // 4-bit components, new each row
        for (int n = 0; n < c.ctblLines; ++n)
            for (int i = 0; i < 16; ++i)
                lines[n][i] = static_cast<std::uint16_t>(
                    ((n + i) & 0xF) << 8 | ((n * 3 + i) & 0xF) << 4 | ((15 - i + n) & 0xF));
        for (int width : {1, 13, 17, 321}) {
            SCOPED_TRACE(testing::Message() << c.name << " " << width);
            const ChunkyImage img = Pattern(width, 5, c.planes, static_cast<unsigned>(width));
            IlbmBuilder b;
            b.FormType(std::array{"ILBM", "PBM ", "ACBM"}[static_cast<int>(c.form)]);
            b.Bmhd(HeaderFor(img, c.packed));
            if (c.camg == CamgAt::BeforeCmap)
                b.Camg(c.modeId);
            b.Cmap(cmap);
            if (c.camg == CamgAt::BeforeBody)
                b.Camg(c.modeId);
            if (c.ctblLines)
                b.Ctbl(lines);
            if (c.form == FormKind::Acbm)
                b.Chunk("ABIT", AbitData(img, c.oddRows ? (width + 7) / 8 : 0));
            else
                b.Body(c.form == FormKind::Pbm ? PbmBodyData(img, c.packed)
                                               : BodyData(img, c.packed));
            if (c.camg == CamgAt::AfterBody)
                b.Camg(c.modeId);
            IFF_Picture pic;
            ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
            EXPECT_EQ(pic.BodyFound, -1);
            EXPECT_EQ(pic.Form, c.form);
            EXPECT_EQ(pic.DisplayMode, c.camg == CamgAt::None ? 0 : 1 + static_cast<int>(c.mode));
            EXPECT_EQ(pic.HalfBright, halfBrite ? 1 : 0);
            ExpectPicture(pic, img, c.mode, palette, c.ctblLines ? &lines : nullptr);
            for (int i = 32; halfBrite && i < 64; ++i) // the palette export's entries too
                EXPECT_EQ(pic.FilePalette[i], palette[i]) << i;
        }
    }
}

TEST(Decode, NothingKeptFromEarlierLoad) {
    const auto first = TestColours(32);
    const std::vector<std::uint32_t> second(16, 0x010203);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(8, 2, 5), first, 0u, false})), 1);
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(8, 2, 4), second, 0u, false})), 1);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(pic.Palette[i], i < 16 ? second[i] : 0u) << i;
}

// A load whose progress is marked cancelled stops at its first row.
TEST(Decode, CancelledLoadStops) {
    LoadProgress progress;
    progress.Cancel = true;
    IFF_Picture pic;
    pic.Progress = &progress;
    const Bytes file = BuildSimple({Pattern(8, 2, 5), TestColours(32), 0u, false});
    EXPECT_THROW(LoadIffPictureFromMemory(pic, file, "c.iff", false), TambrelError);
}

// Loads a BODY given as bytes under a palette header of the given shape.
IFF_Picture LoadBody(const ChunkyImage &shape, int packtype, const Bytes &body, int masking = 0) {
    BmhdFields f = HeaderFor(shape, packtype != 0);
    f.Packtype = static_cast<std::uint8_t>(packtype);
    f.Masking = static_cast<std::uint8_t>(masking);
    IFF_Picture pic;
    EXPECT_EQ(
        LoadBytes(pic, IlbmBuilder().Bmhd(f).Cmap(TestColours(16)).Camg(0).Body(body).Build()), 1);
    return pic;
}

// ByteRun1 streams; `planes` lists each row's plane rows' bytes, plane 0 first.
TEST(Decode, ByteRun1HandMadeStreams) {
    struct Case {
        const char *name;
        int width, planes;
        Bytes stream, rows;
    };
    std::vector<Case> cases = {
        {"DocumentedRuns",
         48,
         1,
         {2, 0x11, 0x22, 0x33, 0xFE, 0x44},
         {0x11, 0x22, 0x33, 0x44, 0x44, 0x44}},
        {"NoOpControl", 16, 1, {0x80, 0x01, 0xAB, 0xCD}, {0xAB, 0xCD}},
        // Runs past the plane row end there, the next starts afresh; row 2 plane 1: 128 x 0xFF.
        {"RunsCrossRowEnd",
         16,
         2,
         {0xFD, 0xAA, 4, 0x0F, 0xF0, 0x11, 0x22, 0x33, 0, 0x81, 0, 0x7E, 0x81, 0xFF},
         {0xAA, 0xAA, 0x0F, 0xF0, 0x81, 0x7E, 0xFF, 0xFF}},
        // The file ends inside a literal run or before a repeat value: zeros follow.
        {"StreamEndsInsideRun", 16, 1, {0, 0x5A, 3, 0x11}, {0x5A, 0x11, 0, 0}},
        {"StreamEndsBeforeRepeatValue", 16, 1, {1, 0x5A, 0x0F, 0xFE}, {0x5A, 0x0F, 0, 0}},
    };
    // The no-op control byte again far from the file's end, where whole runs are copied at once.
    Case far = {"NoOpControlFarFromTheEnd", 16, 1, {0x80, 0x01, 0xAB, 0xCD}, {0xAB, 0xCD}};
    for (std::uint8_t y = 1; y < 70; ++y) {
        far.stream.insert(far.stream.end(), {0x01, 0x12, y});
        far.rows.insert(far.rows.end(), {0x12, y});
    }
    cases.push_back(far);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int height = static_cast<int>(c.rows.size()) / (c.width / 8 * c.planes);
        const IFF_Picture pic = LoadBody(ChunkyImage(c.width, height, c.planes), 1, c.stream);
        Bytes planes;
        for (int y = 0; y < height; ++y)
            for (int p = 0; p < c.planes; ++p)
                AppendRow(planes,
                          PlaneRow(c.width, 0,
                                   [&](int x) { return (pic.PixelIndices(x, y + 1) >> p) & 1; }),
                          false);
        EXPECT_EQ(planes, c.rows);
    }
}

TEST(Decode, MaskPlaneReadAndDropped) {
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

// A picture larger than the whole budget: refused where asked to, else it runs alone.
TEST(MemoryBudget, RefusesOnlyWhatCanNeverFitWhereAskedTo) {
    MemoryBudget windows(1000, true), converter(1000, false);
    try {
        windows.Claim(0, 1500, "p.iff");
        ADD_FAILURE() << "a picture larger than the budget was accepted";
    } catch (const TambrelError &e) {
        EXPECT_EQ(e.Number, kErrOutOfMemory);
    }
    EXPECT_NO_THROW(converter.Claim(0, 1500, "p.iff"));
    // The next picture does not fit beside it: it waits until that one is released.
    auto next = std::async(std::launch::async, [&] { converter.Claim(1, 600, "q.iff"); });
    EXPECT_EQ(next.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    converter.Release(0);
    EXPECT_EQ(next.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

} // namespace
} // namespace tambrel::test
