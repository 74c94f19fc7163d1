// The load command, the information panel, the preview and do_New.
#include "gui_test_util.h"

#include "batch/batch_conversion.h"
#include "decoder/iff_picture.h"

#include <QAction>
#include <QDir>

#include <regex>

namespace tambrel::guitest {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kLabel(17, 17, 17);
const QColor kValue(223, 128, 48);
const QColor kNotice(255, 17, 0);

bool AllWhite(const QImage &img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != QColor(255, 255, 255))
                return false;
    return true;
}

// Pixels close to `c` (anti-aliased text has only some at the exact colour).
int PixelsNear(const QImage &img, const QColor &c, int tolerance = 24) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) <= tolerance &&
                std::abs(p.green() - c.green()) <= tolerance &&
                std::abs(p.blue() - c.blue()) <= tolerance)
                ++n;
        }
    return n;
}

// The panel's label/value pairs as printed.
std::vector<std::pair<std::string, std::string>> PanelLines(const PictureSurface &panel) {
    std::vector<std::pair<std::string, std::string>> lines;
    const auto &printed = panel.Printed();
    for (std::size_t i = 0; i + 1 < printed.size(); i += 2)
        lines.emplace_back(printed[i].Text.toStdString(), printed[i + 1].Text.toStdString());
    return lines;
}

class LoadTest : public GuiTest {};

TEST_F(LoadTest, OpenDialogAsksForIffFilesWithTheLoadFilter) {
    const auto quad = MakeQuadPicture(32, 16);
    WriteQuadPicture(Path("a.iff"), quad);
    LoadViaMenu(Path("a.iff"));
    ASSERT_EQ(dialogs_.FileRequests().size(), 1u);
    const FileDialogRequest &r = dialogs_.FileRequests()[0];
    EXPECT_FALSE(r.save);
    ASSERT_EQ(r.filters.size(), 2u);
    EXPECT_EQ(r.filters[0], (FilterEntry{"(*.Iff)", "*.iff"}));
    EXPECT_EQ(r.filters[1], (FilterEntry{"(*.*)", "*.*"}));
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.defaultExt, "IFF");
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_FALSE(r.multiSelect);
    EXPECT_TRUE(r.flags & kOfnHideReadOnly);
    EXPECT_EQ(r.owner, main_.get());
}

