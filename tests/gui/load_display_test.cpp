// The load command (dialog, command line, drops), the panel, the preview and the load guard.
#include "gui_test_util.h"

#include "app/open_request.h"
#include "tests/support/form_writer.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <regex>
#include <unistd.h>
#include <utility>

namespace tambrel::guitest {
namespace {

const QColor kLabel(17, 17, 17);
const QColor kValue(223, 128, 48);

// The panel's label/value pairs as printed.
std::vector<std::pair<std::string, std::string>> PanelLines(const PictureSurface &panel) {
    std::vector<std::pair<std::string, std::string>> lines;
    const auto &printed = panel.Printed();
    for (std::size_t i = 0; i + 1 < printed.size(); i += 2)
        lines.emplace_back(printed[i].Text.toStdString(), printed[i + 1].Text.toStdString());
    return lines;
}

class LoadTest : public GuiTest {};

// Each outcome of a load over another picture, by the dialog and then by a drop (the same).
enum class Setup { Cancel, Good, Vanish, Text, NoBody, Huge };
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
    Outcome Load(bool drop) {
        const OutcomeCase &c = GetParam();
        main_.reset();
        tk_.ClearRecords();
        LoadQuad("earlier.iff", 64, 32);
        // A file that vanishes between the hand-over and the read does so at the first yield.
        const std::string path = Path("A Pic.iff");
        if (c.setup == Setup::Good)
            WriteQuadPicture(path, quad_);
        if (c.setup == Setup::Vanish) {
            WriteQuadPicture(path, MakeQuadPicture(8, 8));
            tk_.OnYield = [this, path] {
                QFile::remove(QString::fromStdString(path));
                tk_.OnYield = nullptr;
            };
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
        if (drop) {
            EXPECT_EQ(Drop(path), std::pair(true, true));
            EXPECT_EQ(main_->Picture().PicturePath, Path("earlier.iff")) << "loads once idle";
            Wait(30);
        } else {
            dialogs_.QueueFileAnswer(c.setup != Setup::Cancel, path);
            Trigger("mnu_file_Load");
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
        for (const auto &line : main_->Picture6()->Printed())
            o.Notice.push_back(line.Text.toStdString());
        return o;
    }
    void ExpectGoodPicture(const Outcome &o);
    // Far taller than wide: the preview stretches each direction by its own factor.
    const QuadPicture quad_ = MakeQuadPicture(100, 1000);
};

void LoadOutcome::ExpectGoodPicture(const Outcome &o) {
    EXPECT_EQ(main_->Picture().PicturePath, Path("A Pic.iff"));
    // Panel: label in normal weight, value in bold one blank's width on, same line.
    PictureSurface &panel = *main_->Picture1();
    const auto &printed = panel.Printed();
    ASSERT_GE(printed.size(), 26u);
    panel.SetBold(false); // labels are measured in normal weight
    EXPECT_EQ(printed[0].Y, 0.0) << "a fresh panel starts at the top";
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

    // Work surface: the picture at the top-left, a white margin right and below.
    ASSERT_EQ(o.Work.size(), QSize(102, 1001));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {50, 0}, {0, 500}, {99, 999}})
        EXPECT_EQ(o.Work.pixelColor(x, y), quad_.ColourAt(x, y)) << x << "," << y;
    EXPECT_TRUE(AllWhite(o.Work.copy(100, 0, 2, 1001)));
    EXPECT_TRUE(AllWhite(o.Work.copy(0, 1000, 102, 1)));

