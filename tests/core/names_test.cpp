// Output names, save modes, the hexadecimal and number helpers, the panel's lines.
#include "common/errors.h"
#include "decoder/picture_info.h"
#include "output/file_functions.h"
#include "test_util.h"

namespace tambrel::test {
namespace {

TEST(Names, PathHelpers) {
    EXPECT_EQ(BitmapNameFor("a.b.ILBM"), "a.b.bmp");
    EXPECT_EQ(BitmapNameFor("a.b/noext"), "a.b/noext.bmp");
    const std::pair<std::int64_t, const char *> hex[] = {
        {0, "$0000000"}, {0x00FF8800, "$0ff8800"}, {0x12345678, "$2345678"}, {-1, "$fffffff"}};
    for (const auto &[v, text] : hex)
        EXPECT_EQ(LongToHex(v), text) << v;
    EXPECT_EQ(NumberText(320), " 320");
    EXPECT_EQ(NumberText(-5), "-5");
}

TEST(Names, AutoRenameFillsGapsAndGivesUp) {
    TempDir dir;
    const auto rename = [&] { return AutoRenameFile(dir / "flower.bmp"); };
    WriteBytes(dir / "flower.bmp", Bytes{1});
    EXPECT_EQ(rename(), dir / "flower(1).bmp");
    WriteBytes(dir / "flower(1).bmp", Bytes{1});
    std::filesystem::create_directory(dir / "flower(2).bmp"); // a folder counts as taken
    WriteBytes(dir / "flower(4).bmp", Bytes{1});
    EXPECT_EQ(rename(), dir / "flower(3).bmp");
    std::filesystem::remove(dir / "flower(1).bmp");
    EXPECT_EQ(rename(), dir / "flower(1).bmp");
    for (int n = 1; n <= 2047; ++n)
        WriteBytes(dir / ("full(" + std::to_string(n) + ").bmp"), Bytes{});
    WriteBytes(dir / "full.bmp", Bytes{});
    EXPECT_EQ(AutoRenameFile(dir / "full.bmp"), dir / "full(2048).bmp");
    WriteBytes(dir / "full(2048).bmp", Bytes{});
    EXPECT_EQ(AutoRenameFile(dir / "full.bmp"), "");
}

TEST(SaveModes, ByModeAndWhatExists) {
    enum Existing { None, File, Folder };
    const struct {
        int mode;
        Existing existing;
        SaveOutcome::Kind kind;
        std::string written; // the name holding the new picture, or "" for none
    } cases[] = {
        {0, None, SaveOutcome::Written, "x.bmp"},    {0, File, SaveOutcome::SkippedExists, ""},
        {0, Folder, SaveOutcome::SkippedExists, ""}, {1, None, SaveOutcome::Written, "x.bmp"},
        {1, File, SaveOutcome::Written, "x.bmp"},    {2, None, SaveOutcome::Written, "x.bmp"},
        {2, File, SaveOutcome::Written, "x(1).bmp"}, {2, Folder, SaveOutcome::Written, "x(1).bmp"},
        {-1, None, SaveOutcome::UnknownMode, ""},    {3, File, SaveOutcome::UnknownMode, ""},
    };
    const ChunkyImage img = Pattern(5, 2, 1);
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, BuildSimple({img, {0, 0xFFFFFF}, 0u, false})), 1);
    std::vector<std::uint32_t> colours;
    for (std::uint8_t v : img.Pixels)
        colours.push_back(v ? 0xFFFFFF : 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode * 10 + c.existing);
        TempDir dir;
        if (c.existing == File)
            WriteBytes(dir / "x.bmp", Bytes{7});
        if (c.existing == Folder)
            std::filesystem::create_directory(dir / "x.bmp");
        const SaveOutcome out = SaveBitmapByMode(pic, dir / "x.bmp", c.mode);
        EXPECT_EQ(out.kind, c.kind);
        if (!c.written.empty()) {
            EXPECT_EQ(out.path, dir / c.written);
            EXPECT_EQ(ReadBytes(dir / c.written), ref::Bitmap(5, 2, colours));
        }
        if (c.existing == File && c.written != "x.bmp") {
            EXPECT_EQ(ReadBytes(dir / "x.bmp"), Bytes{7});
        }
        // "x.bmp" if anything is there, "x(1).bmp" if written, nothing else.
        EXPECT_EQ(dir.Entries().size(), (c.existing != None || !c.written.empty() ? 1u : 0u) +
                                            (c.written == "x(1).bmp" ? 1u : 0u));
    }
}

TEST(InfoLines, ThirteenLines) {
    BmhdFields f = HeaderFor(ChunkyImage(320, 256, 5), false);
    f.Xpos = 65535, f.TransparentColour = 0x1F, f.XaspectRatio = 44;
    const auto text = [](const auto &t) { return Bytes(std::begin(t), std::end(t) - 1); };
    IlbmBuilder b; // no BODY: the panel is still complete; the texts follow in file order,
    // Latin-1 shown as UTF-8 and control characters as blanks, a cut-off chunk left out
    b.Chunk("ANNO", text("Sky\tline\x1b[1m")).Bmhd(f).Chunk("(c) ", text("\xA9 Me\0"));
    b.Chunk("AUTH", text("Cut short"), 99);
    IFF_Picture pic;
    ASSERT_EQ(LoadIffPictureFromMemory(pic, b.Build(), "/x/cat.ilbm.iff", false), 1);
    std::vector<std::string> lines; // label|value
    for (const auto &[label, value] : ImageInfoLines(pic))
        lines.push_back(label + "|" + value);
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "File:|CAT.ILBM", "Width :| 320", "Height :| 256", "Bitplanes:| 5",
                  "Pixels :| 81920", "Xpos:| 65535", "Ypos:| 0", "Masking:| 0", "Packtype:| 0",
                  "X Aspect Ratio:| 44", "Y Aspect Ratio:| 11", "Mask Colour:|$000001f",
                  "Mode ID:|$0000000", "Annotation:|Sky line [1m", "Copyright:|\u00A9 Me"}));
    f.Width = f.Height = 65535; // the pixel count does not wrap at 32 bits
    IlbmBuilder big;
    ASSERT_EQ(LoadBytes(pic, big.Bmhd(f).Build()), 1);
    EXPECT_EQ(ImageInfoLines(pic)[4].second, " 4294836225");
}

} // namespace
} // namespace tambrel::test