TEST_F(LoadTest, GoodPictureFillsPanelWorkSurfaceAndPreview) {
    const auto quad = MakeQuadPicture(320, 256);
    WriteQuadPicture(Path("Quad.Pic.iff"), quad);
    LoadViaMenu(Path("Quad.Pic.iff"));
    EXPECT_TRUE(tk_.Messages.empty());
    const IFF_Picture &pic = main_->Picture();
    EXPECT_EQ(pic.PictureLoaded, 1);
    EXPECT_EQ(pic.PicturePath, Path("Quad.Pic.iff")) << "the path reaches the decoder unchanged";

    // Panel: label then value on one line, the value one blank's width on.
    const auto &printed = main_->Picture1()->Printed();
    ASSERT_GE(printed.size(), 26u);
    main_->Picture1()->SetBold(false); // labels are measured in normal weight
    for (std::size_t i = 0; i + 1 < printed.size(); i += 2) {
        const auto &label = printed[i];
        const auto &value = printed[i + 1];
        EXPECT_EQ(label.X, 0);
        EXPECT_FALSE(label.Bold);
        EXPECT_EQ(label.Colour, kLabel);
        EXPECT_TRUE(value.Bold);
        EXPECT_EQ(value.Colour, kValue);
        EXPECT_EQ(value.Y, label.Y);
        EXPECT_EQ(value.X, main_->Picture1()->TextWidth(label.Text + " ") * 1.0)
            << label.Text.toStdString();
        if (i >= 2) {
            EXPECT_GT(label.Y, printed[i - 2].Y);
        }
    }
    const auto lines = PanelLines(*main_->Picture1());
    EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"File:", "QUAD.PIC"}));
    EXPECT_EQ(lines[1].second, " 320");
    EXPECT_EQ(lines[2].second, " 256");
    EXPECT_EQ(lines[4].second, " 81920");
    EXPECT_GT(PixelsNear(main_->Picture1()->Image(), kValue), 0);
    EXPECT_GT(PixelsNear(main_->Picture1()->Image(), kLabel), 0);

    // Work surface: inner (Width + 2) x (Height + 1), picture at the top-left.
    const QImage &work = main_->Picture5()->Image();
    ASSERT_EQ(work.width(), 322);
    ASSERT_EQ(work.height(), 257);
    for (auto [x, y] : std::vector<std::pair<int, int>>{
             {0, 0}, {159, 127}, {160, 0}, {319, 0}, {0, 128}, {319, 255}, {200, 200}})
        EXPECT_EQ(work.pixelColor(x, y), Rgb(quad.ColourAt(x, y))) << x << "," << y;
    for (int y = 0; y < 257; y += 16) {
        EXPECT_EQ(work.pixelColor(320, y), kWhite);
        EXPECT_EQ(work.pixelColor(321, y), kWhite);
    }
    EXPECT_EQ(work.pixelColor(100, 256), kWhite);

    // Preview: 324 x 259 outer, the copy in 320 x 256, white beyond it.
    EXPECT_EQ(main_->Picture6()->width(), 324);
    EXPECT_EQ(main_->Picture6()->height(), 259);
    const QImage &preview = main_->Picture6()->Image();
    EXPECT_EQ(preview.pixelColor(40, 40), Rgb(quad.Colours[1]));
    EXPECT_EQ(preview.pixelColor(280, 40), Rgb(quad.Colours[2]));
    EXPECT_EQ(preview.pixelColor(40, 200), Rgb(quad.Colours[3]));
    EXPECT_EQ(preview.pixelColor(280, 200), Rgb(quad.Colours[4]));
    for (int y = 0; y < preview.height(); y += 8) {
        EXPECT_EQ(preview.pixelColor(320, y), kWhite);
        EXPECT_EQ(preview.pixelColor(321, y), kWhite);
    }
    EXPECT_EQ(preview.pixelColor(10, 256), kWhite);
}

// Preview scaling: each direction by its own factor, inner work area -> 320 x 256.
struct ScaleCase {
    int width, height;
};
void PrintTo(const ScaleCase &c, std::ostream *os) {
    *os << c.width << "x" << c.height;
}

class PreviewScaling : public GuiTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(PreviewScaling, StretchesEachDirectionIndependently) {
    const auto [w, h] = GetParam();
    const auto quad = MakeQuadPicture(w, h);
    WriteQuadPicture(Path("p.iff"), quad);
    LoadViaMenu(Path("p.iff"));
    const QImage &preview = main_->Picture6()->Image();
    const double fx = 320.0 / (w + 2), fy = 256.0 / (h + 1);
    // Sample the centre of preview cells and map them back to the picture.
    for (int py = 2; py < 256; py += 9)
        for (int px = 2; px < 320; px += 11) {
            const double sx = (px + 0.5) / fx, sy = (py + 0.5) / fy;
            // Skip samples near a colour edge, where the stretch method decides.
            auto nearEdge = [](double s, double edge, double f) {
                return std::abs(s - edge) * f < 2;
            };
            if (nearEdge(sx, w / 2, fx) || nearEdge(sx, w, fx) || nearEdge(sy, h / 2, fy) ||
                nearEdge(sy, h, fy))
                continue;
            const QColor expected =
                (sx >= w || sy >= h) ? kWhite : Rgb(quad.ColourAt(int(sx), int(sy)));
            ASSERT_EQ(preview.pixelColor(px, py), expected) << px << "," << py;
        }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewScaling,
                         ::testing::Values(ScaleCase{16, 16}, ScaleCase{640, 512},
                                           ScaleCase{100, 30}, ScaleCase{1, 1}));

