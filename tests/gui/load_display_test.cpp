// The load command (from the dialog, the command line and drops), the
// information panel, the preview, do_New and the re-entry guard around a load.
#include "gui_test_util.h"

#include "app/open_request.h"
#include "batch/batch_conversion.h"

#include <QAction>
#include <QDir>
#include <QFile>

#include <regex>

namespace tambrel::guitest {
namespace {

const QColor kLabel(17, 17, 17);
const QColor kValue(223, 128, 48);
const QColor kNotice(255, 17, 0);

// Pixels close to `c` (anti-aliased text has only some at the exact colour).
int PixelsNear(const QImage &img, const QColor &c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            n += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                     std::abs(p.blue() - c.blue()) <=
                 40;
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

// Each outcome of a load after another picture was shown; the file is handed
// over by the dialog, then as a program argument and as a drop, which must
// leave exactly what the dialog did.
enum class Setup { Cancel, Good, Vanish, Text, NoBody, Folder, Huge };
enum class Route { Dialog, Argument, Drop };
struct OutcomeCase {
    const char *name;
    Setup setup;
    const char *message; // regex of the one message; nullptr: none
    int loaded;
    std::vector<std::string> notice; // the preview's printed lines
};

// What a load left behind: everything the user sees.
struct Outcome {
    std::vector<std::string> Messages, Panel, Notice;
    int PictureLoaded = -1;
    QImage Work, Preview;
    bool operator==(const Outcome &) const = default;
};

class LoadOutcome : public LoadTest, public ::testing::WithParamInterface<OutcomeCase> {
  protected:
    Outcome Load(Route route) {
        const OutcomeCase &c = GetParam();
        main_.reset();
        tk_.ClearRecords();
        WriteQuadPicture(Path("earlier.iff"), MakeQuadPicture(64, 32));
        LoadViaMenu(Path("earlier.iff"));
        // Files that change between the hand-over and the read do so at the first yield.
        auto atYield = [this](std::function<void()> change) {
            tk_.OnYield = [this, change] {
                change();
                tk_.OnYield = nullptr;
            };
        };
        const std::string path = Path("A Pic.iff");
        QDir(QString::fromStdString(path)).removeRecursively(); // left by an earlier route
        if (c.setup == Setup::Good)
            WriteQuadPicture(path, quad_);
        if (c.setup == Setup::Vanish || c.setup == Setup::Folder) {
            WriteQuadPicture(path, MakeQuadPicture(8, 8));
            atYield([path, folder = c.setup == Setup::Folder] {
                QFile::remove(QString::fromStdString(path));
                if (folder) // chosen as a file, found as a folder when read
                    MakeFolder(path);
            });
        }
        if (c.setup == Setup::Text)
            WriteText(path, "This is a plain text file, not a picture.\r\n");
        if (c.setup == Setup::NoBody)
            WriteNoBodyPicture(path, 48, 20);
        if (c.setup == Setup::Huge) {
            test::BmhdFields f;
            f.Width = f.Height = 40000;
            f.Bitplanes = 1;
            test::IlbmBuilder()
                .Bmhd(f)
                .Cmap(std::vector<std::uint32_t>{0, 0xFFFFFF})
                .Body(test::Bytes(64, 0))
                .WriteFile(path);
        }
        if (c.message)
            tk_.QueueAnswer(IdOk);
        if (route == Route::Dialog) {
            dialogs_.QueueFileAnswer(c.setup != Setup::Cancel, path);
            Trigger("mnu_file_Load");
        } else {
            if (route == Route::Argument) {
                // Relative to the folder the program was started in, after an option.
                const QString before = QDir::currentPath();
                QDir::setCurrent(QString::fromStdString(Dir()));
                Main().OpenAtStart(FileFromArguments({"tambrel", "-x", "A Pic.iff"}));
                QDir::setCurrent(before);
            } else {
                EXPECT_EQ(Drop({path}), std::pair(true, true));
            }
            EXPECT_EQ(main_->Picture().PicturePath, Path("earlier.iff")) << "loads once idle";
            Wait(30);
        }
        tk_.OnYield = nullptr;
        EXPECT_FALSE(main_->Busy()) << "the guard is released";
        Outcome o;
        for (const auto &m : tk_.Messages)
            o.Messages.push_back(m.Text);
        o.PictureLoaded = main_->Picture().PictureLoaded;
        o.Work = main_->Picture5()->Image().copy();
        o.Preview = main_->Picture6()->Image().copy();
        for (const auto &line : main_->Picture1()->Printed())
            o.Panel.push_back(line.Text.toStdString());
        for (const auto &line : main_->Picture6()->Printed()) {
            o.Notice.push_back(line.Text.toStdString());
            EXPECT_EQ(std::pair(line.Bold, line.Colour), std::pair(true, kNotice));
        }
        return o;
    }
    void ExpectGoodPicture(const Outcome &o);
    const QuadPicture quad_ = MakeQuadPicture(320, 256);
};

void LoadOutcome::ExpectGoodPicture(const Outcome &o) {
    const FileDialogRequest &r = dialogs_.FileRequests().back();
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.filters.front(), (FilterEntry{"(*.Iff)", "*.iff"}));
    EXPECT_EQ(r.defaultExt, "IFF");
    EXPECT_EQ(main_->Picture().PicturePath, Path("A Pic.iff"));

    // Panel: label in normal weight, value in bold one blank's width on, same line.
    PictureSurface &panel = *main_->Picture1();
    const auto &printed = panel.Printed();
    ASSERT_GE(printed.size(), 26u);
    panel.SetBold(false); // labels are measured in normal weight
    for (std::size_t i = 0; i + 1 < printed.size(); i += 2) {
        const auto &label = printed[i], &value = printed[i + 1];
        SCOPED_TRACE(label.Text.toStdString());
        EXPECT_EQ(std::tuple(label.X, label.Bold, label.Colour), std::tuple(0.0, false, kLabel));
        EXPECT_EQ(std::tuple(value.Y, value.Bold, value.Colour), std::tuple(label.Y, true, kValue));
        EXPECT_EQ(value.X, panel.TextWidth(label.Text + " "));
        EXPECT_GT(label.Y, i >= 2 ? printed[i - 2].Y : -1);
    }
    const auto lines = PanelLines(panel);
    EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"File:", "A PIC"}));
    EXPECT_EQ(lines[4], (std::pair<std::string, std::string>{"Pixels :", " 81920"}));
    EXPECT_GT(PixelsNear(panel.Image(), kValue), 20);
    EXPECT_GT(PixelsNear(panel.Image(), kLabel), 20);

    // Work surface: the picture at the top-left, a white margin right and below.
    ASSERT_EQ(o.Work.size(), QSize(322, 257));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {160, 0}, {0, 128}, {319, 255}})
        EXPECT_EQ(o.Work.pixelColor(x, y), Rgb(quad_.ColourAt(x, y))) << x << "," << y;
    EXPECT_TRUE(AllWhite(o.Work.copy(320, 0, 2, 257)));
    EXPECT_TRUE(AllWhite(o.Work.copy(0, 256, 322, 1)));

    // Preview: 324 x 259 outer, the copy in 320 x 256, white beyond it.
    EXPECT_EQ(main_->Picture6()->size(), QSize(324, 259));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{40, 40}, {280, 40}, {40, 200}, {280, 200}})
        EXPECT_EQ(o.Preview.pixelColor(x, y), Rgb(quad_.ColourAt(x, y))) << x << "," << y;
    EXPECT_TRUE(AllWhite(o.Preview.copy(320, 0, 2, o.Preview.height())));
    EXPECT_TRUE(AllWhite(o.Preview.copy(0, 256, 320, o.Preview.height() - 256)));
}

