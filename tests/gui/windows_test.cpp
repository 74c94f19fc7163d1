// The drawing surface, the picture window (zoom steps and fit, size, following
// the main window), batch window placement, menus, toolbar, keys and the
// panel's tooltip. Centring with the frame and scrolling to a large picture's
// corner are checked under a window manager by scripts/smoke_windows.sh.
#include "gui_test_util.h"

#include "app/show_pic.h"

#include <QHelpEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QToolBar>
#include <QToolTip>

namespace tambrel::guitest {
namespace {

// The surface the windows draw on (its text is checked through the panel).
TEST(PictureSurface, SizeBorderClearAndClipping) {
    PictureSurface s(nullptr, 1);
    s.SetOuterSize(12, 9);
    EXPECT_EQ(QSize(s.InnerWidth(), s.InnerHeight()), QSize(10, 7));
    s.SetBackColor(QColor(9, 8, 7));
    s.PrintLine("x");
    s.Clear();
    EXPECT_EQ(std::pair(s.CurrentX(), s.CurrentY()), std::pair(0.0, 0.0));
    EXPECT_TRUE(s.Printed().empty());
    s.SetPixel(3, 4, QColor(1, 2, 3));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {10, 0}, {0, 7}})
        s.SetPixel(x, y, Qt::black); // clipped
    s.SetBackColor(kWhite);
    s.SetOuterSize(22, 19);
    s.show();
    s.hide();
    const QImage &img = s.Image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor expected = (x == 3 && y == 4)  ? QColor(1, 2, 3)
                                    : (x < 10 && y < 7) ? QColor(9, 8, 7)
                                                        : kWhite; // new area: the background
            ASSERT_EQ(img.pixelColor(x, y), expected) << x << "," << y;
        }
}

TEST(ZoomRules, StepsAndFit) {
    // Current zoom, direction, next zoom.
    for (auto [current, direction, next] :
         std::vector<std::tuple<double, int, double>>{{1, 1, 1.5},
                                                      {1, -1, 2.0 / 3},
                                                      {1.2, 1, 1.5},
                                                      {1.2, -1, 1},
                                                      {32, 1, 32},
                                                      {1.0 / 16, -1, 1.0 / 16},
                                                      {16, 1, 24}})
        EXPECT_DOUBLE_EQ(zoom::Step(current, direction), next) << current << " " << direction;
    for (auto [picture, room, fit] :
         std::vector<std::tuple<QSize, QSize, double>>{{{2000, 1500}, {1000, 1000}, 0.5},
                                                       {{100, 50}, {400, 400}, 4},
                                                       {{1, 1}, {400, 300}, zoom::kMax},
                                                       {{64000, 10}, {10, 10}, zoom::kMin},
                                                       {{0, 0}, {10, 10}, 1}})
        EXPECT_DOUBLE_EQ(zoom::Fit(picture, room), fit)
            << picture.width() << "x" << picture.height();
}

TEST(BatchPlacementRule, BesideTheMainWindowInsideTheScreen) {
    const QSize wanted(520, 420), minimum(400, 300);
    struct Row {
        const char *name;
        QRect main, area;
        bool mainMoves;
    };
    for (const Row &r : std::vector<Row>{
             {"room on the right", {100, 100, 540, 380}, {0, 0, 1280, 1024}, false},
             {"room on the left only", {700, 100, 540, 380}, {0, 0, 1280, 1024}, false},
             {"centred on a narrow screen", {242, 180, 540, 380}, {0, 0, 1024, 768}, true},
             {"room below only", {0, 0, 900, 300}, {0, 0, 1000, 800}, false}}) {
        SCOPED_TRACE(r.name);
        const BatchPlacement p = PlaceBeside(r.main, wanted, minimum, r.area);
        const QRect main(p.MainPos, r.main.size());
        EXPECT_EQ(p.MainPos != r.main.topLeft(), r.mainMoves);
        EXPECT_TRUE(r.area.contains(p.Batch)) << "inside the screen";
        EXPECT_TRUE(r.area.contains(main));
        EXPECT_FALSE(p.Batch.intersects(main)) << "never over the main window";
        EXPECT_GE(p.Batch.width(), minimum.width());
        EXPECT_GE(p.Batch.height(), minimum.height());
    }
}

class WindowsTest : public GuiTest {};