TEST_F(LoadTest, OnePixelPictureGetsFiveByFourWorkSurface) {
    WriteQuadPicture(Path("one.iff"), MakeQuadPicture(1, 1));
    LoadViaMenu(Path("one.iff"));
    EXPECT_EQ(main_->Picture5()->width(), 5);
    EXPECT_EQ(main_->Picture5()->height(), 4);
    EXPECT_EQ(main_->Picture5()->InnerWidth(), 3);
    EXPECT_EQ(main_->Picture5()->InnerHeight(), 2);
}

TEST_F(LoadTest, CancelledDialogLeavesThePictureShown) {
    const auto quad = MakeQuadPicture(64, 32);
    WriteQuadPicture(Path("a.iff"), quad);
    LoadViaMenu(Path("a.iff"));
    const QImage before = main_->Picture6()->Image().copy();
    const int yields = tk_.Yields;
    dialogs_.QueueFileAnswer(false, "");
    Trigger("mnu_file_Load");
    EXPECT_EQ(main_->Picture().PictureLoaded, 1);
    EXPECT_EQ(main_->Picture().Width, 64);
    EXPECT_EQ(main_->Picture6()->Image(), before);
    EXPECT_FALSE(main_->Picture1()->Printed().empty());
    EXPECT_EQ(tk_.Yields, yields) << "nothing runs after a cancelled dialog";
}

TEST_F(LoadTest, FileGoneAfterTheDialogIsReported) {
    WriteQuadPicture(Path("gone.iff"), MakeQuadPicture(8, 8));
    // The file vanishes while the screen is repainted after the dialog.
    tk_.OnYield = [this] {
        QFile::remove(QString::fromStdString(Path("gone.iff")));
        tk_.OnYield = nullptr;
    };
    tk_.QueueAnswer(IdOk);
    LoadViaMenu(Path("gone.iff"));
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages[0].Text, "Error- File Doesn't Exist");
    EXPECT_EQ(tk_.Messages[0].Buttons, MbOkOnly);
    EXPECT_EQ(tk_.Messages[0].Title, "");
    EXPECT_EQ(main_->Picture().LoadStatus, 0);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
    EXPECT_TRUE(AllWhite(main_->Picture1()->Image()));
}

TEST_F(LoadTest, NotAnIlbmFileLeavesEverythingBlankWithoutMessage) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(32, 32));
    LoadViaMenu(Path("a.iff"));
    WriteText(Path("text.iff"), "This is a plain text file, not a picture.\r\n");
    LoadViaMenu(Path("text.iff"));
    EXPECT_TRUE(tk_.Messages.empty());
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
    EXPECT_TRUE(AllWhite(main_->Picture1()->Image()));
    EXPECT_TRUE(AllWhite(main_->Picture6()->Image()));
    EXPECT_TRUE(main_->Picture1()->Printed().empty());
}

TEST_F(LoadTest, PictureWithoutBodyShowsPanelAndNotice) {
    WriteNoBodyPicture(Path("NoBody.iff"), 48, 20);
    LoadViaMenu(Path("NoBody.iff"));
    EXPECT_TRUE(tk_.Messages.empty());
    EXPECT_EQ(main_->Picture().PictureLoaded, 1);
    EXPECT_EQ(main_->Picture().BodyFound, 0);
    const auto lines = PanelLines(*main_->Picture1());
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[0].second, "NOBODY");
    EXPECT_EQ(lines[1].second, " 48");
    const auto &notice = main_->Picture6()->Printed();
    ASSERT_EQ(notice.size(), 2u);
    EXPECT_EQ(notice[0].Text.toStdString(), "Can't render:NOBODY");
    EXPECT_EQ(notice[1].Text.toStdString(), "Missing Image BODY hunk");
    for (const auto &line : notice) {
        EXPECT_TRUE(line.Bold);
        EXPECT_EQ(line.Colour, kNotice);
    }
    EXPECT_EQ(notice[0].Y, 0);
    EXPECT_GT(notice[1].Y, notice[0].Y);
    EXPECT_GT(PixelsNear(main_->Picture6()->Image(), kNotice), 0);
    EXPECT_TRUE(AllWhite(main_->Picture5()->Image())) << "no BODY: the work surface stays white";
}

