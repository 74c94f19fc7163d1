// The windows as a desktop picture viewer's: zoom steps and fit, the picture
// window's minimum size, scrolling and following, batch window placement,
// keyboard access, error icons and the panel's file-name tooltip.
#include "gui_test_util.h"

#include "app/show_pic.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeySequence>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>

namespace tambrel::guitest {
namespace {

TEST(ZoomRules, StepsAndFit) {
    struct StepRow {
        double current;
        int direction;
        double expected;
    };
    for (const StepRow &r : std::vector<StepRow>{{1, 1, 1.5},
                                                 {1, -1, 2.0 / 3},
                                                 {1.2, 1, 1.5},
                                                 {1.2, -1, 1},
                                                 {32, 1, 32},
                                                 {1.0 / 16, -1, 1.0 / 16},
                                                 {16, 1, 24}})
        EXPECT_DOUBLE_EQ(zoom::Step(r.current, r.direction), r.expected)
            << r.current << " " << r.direction;
    struct FitRow {
        QSize picture, room;
        double expected;
    };
    for (const FitRow &r : std::vector<FitRow>{{{2000, 1500}, {1000, 1000}, 0.5},
                                               {{100, 50}, {400, 400}, 4},
                                               {{1, 1}, {400, 300}, zoom::kMax},
                                               {{64000, 10}, {10, 10}, zoom::kMin},
                                               {{0, 0}, {10, 10}, 1}})
        EXPECT_DOUBLE_EQ(zoom::Fit(r.picture, r.room), r.expected)
            << r.picture.width() << "x" << r.picture.height();
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
// minimum), centred, redrawn; larger ones scroll inside the screen.
TEST_F(WindowsTest, PictureWindowSizesScrollsZoomsAndFollows) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct Row {
        int width, height;
        bool body;
        std::uint32_t firstColour; // palette entry 1, so same-size pictures differ
    };
    ShowPic *window = nullptr;
    for (const Row &r :
         std::vector<Row>{{1, 1, true, 0xFF0000},
                          {60, 90, true, 0xFF0000},
                          {60, 90, true, 0x123456},
                          {70, 30, false, 0},
                          {area.width() + 200, area.height() + 100, true, 0xFF0000}}) {
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
        const bool scrolls = r.width > area.width();
        const QImage &img = w->Pic()->Image();
        if (!scrolls) {
            EXPECT_EQ(w->size(), QSize(r.width, r.height).expandedTo(MinimumPictureClient()));
            EXPECT_EQ(img.size(), QSize(r.width, r.height));
            EXPECT_LE((w->frameGeometry().center() - area.center()).manhattanLength(), 2);
        }
        EXPECT_TRUE(area.contains(w->frameGeometry()));
        QScrollBar *h = w->ScrollArea()->horizontalScrollBar();
        QScrollBar *v = w->ScrollArea()->verticalScrollBar();
        EXPECT_EQ(h->maximum() > 0 && v->maximum() > 0, scrolls);
        w->ScrollToCorner(true);
        EXPECT_EQ(std::pair(h->value(), v->value()), std::pair(h->maximum(), v->maximum()));
        if (!r.body) {
            EXPECT_TRUE(AllWhite(img));
            continue;
        }
        const int x1 = img.width() - 1, y1 = img.height() - 1;
        for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {x1, 0}, {0, y1}, {x1, y1}})
            EXPECT_EQ(img.pixelColor(x, y), Rgb(quad.ColourAt(x, y))) << x << "," << y;
    }
    // Zoom in by the keys: 1.5 then 2, enlarged pixels kept sharp (no blend).
    WriteQuadPicture(Path("z.iff"), MakeQuadPicture(40, 40));
    LoadViaMenu(Path("z.iff"));
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
    EXPECT_TRUE(AllWhite(w->Pic()->Image())) << "follows New";
    for (QAction *a : w->actions())
        if (a->shortcut() == QKeySequence(Qt::Key_Escape))
            a->trigger();
    EXPECT_FALSE(w->isVisible()) << "Escape closes it";
}

TEST_F(WindowsTest, KeyboardIconsAndTooltip) {
    Main();
    struct Row {
        const char *action;
        QKeySequence key;
    };
    for (const Row &r :
         std::vector<Row>{{"Mnu_File_new", QKeySequence::New},
                          {"mnu_file_Load", QKeySequence::Open},
                          {"mnu_File_SAVE", QKeySequence::Save},
                          {"mnu_File_SAVESA", QKeySequence::SaveAs},
                          {"mnu_File_Quit", QKeySequence::Quit},
                          {"Toolbar1_Button4", QKeySequence(Qt::CTRL | Qt::Key_Return)},
                          {"MenuBarKey", QKeySequence(Qt::Key_F10)}})
        EXPECT_EQ(main_->findChild<QAction *>(r.action)->shortcut(), r.key) << r.action;
    for (QAction *menu : main_->menuBar()->actions())
        EXPECT_TRUE(menu->text().startsWith('&')) << "mnemonic on " << menu->text().toStdString();
    EXPECT_EQ(main_->minimumSize(), main_->maximumSize()) << "fixed size";

    // Load errors carry the error icon.
    tk_.QueueAnswer(IdOk);
    main_->LoadFromPath(Path("missing.iff"));
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages[0].Icon, MbCritical);

    // The file-name line of the panel shows the whole path.
    const std::string path = Path("a-rather-long-picture-name-for-the-panel.iff");
    WriteQuadPicture(path, MakeQuadPicture(8, 8));
    LoadViaMenu(path);
    PictureSurface *panel = main_->Picture1();
    main_->show();
    const auto &file = panel->Printed().front();
    const QPoint at(static_cast<int>(file.X) + 3, static_cast<int>(file.Y) + 4);
    QHelpEvent help(QEvent::ToolTip, at, panel->mapToGlobal(at));
    QCoreApplication::sendEvent(panel, &help);
    EXPECT_EQ(QToolTip::text().toStdString(), path);
    QToolTip::hideText();
}

} // namespace
} // namespace tambrel::guitest