TEST_P(LoadOutcome, ShowsWhatTheFileGivesWhicheverWayItCame) {
    const OutcomeCase &c = GetParam();
    const Outcome o = Load(Route::Dialog);
    EXPECT_EQ(o.PictureLoaded, c.loaded);
    ASSERT_EQ(o.Messages.size(), c.message ? 1u : 0u);
    if (c.message) {
        EXPECT_TRUE(std::regex_match(o.Messages[0], std::regex(c.message))) << o.Messages[0];
        EXPECT_EQ(std::pair(tk_.Messages[0].Buttons, tk_.Messages[0].Title),
                  std::pair(int(MbOkOnly), std::string()));
    }
    EXPECT_EQ(o.Notice, c.notice);
    const auto lines = PanelLines(*main_->Picture1());
    if (c.setup == Setup::Cancel) {
        EXPECT_EQ(lines.at(0).second, "EARLIER") << "the picture stays";
        EXPECT_EQ(main_->Picture().Width, 64);
        return;
    }
    if (c.setup == Setup::NoBody) {
        EXPECT_EQ(lines.at(1).second, " 48");
        EXPECT_GT(PixelsNear(o.Preview, kNotice), 20);
        EXPECT_TRUE(AllWhite(o.Work)) << "no BODY: the work surface stays white";
    } else if (c.setup == Setup::Good) {
        ExpectGoodPicture(o);
    } else { // do_New ran first: everything blank
        EXPECT_TRUE(lines.empty());
        EXPECT_TRUE(AllWhite(main_->Picture1()->Image()));
        EXPECT_TRUE(AllWhite(o.Preview));
        EXPECT_LT(main_->Picture5()->InnerWidth(), 1000) << "refused before any surface";
    }
    for (Route route : {Route::Argument, Route::Drop}) {
        SCOPED_TRACE(route == Route::Argument ? "argument" : "drop");
        EXPECT_TRUE(Load(route) == o);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadOutcome,
    ::testing::Values(
        OutcomeCase{"Cancelled", Setup::Cancel, nullptr, 1, {}},
        OutcomeCase{"Good", Setup::Good, nullptr, 1, {}},
        OutcomeCase{"Vanished", Setup::Vanish, "Error- File Doesn't Exist", 0, {}},
        OutcomeCase{"NotIlbm", Setup::Text, nullptr, 0, {}},
        OutcomeCase{
            "NoBody", Setup::NoBody, nullptr, 1, {"Can't render:A PIC", "Missing Image BODY hunk"}},
        OutcomeCase{"Unreadable", Setup::Folder, "Load Error:  \\d+  .*A Pic\\.iff.*", 0, {}},
        OutcomeCase{"TooLarge",
                    Setup::Huge,
                    "Load Error:  7  Picture too large: 40000 x 40000 pixels is more than this "
                    "program holds",
                    0,
                    {}}),
    [](const auto &info) { return std::string(info.param.name); });

// Preview scaling: each direction by its own factor, inner work area -> 320 x 256.
class PreviewScaling : public GuiTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(PreviewScaling, StretchesEachDirectionIndependently) {
    const auto [w, h] = GetParam();
    const auto quad = MakeQuadPicture(w, h);
    WriteQuadPicture(Path("p.iff"), quad);
    LoadViaMenu(Path("p.iff"));
    const QImage &preview = main_->Picture6()->Image();
    const double fx = 320.0 / (w + 2), fy = 256.0 / (h + 1);
    auto nearEdge = [](double s, double edge, double f) { return std::abs(s - edge) * f < 2; };
    // Sample the centre of preview cells and map them back to the picture,
    // skipping samples near a colour edge, where the stretch method decides.
    for (int py = 2; py < 256; py += 9)
        for (int px = 2; px < 320; px += 11) {
            const double sx = (px + 0.5) / fx, sy = (py + 0.5) / fy;
            if (nearEdge(sx, w / 2, fx) || nearEdge(sx, w, fx) || nearEdge(sy, h / 2, fy) ||
                nearEdge(sy, h, fy))
                continue;
            const QColor expected =
                (sx >= w || sy >= h) ? kWhite : Rgb(quad.ColourAt(int(sx), int(sy)));
            ASSERT_EQ(preview.pixelColor(px, py), expected) << px << "," << py;
        }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewScaling,
                         ::testing::Values(std::pair(16, 16), std::pair(640, 512),
                                           std::pair(100, 30), std::pair(1, 1)));

TEST_F(LoadTest, NewForgetsThePictureAndWhitensTheSurfaces) {
    EXPECT_EQ(Main().Picture6()->Image().size(), QSize(320, 256)) << "the preview at start";
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(64, 64));
    LoadViaMenu(Path("a.iff"));
    ASSERT_FALSE(AllWhite(main_->Picture6()->Image()));
    Trigger("Mnu_File_new");
    const IFF_Picture &pic = main_->Picture();
    EXPECT_EQ(std::tuple(pic.Width, pic.Height, pic.PictureName, pic.PictureLoaded),
              std::tuple(0, 0, std::string(), 0));
    for (PictureSurface *s : {main_->Picture1(), main_->Picture5(), main_->Picture6()})
        EXPECT_TRUE(AllWhite(s->Image())) << s->objectName().toStdString();
    main_->Toolbar1_ButtonClick(4);
    EXPECT_EQ(main_->PictureWindow(), nullptr) << "no picture, no picture window";
}