    // Preview: 324 x 259 outer, the whole work area stretched to 320 x 256.
    EXPECT_EQ(main_->Picture6()->size(), QSize(324, 259));
    for (auto [px, py] :
         std::vector<std::pair<int, int>>{{78, 64}, {235, 192}, {318, 128}, {2, 255}}) {
        const int x = px * 102 / 320, y = py * 1001 / 256;
        EXPECT_EQ(o.Preview.pixelColor(px, py), x >= 100 ? kWhite : quad_.ColourAt(x, y))
            << px << "," << py;
    }
}

TEST_P(LoadOutcome, ShowsWhatTheFileGivesWhicheverWayItCame) {
    const OutcomeCase &c = GetParam();
    const Outcome o = Load(false);
    EXPECT_EQ(o.PictureLoaded, c.loaded);
    ASSERT_EQ(o.Messages.size(), c.message ? 1u : 0u);
    for (const std::string &m : o.Messages) // the one message
        EXPECT_TRUE(std::regex_match(m, std::regex(c.message))) << m;
    EXPECT_EQ(o.Notice, c.notice);
    const auto lines = PanelLines(*main_->Picture1());
    if (c.setup == Setup::Cancel) {
        EXPECT_EQ(lines.at(0).second, "EARLIER") << "the picture stays";
        return;
    }
    if (c.setup == Setup::NoBody) {
        EXPECT_EQ(lines.at(1).second, " 48");
        EXPECT_FALSE(AllWhite(o.Preview)) << "the notice is drawn";
        EXPECT_TRUE(AllWhite(o.Work)) << "no BODY: the work surface stays white";
    } else if (c.setup == Setup::Good) {
        ExpectGoodPicture(o);
    } else { // New ran first: everything blank
        EXPECT_TRUE(lines.empty());
        EXPECT_TRUE(AllWhite(main_->Picture1()->Image()));
        EXPECT_TRUE(AllWhite(o.Preview));
        EXPECT_LT(main_->Picture5()->InnerWidth(), 1000) << "refused before any surface";
    }
    EXPECT_TRUE(Load(true) == o) << "a drop";
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadOutcome,
    ::testing::Values(
        OutcomeCase{"Cancelled", Setup::Cancel, nullptr, 1, {}},
        OutcomeCase{"Good", Setup::Good, nullptr, 1, {}},
        OutcomeCase{"Vanished", Setup::Vanish, "Error- File Doesn't Exist", 0, {}},
        OutcomeCase{"NotIlbm", Setup::Text, "Load Error: A Pic.iff is not an IFF picture", 0, {}},
        OutcomeCase{
            "NoBody", Setup::NoBody, nullptr, 1, {"Can't render:A PIC", "Missing Image BODY hunk"}},
        OutcomeCase{
            "TooLarge", Setup::Huge, "Load Error:  7  Picture too large: 40000 x 40000 .*", 0, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// The file the program is started with, and the one a drop hands over.
TEST_F(LoadTest, ArgumentsAndDropsPickTheFirstLocalFile) {
    const QString here = QDir::currentPath() + "/";
    const std::pair<QStringList, QString> cases[] = {
        {{"pics/a.iff"}, here + "pics/a.iff"},
        {{"--", "-dash.iff"}, here + "-dash.iff"},
        {{"file:///p/a%20b.iff"}, "/p/a b.iff"},
        {{"", "-v", "http://host/a.iff", "/p/b.iff", "/p/c.iff"}, "/p/b.iff"},
    };
    for (const auto &[args, expected] : cases) // args after the program name
        EXPECT_EQ(FileFromArguments(QStringList{"tambrel"} + args), expected.toStdString())
            << args.join(' ').toStdString();
    const QString folder = QString::fromStdString(Dir()), file = folder + "/x.iff";
    QMimeData data;
    data.setUrls({QUrl("http://host/a.iff"), QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file),
                  QUrl::fromLocalFile(folder + "/y.iff")});
    EXPECT_EQ(FirstLocalFile(data), file.toStdString());
    for (const std::string &refused : {std::string(), std::string("http://host/b.iff"), Dir()})
        EXPECT_EQ(Drop(refused), std::pair(false, false)) << refused;
}

// During a load, picture commands, saves, exports, batch runs, loads and drops are refused.
TEST_F(LoadTest, CommandsDuringALoadAreIgnored) {
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
        EXPECT_FALSE(main_->LoadFromPath(Path("b.iff")));
        EXPECT_EQ(Drop(Path("b.iff")), std::pair(false, false));
    };
    // A timer fires while the picture decodes, not only at the yields (which process none here).
    tk_.ProcessEvents = false;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    const QuadPicture quad = LoadQuad("a.iff", 2048, 2048);
    timer.stop();
    EXPECT_GT(ticks, 0) << "the window was frozen during the load";
    tk_.OnYield = nullptr;
    Wait(30);
    EXPECT_GE(attempts, 2) << "the load yields after the dialog and before the preview";
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u) << "no second dialog was opened";
    EXPECT_EQ(main_->Picture().PicturePath, Path("a.iff"));
    EXPECT_EQ(main_->Picture6()->Image().pixelColor(40, 40), quad.ColourAt(0, 0));
    EXPECT_TRUE(Bitmaps(Dir()).empty()) << "neither a save nor a batch run happened";
}

// A key typed during a load reaches its widget after the load; a close cancels the load.
TEST_F(LoadTest, KeysWaitForTheLoadAndClosingCancelsIt) {
    tk_.ProcessEvents = false;
    QLineEdit typed;
    bool typedWhileBusy = false;
    QObject::connect(&typed, &QLineEdit::textEdited, [&] { typedWhileBusy |= main_->Busy(); });
    std::function<void()> during; // run at the first tick inside a load
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (during && main_ && main_->Busy())
            std::exchange(during, nullptr)();
    });
    timer.start();
    during = [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(&typed, &key);
    };
    LoadQuad("a.iff", 2048, 2048);
    Wait(30);
    EXPECT_FALSE(during);
    EXPECT_EQ(typed.text(), "a");
    EXPECT_FALSE(typedWhileBusy) << "the key waited for the load's end";
    during = [&] { // a click on the progress window's Cancel passes the held input
        auto *cancel = main_->findChild<QProgressDialog *>()->findChild<QPushButton *>();
        for (auto [type, held] : {std::pair(QEvent::MouseButtonPress, Qt::LeftButton),
                                  std::pair(QEvent::MouseButtonRelease, Qt::NoButton)}) {
            QMouseEvent e(type, QPointF(2, 2), cancel->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                          held, {});
            QCoreApplication::sendEvent(cancel, &e);
        }
    };
    LoadQuad("c.iff", 2048, 2048);
    EXPECT_FALSE(during);
    EXPECT_TRUE(main_->Picture1()->Printed().empty()) << "cancelled, silently";
    during = [&] { main_->close(); };
    LoadQuad("b.iff", 2048, 2048);
    EXPECT_FALSE(during);
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_TRUE(main_->Picture1()->Printed().empty()) << "the load stopped, silently";
}

