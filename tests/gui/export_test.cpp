// The raw 32-bit, raw 8-bit and palette text exports.
#include "gui_test_util.h"

#include <regex>

namespace tambrel::guitest {
namespace {

struct ExportKind {
    const char *name;
    const char *action;
    const char *description;
    const char *pattern;
    const char *defaultExt;
};
void PrintTo(const ExportKind &c, std::ostream *os) {
    *os << c.name;
}

const ExportKind kColours{"Colours", "mnu_Export_Image_As_32bitRGBChunky", "(*.rgb)", "*.rgb",
                          "rgb"};
const ExportKind kIndices{"Indices", "mnu_Export_Image_As_Chunky", "(*.lut)", "*.lut", "lut"};
const ExportKind kPalette{"Palette", "mnu_Export_palette_AS_text", "(*.txt)", "*.txt", "TXT"};

std::uint32_t Le32(const test::Bytes &b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

class ExportTest : public GuiTest {
  protected:
    // A 13 x 2 picture: W8 = 16, so rows hold 17 values.
    QuadPicture LoadSmall() {
        QuadPicture q = MakeQuadPicture(13, 2);
        WriteQuadPicture(Path("small.iff"), q);
        LoadViaMenu(Path("small.iff"));
        return q;
    }
};

class EachExport : public ExportTest, public ::testing::WithParamInterface<ExportKind> {};

TEST_P(EachExport, AsksWithItsFilterAndDefaultExtension) {
    LoadSmall();
    dialogs_.QueueFileAnswer(true, Path("out"));
    Trigger(GetParam().action);
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    const FileDialogRequest &r = dialogs_.FileRequests()[1];
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0], (FilterEntry{GetParam().description, GetParam().pattern}));
    EXPECT_EQ(r.defaultExt, GetParam().defaultExt);
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(Exists(Path(std::string("out.") + GetParam().defaultExt)));
}

TEST_P(EachExport, ExistingFileIsConfirmedTwiceAndNoKeepsIt) {
    LoadSmall();
    const std::string target = Path("existing.dat");
    const std::string old(5000, 'x'); // longer than any export here
    WriteText(target, old);
    dialogs_.QueueFileAnswer(true, target);
    tk_.QueueAnswer(IdNo);
    Trigger(GetParam().action);
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages[0].Text, "WARNING - File Exists, Overwrite it ?");
    EXPECT_EQ(tk_.Messages[0].Title, "WARNING");
    EXPECT_EQ(tk_.Messages[0].Buttons, MbYesNo);
    EXPECT_EQ(tk_.Messages[0].Icon, MbQuestion);
    EXPECT_TRUE(dialogs_.FileRequests().back().overwritePrompt) << "the dialog asked first";
    EXPECT_EQ(ReadText(target), old);

    dialogs_.QueueFileAnswer(true, target);
    tk_.QueueAnswer(IdYes);
    Trigger(GetParam().action);
    EXPECT_LT(ReadText(target).size(), old.size()) << "the old, longer file is replaced whole";
}

TEST_P(EachExport, CancelledDialogWritesNothing) {
    LoadSmall();
    dialogs_.QueueFileAnswer(false, "");
    Trigger(GetParam().action);
    EXPECT_TRUE(tk_.Messages.empty());
}

TEST_P(EachExport, NothingWithoutAPicture) {
    Trigger(GetParam().action);
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(8, 8));
    LoadViaMenu(Path("a.iff"));
    Trigger("Mnu_File_new");
    Trigger(GetParam().action);
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachExport, ::testing::Values(kColours, kIndices, kPalette),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ExportTest, RawColoursHoldTheWholeBufferRowZeroFirst) {
    const QuadPicture q = LoadSmall();
    dialogs_.QueueFileAnswer(true, Path("c.rgb"));
    Trigger(kColours.action);
    const test::Bytes b = test::ReadBytes(Path("c.rgb"));
    ASSERT_EQ(b.size(), 204u);
    for (std::size_t i = 0; i < 17; ++i)
        EXPECT_EQ(Le32(b, i * 4), 0u) << i;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 13; ++x)
            EXPECT_EQ(Le32(b, ((y + 1) * 17 + x) * 4), q.ColourAt(x, y)) << x << "," << y;
}

TEST_F(ExportTest, RawIndicesHoldOneBytePerPixel) {
    QuadPicture q = MakeQuadPicture(16, 1);
    q.Image.At(0, 0) = 6;
    WriteQuadPicture(Path("line.iff"), q);
    LoadViaMenu(Path("line.iff"));
    dialogs_.QueueFileAnswer(true, Path("i.lut"));
    Trigger(kIndices.action);
    const test::Bytes b = test::ReadBytes(Path("i.lut"));
    ASSERT_EQ(b.size(), 34u);
    for (std::size_t i = 0; i < 17; ++i)
        EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[17], 6);
    for (int x = 1; x < 16; ++x)
        EXPECT_EQ(b[17 + x], q.Image.At(x, 0));
    EXPECT_EQ(b[33], 0);
}

TEST_F(ExportTest, PaletteTextHasOneLinePerColourOfTheDepth) {
    for (int planes : {1, 5, 8}) {
        test::ChunkyImage img(8, 2, planes);
        std::vector<std::uint32_t> colours;
        for (int i = 0; i < (1 << planes); ++i)
            colours.push_back(std::uint32_t(i) << 16 | std::uint32_t(255 - i) << 8 |
                              std::uint32_t(i * 3 & 255));
        test::IlbmBuilder b;
        b.Bmhd(test::HeaderFor(img, false)).Cmap(colours).Body(test::BodyData(img, false));
        b.WriteFile(Path("pal.iff"));
        LoadViaMenu(Path("pal.iff"));
        dialogs_.QueueFileAnswer(true, Path("pal" + std::to_string(planes)));
        Trigger(kPalette.action);
        const std::string text = ReadText(Path("pal" + std::to_string(planes) + ".TXT"));
        std::string expected;
        for (std::uint32_t c : colours) {
            char line[16];
            std::snprintf(line, sizeof line, "$%06x\r\n", c);
            expected += line;
        }
        EXPECT_EQ(text, expected) << planes << " planes";
    }
}

TEST_F(ExportTest, ChunkyExportNeedsABody) {
    WriteNoBodyPicture(Path("n.iff"), 8, 8);
    LoadViaMenu(Path("n.iff"));
    Trigger(kIndices.action);
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u);
}

TEST_F(ExportTest, RawExportFailureShowsMessageA) {
    for (const ExportKind *kind : {&kColours, &kIndices}) {
        LoadSmall();
        dialogs_.QueueFileAnswer(true, Path("missing-folder/out.raw"));
        tk_.QueueAnswer(IdOk);
        Trigger(kind->action);
        ASSERT_FALSE(tk_.Messages.empty());
        const auto &m = tk_.Messages.back();
        EXPECT_TRUE(std::regex_match(m.Text, std::regex("Error Number:  \\d+   .+"))) << m.Text;
        EXPECT_EQ(m.Buttons, MbOkOnly);
        EXPECT_EQ(m.Title, "");
    }
    EXPECT_EQ(tk_.Messages.size(), 2u);
}

TEST_F(ExportTest, PaletteExportFailureShowsMessageB) {
    LoadSmall();
    dialogs_.QueueFileAnswer(true, Path("missing-folder/pal.txt"));
    tk_.QueueAnswer(IdOk);
    Trigger(kPalette.action);
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages[0].Text, "Error: Bad Folder or Drive Selection");
    EXPECT_EQ(tk_.Messages[0].Buttons, MbOkOnly);
}

} // namespace
} // namespace tambrel::guitest