TEST_F(LoadTest, UnreadableFileGivesLoadErrorMessage) {
    // Chosen as a file, found as a folder when the load reads it.
    WriteQuadPicture(Path("folder.iff"), MakeQuadPicture(8, 8));
    tk_.OnYield = [this] {
        QFile::remove(QString::fromStdString(Path("folder.iff")));
        QDir(QString::fromStdString(Dir())).mkdir("folder.iff");
        tk_.OnYield = nullptr;
    };
    tk_.QueueAnswer(IdOk);
    LoadViaMenu(Path("folder.iff"));
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(tk_.Messages[0].Text, std::regex("Load Error:  \\d+  .*folder\\.iff.*")))
        << tk_.Messages[0].Text;
    EXPECT_EQ(tk_.Messages[0].Buttons, MbOkOnly);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
    EXPECT_FALSE(main_->Busy()) << "the guard is released after a failed load";
}

TEST_F(LoadTest, TooLargePictureGivesOutOfMemoryLoadError) {
    test::BmhdFields f;
    f.Width = 40000;
    f.Height = 40000;
    f.Bitplanes = 1;
    const std::vector<std::uint32_t> colours{0, 0xFFFFFF};
    test::IlbmBuilder b;
    b.Bmhd(f).Cmap(colours).Body(test::Bytes(64, 0));
    b.WriteFile(Path("huge.iff"));
    tk_.QueueAnswer(IdOk);
    LoadViaMenu(Path("huge.iff"));
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages[0].Text.rfind("Load Error:  7  ", 0), 0u) << tk_.Messages[0].Text;
}

TEST_F(LoadTest, NewForgetsThePictureAndWhitensTheSurfaces) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(64, 64));
    LoadViaMenu(Path("a.iff"));
    ASSERT_FALSE(AllWhite(main_->Picture6()->Image()));
    Trigger("Mnu_File_new");
    const IFF_Picture &pic = main_->Picture();
    EXPECT_EQ(pic.Width, 0);
    EXPECT_EQ(pic.Height, 0);
    EXPECT_EQ(pic.PictureName, "");
    EXPECT_EQ(pic.PictureLoaded, 0);
    EXPECT_TRUE(AllWhite(main_->Picture1()->Image()));
    EXPECT_TRUE(AllWhite(main_->Picture5()->Image()));
    EXPECT_TRUE(AllWhite(main_->Picture6()->Image()));
    // Commands that need a picture now do nothing (no dialog is scripted).
    Trigger("mnu_File_SAVE");
    Trigger("mnu_File_SAVESA");
    Trigger("mnu_Export_palette_AS_text");
    Trigger("mnu_Export_Image_As_Chunky");
    Trigger("mnu_Export_Image_As_32bitRGBChunky");
    main_->Toolbar1_ButtonClick(4);
    EXPECT_EQ(main_->PictureWindow(), nullptr);
    EXPECT_FALSE(Exists(Path("a.bmp")));
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u);
}

// The panel's "Mode:" lines for each display mode.
struct ModeCase {
    const char *name;
    int planes;
    std::optional<std::uint32_t> camg;
    bool ctbl;
    std::vector<std::string> modeLines;
    const char *modeId;
};
void PrintTo(const ModeCase &c, std::ostream *os) {
    *os << c.name;
}

class InfoPanelModes : public GuiTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(InfoPanelModes, ListsTheModeLines) {
    const ModeCase &c = GetParam();
    test::ChunkyImage img(16, 4, c.planes);
    std::vector<std::uint32_t> colours(std::size_t{1} << std::min(c.planes, 8), 0x446688);
    if (c.planes == 6 && c.camg && (*c.camg & 0x800) == 0)
        colours.resize(32); // Extra Half-Brite: 32 colours in the file
    test::IlbmBuilder b;
    b.Bmhd(test::HeaderFor(img, false)).Cmap(colours);
    if (c.camg)
        b.Camg(*c.camg);
    if (c.ctbl) {
        std::vector<std::array<std::uint16_t, 16>> lines(4);
        b.Ctbl(lines);
    }
    b.Body(test::BodyData(img, false));
    b.WriteFile(Path("cat.ilbm.iff"));
    LoadViaMenu(Path("cat.ilbm.iff"));