// A deep picture: true colours in the preview; the raw 8-bit export says why it is refused.
TEST_F(LoadTest, DeepPicturePreviewAndRefusedExport) {
    const QuadPicture quad = MakeQuadPicture(64, 48);
    test::DeepImage deep{64, 48, 32, {}};
    for (std::uint8_t v : quad.Image.Pixels)
        deep.Pixels.push_back(quad.Colours[v] | 0x80000000u);
    test::BmhdFields f = test::HeaderFor(quad.Image, true);
    f.Bitplanes = 32;
    test::IlbmBuilder().Bmhd(f).Body(test::DeepBodyData(deep, true)).WriteFile(Path("k.iff"));
    LoadViaMenu(Path("k.iff"));
    // True colours in the preview (the middle of the 66 x 49 work area's top-left quadrant).
    EXPECT_EQ(main_->Picture6()->Image().pixelColor(16 * 320 / 66, 12 * 256 / 49),
              quad.ColourAt(16, 12));
    tk_.QueueAnswer(IdOk);
    Trigger("mnu_Export_Image_As_Chunky");
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages.back().Text, "Can't export: the picture is deep (32 bit planes of "
                                        "true colour) and has no palette indices");
    Trigger("Mnu_File_new");
    Trigger("mnu_Export_palette_AS_text");
    EXPECT_EQ(tk_.Messages.size(), 1u) << "after New nothing is said to be deep";
}

// A name that is no valid UTF-8 keeps its bytes from the command line, a drop and the batch list.
TEST_F(LoadTest, NonUtf8NamesKeepTheirBytes) {
    const std::string name = Path("\xff\xfe.iff");
    WriteQuadPicture(name, MakeQuadPicture(16, 8));
    std::string args[] = {"tambrel", "-x", name};
    char *argv[] = {args[0].data(), args[1].data(), args[2].data()};
    Main().OpenAtStart(FileFromArguments(3, argv)); // loads once the event loop runs
    Wait(30);
    EXPECT_EQ(main_->Picture().PicturePath, name);
    QMimeData data;
    data.setUrls({QUrl::fromEncoded(QByteArray("file://") +
                                    QByteArray::fromStdString(name).toPercentEncoding("/"))});
    EXPECT_EQ(FirstLocalFile(data), name);
    Frm_Batch_Conversion &batch = OpenBatch(Dir());
    EXPECT_EQ(batch.FolderFiles(), (std::vector<std::string>{"\xff\xfe.iff"}));
    tk_.QueueAnswer(IdNo); // convert another folder?
    batch.Button_Convert_Click();
    EXPECT_TRUE(FileExists(Path("\xff\xfe.bmp")));
    ::unlink(Path("\xff\xfe.bmp").c_str());
    ::unlink(name.c_str()); // a name the temporary folder's clean-up cannot see
}

} // namespace
} // namespace tambrel::guitest