// One picture window shows each picture in turn: sized to it (never below the
// minimum) and redrawn; it zooms by the keys, follows loads and New, and
// Escape closes it.
TEST_F(WindowsTest, PictureWindowSizesZoomsAndFollows) {
    struct Row {
        int width, height;
        bool body;
        std::uint32_t firstColour; // palette entry 1, so same-size pictures differ
    };
    ShowPic *window = nullptr;
    for (const Row &r : std::vector<Row>{{1, 1, true, 0xFF0000},
                                         {60, 90, true, 0xFF0000},
                                         {60, 90, true, 0x123456},
                                         {70, 30, false, 0}}) {
        SCOPED_TRACE(r.width + r.firstColour);
        auto quad = MakeQuadPicture(r.width, r.height);
        quad.Colours[1] = r.firstColour;
        if (r.body)
            WriteQuadPicture(Path("p.iff"), quad);
        else
            WriteNoBodyPicture(Path("p.iff"), r.width, r.height);
        LoadViaMenu(Path("p.iff"));
        main_->Do_Show_picture();
        EXPECT_TRUE(!window || main_->PictureWindow() == window) << "one picture window";
        ShowPic *w = window = main_->PictureWindow();
        ASSERT_TRUE(w && w->isVisible());
        const QImage &img = w->Pic()->Image();
        EXPECT_EQ(w->size(), QSize(r.width, r.height).expandedTo(MinimumPictureClient()));
        EXPECT_EQ(img.size(), QSize(r.width, r.height));
        if (!r.body) {
            EXPECT_TRUE(AllWhite(img));
            continue;
        }
        const int x1 = img.width() - 1, y1 = img.height() - 1;
        for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {x1, 0}, {0, y1}, {x1, y1}})
            EXPECT_EQ(img.pixelColor(x, y), quad.ColourAt(x, y)) << x << "," << y;
    }
    // Zoom in by the keys: 1.5 then 2, enlarged pixels kept sharp (no blend).
    LoadQuad("z.iff", 40, 40);
    ShowPic *w = main_->PictureWindow();
    EXPECT_EQ(w->Pic()->Image().size(), QSize(40, 40)) << "follows the load while open";
    for (QAction *a : w->actions())
        if (a->shortcuts().contains(QKeySequence(QKeySequence::ZoomIn)))
            a->trigger(), a->trigger();
    EXPECT_DOUBLE_EQ(w->Zoom(), 2);
    const QImage zoomed = w->ScrollArea()->viewport()->grab().toImage();
    EXPECT_EQ(zoomed.pixelColor(39, 0), Rgb(0xFF0000)) << "last pixel of the left half";
    EXPECT_EQ(zoomed.pixelColor(40, 0), Rgb(0x00FF00)) << "first of the right half, unblended";
    w->FitToWindow();
    EXPECT_TRUE(w->FitMode());
    w->ActualSize();
    EXPECT_DOUBLE_EQ(w->Zoom(), 1);
    Trigger("Mnu_File_new");
    EXPECT_TRUE(AllWhite(w->ScrollArea()->widget()->grab().toImage())) << "follows New, on white";
    for (QAction *a : w->actions())
        if (a->shortcut() == QKeySequence(Qt::Key_Escape))
            a->trigger();
    EXPECT_FALSE(w->isVisible()) << "Escape closes it";
}

// The captions as the user reads them, "-" for a separator.
std::string Captions(const QList<QAction *> &actions) {
    std::string out;
    for (QAction *a : actions) {
        out += out.empty() ? "" : "|";
        out += a->isSeparator() ? "-" : a->text().remove('&').toStdString();
        if (a->menu())
            out += "[" + Captions(a->menu()->actions()) + "]";
    }
    return out;
}

TEST_F(WindowsTest, MenusKeysTooltipAndToolbar) {
    Main();
    EXPECT_EQ(
        Captions(main_->menuBar()->actions()),
        "File[New|Load IFF|-|Save Bitmap|Save Bitmap As|-|Convert Folder|-|Quit]|"
        "Export[Palette As Text|Image As RAW 8bit Chunky|Image As RAW 32bit RGB|Image As PNG]|"
        "About[About|Tambrel-Pictures.org]");
    EXPECT_EQ(Captions(main_->Toolbar1()->actions()), "New|Load|Save As|View");
    for (QAction *menu : main_->menuBar()->actions())
        EXPECT_TRUE(menu->text().startsWith('&')) << "mnemonic on " << menu->text().toStdString();
    const std::pair<const char *, QKeySequence> keys[] = {
        {"Mnu_File_new", QKeySequence::New},
        {"mnu_file_Load", QKeySequence::Open},
        {"mnu_File_SAVE", QKeySequence::Save},
        {"mnu_File_SAVESA", QKeySequence::SaveAs},
        {"mnu_File_Quit", QKeySequence::Quit},
        {"MenuBarKey", QKeySequence(Qt::Key_F10)},
        {"Toolbar1_Button4", QKeySequence(Qt::CTRL | Qt::Key_Return)}};
    for (const auto &[action, key] : keys)
        EXPECT_EQ(main_->findChild<QAction *>(action)->shortcut(), key) << action;
    EXPECT_EQ(main_->minimumSize(), main_->maximumSize()) << "fixed size";

    // The file-name line of the panel shows the whole path.
    LoadQuad("a-rather-long-picture-name-for-the-panel.iff", 16, 16);
    const std::string path = Path("a-rather-long-picture-name-for-the-panel.iff");
    PictureSurface *panel = main_->Picture1();
    main_->show();
    const auto &file = panel->Printed().front();
    const QPoint at(static_cast<int>(file.X) + 3, static_cast<int>(file.Y) + 4);
    QHelpEvent help(QEvent::ToolTip, at, panel->mapToGlobal(at));
    QCoreApplication::sendEvent(panel, &help);
    EXPECT_EQ(QToolTip::text().toStdString(), path);
    QToolTip::hideText();

    // The toolbar: 1 New, 2 Load, 3 Save As, 4 View; other positions do nothing.
    main_->Toolbar1_ButtonClick(0);
    main_->Toolbar1_ButtonClick(5);
    main_->Toolbar1_ButtonClick(4);
    EXPECT_NE(main_->PictureWindow(), nullptr);
    dialogs_.QueueFileAnswer(false, "");
    main_->Toolbar1_ButtonClick(3);
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    EXPECT_TRUE(dialogs_.FileRequests()[1].save) << "Save As asks for a name";
    EXPECT_TRUE(Bitmaps(Dir()).empty()) << "not the quick save next to the source";
    main_->Toolbar1_ButtonClick(1);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
    dialogs_.QueueFileAnswer(false, "");
    main_->Toolbar1_ButtonClick(2);
    ASSERT_EQ(dialogs_.FileRequests().size(), 3u);
    EXPECT_FALSE(dialogs_.FileRequests()[2].save);
}

} // namespace
} // namespace tambrel::guitest
