// Deep 24/32-plane ILBM and Packtype 2 (VDAT) bodies against the writer's values, a short
// plain deep body, the kind lines, refusals and exports (PBM and ACBM: decode_test).
#include "convert/convert.h"
#include "decoder/picture_info.h"
#include "output/exports.h"
#include "output/picture_pixels.h"
#include "test_util.h"
#include "tests/support/form_writer.h"

namespace tambrel::test {
namespace {

Bytes DeepFile(const DeepImage &img, bool packed, bool mask = false) {
    BmhdFields f = HeaderFor(ChunkyImage(img.Width, img.Height, 1), packed);
    f.Bitplanes = static_cast<std::uint8_t>(img.Planes);
    f.Masking = mask ? 1 : 0;
    return IlbmBuilder().Bmhd(f).Body(DeepBodyData(img, packed, mask)).Build();
}

Bytes VdatFile(const ChunkyImage &img, const Bytes &body) {
    BmhdFields f = HeaderFor(img, true);
    f.Packtype = 2;
    return IlbmBuilder().Bmhd(f).Cmap(TestColours(1 << img.Planes)).Camg(0).Body(body).Build();
}

TEST(Formats, DeepPlanesAreRedGreenBlueAlpha) {
    for (int planes : {24, 32})
        for (int width : {1, 13, 17, 321})
            for (bool packed : {false, true})
                for (bool mask : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << planes << " planes, " << width
                                 << (packed ? " packed" : " plain") << (mask ? " mask" : ""));
                    const DeepImage img =
                        DeepPattern(width, 4, planes, static_cast<unsigned>(width + planes));
                    IFF_Picture pic;
                    ASSERT_EQ(LoadBytes(pic, DeepFile(img, packed, mask)), 1);
                    EXPECT_TRUE(pic.IsDeep());
                    ASSERT_EQ(pic.PixelAlpha.Empty(), planes == 24);
                    // The mask plane is all ones: every pixel shows.
                    Bytes rgba(4 * std::size_t(width));
                    RgbaRow(pic, 3, rgba.data());
                    EXPECT_EQ(rgba[4 * std::size_t(width) - 1],
                              planes == 24 ? 255 : img.At(width - 1, 3) >> 24);
                    for (int i = 0; i < width * 4; ++i) { // columns 0 .. Width - 1 of each row
                        const int x = i % width, y = i / width;
                        ASSERT_EQ(pic.PixelColours(x, y + 1), img.At(x, y) & 0xFFFFFF) << i;
                        if (planes == 32) {
                            ASSERT_EQ(pic.PixelAlpha(x, y + 1), img.At(x, y) >> 24) << i;
                        }
                    }
                }
}

// Masking 1 on kinds whose rows carry no mask plane: opaque.
TEST(Formats, MaskingWithoutMaskPlaneIsOpaque) {
    const ChunkyImage img = Pattern(16, 2, 2);
    BmhdFields f = HeaderFor(img, false), v = f;
    f.Masking = v.Masking = 1;
    v.Packtype = 2;
    const auto colours = TestColours(4);
    for (const Bytes &file :
         {IlbmBuilder().FormType("ACBM").Bmhd(f).Cmap(colours).Chunk("ABIT", AbitData(img)).Build(),
          IlbmBuilder().Bmhd(v).Cmap(colours).Body(VdatBodyData(img)).Build(),
          IlbmBuilder()
              .FormType("PBM ")
              .Bmhd(f)
              .Cmap(colours)
              .Body(PbmBodyData(img, false))
              .Build()}) {
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file), 1);
        EXPECT_TRUE(pic.HasBody());
        EXPECT_FALSE(HasTransparency(pic)) << int(pic.Form);
    }
}

struct VdatCase {
    const char *name;
    std::vector<std::uint8_t> commands;
    std::vector<std::uint16_t> data;
    std::optional<std::uint16_t> countField;
    std::vector<std::uint16_t> plane; // the 2 columns x 3 rows the plane gets, in VDAT order
};

// One plane of 32 x 3 pixels: six words, read back in VDAT order.
TEST(Formats, VdatCommandKinds) {
    const VdatCase cases[] = {
        {"LiteralNegative", {0xFA}, {1, 2, 3, 4, 5, 6}, {}, {1, 2, 3, 4, 5, 6}},
        {"LiteralCounted", {0x00}, {6, 9, 8, 7, 6, 5, 4}, {}, {9, 8, 7, 6, 5, 4}},
        {"RepeatCounted",
         {0x01},
         {6, 0xA5A5},
         {},
         {0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5}},
        {"Mixed", {0xFF, 0x02, 0x00, 0x01}, {1, 2, 2, 3, 4, 1, 5}, {}, {1, 2, 2, 3, 4, 5}},
        {"RunClippedAtPlaneEnd", {0x05, 0x7F}, {7, 8}, {}, {7, 7, 7, 7, 7, 8}},
        {"DataRunsOut", {0xFA}, {1, 2, 3}, {}, {1, 2, 3, 0, 0, 0}},
        {"CountTooSmall", {0xFA}, {1, 2, 3, 4, 5, 6}, {1}, {0, 0, 0, 0, 0, 0}},
    };
    for (const VdatCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes chunk = SubChunk("VDAT", VdatData(c.commands, c.data, c.countField));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, VdatFile(ChunkyImage(32, 3, 1), chunk)), 1);
        EXPECT_TRUE(pic.VerticalBody);
        ChunkyImage got(32, 3, 1);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 32; ++x)
                got.At(x, y) = pic.PixelIndices(x, y + 1);
        EXPECT_EQ(ColumnWords(got, 0), c.plane);
    }
}