// While a load is under way, commands that change or write the picture, a
// batch run, a second load and drops are all refused.
TEST_F(LoadTest, CommandsDuringALoadAreIgnored) {
    const auto quad = MakeQuadPicture(40, 20);
    WriteQuadPicture(Path("a.iff"), quad);
    WriteQuadPicture(Path("b.iff"), MakeQuadPicture(8, 16));
    Frm_Batch_Conversion &batch = OpenBatch(Dir());
    int attempts = 0;
    tk_.OnYield = [&] {
        ++attempts;
        EXPECT_TRUE(main_->Busy());
        batch.Button_Convert_Click();
        for (const char *name :
             {"Mnu_File_new", "mnu_file_Load", "mnu_File_SAVE", "mnu_File_SAVESA",
              "mnu_Export_palette_AS_text", "mnu_Export_Image_As_Chunky",
              "mnu_Export_Image_As_32bitRGBChunky"})
            main_->findChild<QAction *>(name)->trigger();
        for (int position = 1; position <= 3; ++position)
            main_->Toolbar1_ButtonClick(position);
        EXPECT_FALSE(main_->LoadFromPath(Path("b.iff")));
        EXPECT_EQ(Drop({Path("b.iff")}), std::pair(false, false));
    };
    LoadViaMenu(Path("a.iff"));
    tk_.OnYield = nullptr;
    Wait(30);
    EXPECT_GE(attempts, 2) << "the load yields after the dialog and before the preview";
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u) << "no second dialog was opened";
    EXPECT_EQ(main_->Picture().PicturePath, Path("a.iff"));
    EXPECT_EQ(main_->Picture6()->Image().pixelColor(40, 40), Rgb(quad.Colours[1]));
    EXPECT_TRUE(Bitmaps(Dir()).empty()) << "neither a save nor a batch run happened";
    EXPECT_FALSE(main_->Busy());
    Trigger("Mnu_File_new");
    EXPECT_EQ(main_->Picture().PictureLoaded, 0) << "once the load is over, New works again";
}

} // namespace
} // namespace tambrel::guitest