    const auto lines = PanelLines(*main_->Picture1());
    const std::vector<std::string> labels = {
        "File:",           "Width :",      "Height :", "Bitplanes:", "Pixels :",
        "Xpos:",           "Ypos:",        "Masking:", "Packtype:",  "X Aspect Ratio:",
        "Y Aspect Ratio:", "Mask Colour:", "Mode ID:"};
    ASSERT_EQ(lines.size(), labels.size() + c.modeLines.size());
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(lines[i].first, labels[i]);
    EXPECT_EQ(lines[0].second, "CAT.ILBM");
    EXPECT_EQ(lines[3].second, " " + std::to_string(c.planes));
    EXPECT_EQ(lines[12].second, c.modeId);
    for (std::size_t i = 0; i < c.modeLines.size(); ++i) {
        EXPECT_EQ(lines[13 + i].first, "Mode:");
        EXPECT_EQ(lines[13 + i].second, c.modeLines[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, InfoPanelModes,
    ::testing::Values(
        ModeCase{"Plain5", 5, std::nullopt, false, {}, "$0000000"},
        ModeCase{"Ham6Interlaced", 6, 0x804u, false, {"Ham (OCS)", "Interlaced"}, "$0000804"},
        ModeCase{"HamBitOnFivePlanes", 5, 0x800u, false, {}, "$0000800"},
        ModeCase{"HalfBriteDynamic", 6, 0x80u, true, {"HalfBright", "Dynamic Palette"}, "$0000080"},
        ModeCase{"Ham8", 8, 0x800u, false, {"HamAA(AGA)"}, "$0000800"}),
    [](const auto &info) { return std::string(info.param.name); });

// While a load is under way, commands that change or write the picture are ignored.
TEST_F(LoadTest, CommandsDuringALoadAreIgnored) {
    const auto quad = MakeQuadPicture(40, 20);
    WriteQuadPicture(Path("a.iff"), quad);
    Main();
    // A batch window is open on the same folder: its run must wait too.
    Trigger("mnu_Convert_Folder");
    ASSERT_NE(main_->BatchWindow(), nullptr);
    main_->BatchWindow()->SetCurrentPath(Dir());
    int attempts = 0;
    tk_.OnYield = [this, &attempts] {
        ++attempts;
        EXPECT_TRUE(main_->Busy());
        main_->BatchWindow()->Button_Convert_Click();
        for (const char *name :
             {"Mnu_File_new", "mnu_file_Load", "mnu_File_SAVE", "mnu_File_SAVESA",
              "mnu_Export_palette_AS_text", "mnu_Export_Image_As_Chunky",
              "mnu_Export_Image_As_32bitRGBChunky"})
            main_->findChild<QAction *>(name)->trigger();
        for (int position = 1; position <= 3; ++position)
            main_->Toolbar1_ButtonClick(position);
    };
    LoadViaMenu(Path("a.iff"));
    tk_.OnYield = nullptr;
    EXPECT_GE(attempts, 2) << "the load yields after the dialog and before the preview";
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u) << "no second dialog was opened";
    EXPECT_EQ(main_->Picture().PictureLoaded, 1);
    EXPECT_EQ(main_->Picture().Width, 40);
    EXPECT_EQ(main_->Picture6()->Image().pixelColor(40, 40), Rgb(quad.Colours[1]));
    EXPECT_FALSE(Exists(Path("a.bmp")));
    EXPECT_FALSE(main_->Busy());
    // Once the load is over, New works again.
    Trigger("Mnu_File_new");
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
}

} // namespace
} // namespace tambrel::guitest