// Four planes: runs over 127 words, literals over 128, and short runs and literals.
TEST(Formats, VdatPictureEveryPlane) {
    ChunkyImage img = Pattern(321, 200, 4, 3);
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < 160; ++x)
            img.At(x, y) = static_cast<std::uint8_t>(((x / 48) + (x < 64 ? 0 : y / 3)) & 15);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, VdatFile(img, VdatBodyData(img))), 1);
    ExpectPicture(pic, img, ref::Mode::Palette, ref::PaletteFrom(TestColours(16), false));
}

// A plain deep body cut short: the rows past the file's end read 0.
TEST(Formats, TruncatedDeepBodyReadsZeros) {
    const DeepImage deep = DeepPattern(17, 4, 24, 5);
    const Bytes file = DeepFile(deep, false);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Bytes(file.begin(), file.end() - 2 * 24 * 4)), 1); // 2 rows short
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 17; ++x)
            ASSERT_EQ(pic.PixelColours(x, y + 1), y < 2 ? deep.At(x, y) & 0xFFFFFF : 0) << x;
}

std::vector<std::string> ModeLines(const IFF_Picture &pic) {
    std::vector<std::string> modes;
    for (const auto &[label, value] : ImageInfoLines(pic))
        if (label == "Mode:")
            modes.push_back(value);
    return modes;
}

TEST(Formats, KindLinesRefusalsAndExports) {
    const ChunkyImage img = Pattern(16, 2, 6, 1);
    struct Case {
        const char *name;
        Bytes file;
        std::vector<std::string> modes;
        std::string nothingToWrite; // empty: the picture decodes
    };
    BmhdFields pbm3 = HeaderFor(img, true), deep = HeaderFor(img, false);
    pbm3.Packtype = 3;
    deep.Bitplanes = 24;
    const ChunkyImage ham8 = Pattern(16, 2, 8, 1);
    const std::vector<std::array<std::uint16_t, 16>> ctbl(2);
    IlbmBuilder pbm, acbm, hbHam;
    hbHam.Bmhd(HeaderFor(img, false)).Camg(0x884).Ctbl(ctbl).Body(BodyData(img, false));
    pbm.FormType("PBM ").Bmhd(HeaderFor(img, true)).Cmap(TestColours(256));
    pbm.Body(PbmBodyData(img, true));
    acbm.FormType("ACBM").Bmhd(HeaderFor(img, false)).Cmap(TestColours(32)).Camg(0x80);
    acbm.Chunk("ABIT", AbitData(img));
    const Case cases[] = {
        {"Ham6Interlaced",
         BuildSimple({img, TestColours(16), 0x804u, false}),
         {"Ham (OCS)", "Interlaced"},
         ""},
        {"Ham8", BuildSimple({ham8, TestColours(64), 0x800u, false}), {"HamAA(AGA)"}, ""},
        {"HalfBriteHamCtbl",
         hbHam.Build(),
         {"HalfBright", "Ham (OCS)", "Dynamic Palette", "Interlaced"},
         ""},
        {"Pbm", pbm.Build(), {"Chunky (PBM)"}, ""},
        {"Deep24", DeepFile(DeepPattern(16, 2, 24, 1), false), {"Deep 24-bit"}, ""},
        {"Deep32", DeepFile(DeepPattern(16, 2, 32, 1), true), {"Deep 32-bit + alpha"}, ""},
        {"AcbmHalfBrite", acbm.Build(), {"ACBM (contiguous)", "HalfBright"}, ""},
        {"Vdat", VdatFile(img, VdatBodyData(img)), {"Vertical RLE (VDAT)"}, ""},
        {"NoBodyDeepHeader", IlbmBuilder().Bmhd(deep).Build(), {"Deep 24-bit"}, "no BODY chunk"},
        {"DeepPbmRefused",
         IlbmBuilder().FormType("PBM ").Bmhd(deep).Body(Bytes(96, 1)).Build(),
         {"Chunky (PBM)", "Deep 24-bit"},
         "no BODY chunk decoded (the header gives 24 bit planes)"},
        {"PbmCompressionRefused",
         IlbmBuilder().FormType("PBM ").Bmhd(pbm3).Body(Bytes(8, 1)).Build(),
         {"Chunky (PBM)"},
         "no BODY chunk decoded (the header gives compression 3)"},
        {"AcbmWithoutAbit",
         IlbmBuilder().FormType("ACBM").Bmhd(HeaderFor(img, false)).Build(),
         {"ACBM (contiguous)"},
         "no ABIT chunk"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, c.file), 1);
        EXPECT_EQ(ModeLines(pic), c.modes);
        EXPECT_EQ(pic.HasBody(), c.nothingToWrite.empty());
        if (!c.nothingToWrite.empty()) {
            EXPECT_EQ(NothingToWriteReason(pic), c.nothingToWrite);
        }
        const bool deepBody = pic.HasBody() && pic.IsDeep();
        EXPECT_EQ(CanExportRawIndices(pic), pic.HasBody() && !deepBody);
        EXPECT_EQ(CanExportPalette(pic), !deepBody);
        EXPECT_EQ(CanExportRawColours(pic), pic.HasBody());
    }
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, DeepFile(DeepPattern(3, 1, 32, 1), false)), 1);
    EXPECT_EQ(TrueColourExportReason(pic, true),
              "the picture is deep (32 bit planes of true colour) and has no palette");
    EXPECT_EQ(TrueColourExportReason(pic, false),
              "the picture is deep (32 bit planes of true colour) and has no palette indices");
}

} // namespace
} // namespace tambrel::test
