// The drawing surface, the picture window, menus, toolbar and keys (centring and
// scrolling: scripts/smoke_windows.sh).
#include "gui_test_util.h"

#include "app/show_pic.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QToolBar>

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
    for (auto [current, direction, next] : std::vector<std::tuple<double, int, double>>{
             {1, -1, 2.0 / 3}, {1.2, 1, 1.5}, {1.2, -1, 1}, {32, 1, 32}, {1.0 / 16, -1, 1.0 / 16}})
        EXPECT_DOUBLE_EQ(zoom::Step(current, direction), next) << current << " " << direction;
    for (auto [picture, room, fit] :
         std::vector<std::tuple<QSize, QSize, double>>{{{2000, 1500}, {1000, 1000}, 0.5},
                                                       {{1, 1}, {400, 300}, zoom::kMax},
                                                       {{64000, 10}, {10, 10}, zoom::kMin},
                                                       {{0, 0}, {10, 10}, 1}})
        EXPECT_DOUBLE_EQ(zoom::Fit(picture, room), fit)
            << picture.width() << "x" << picture.height();
}

class WindowsTest : public GuiTest {};

// One picture window, sized and redrawn for each picture; keys zoom and close it.
TEST_F(WindowsTest, PictureWindowSizesZoomsAndFollows) {
    struct Row {
        int width, height;
        bool body;
        std::uint32_t firstColour; // palette entry 1, so same-size pictures differ
    };
    ShowPic *window = nullptr;
    for (const Row &r :
         std::vector<Row>{{60, 90, true, 0xFF0000}, {60, 90, true, 0x123456}, {70, 30, false, 0}}) {
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
        EXPECT_EQ(img.pixelColor(0, 0), Rgb(r.firstColour)) << "redrawn";
        EXPECT_EQ(img.pixelColor(r.width - 1, r.height - 1),
                  quad.ColourAt(r.width - 1, r.height - 1));
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

TEST_F(WindowsTest, MenusKeysAndToolbar) {
    Main();
    EXPECT_EQ(
        Captions(main_->menuBar()->actions()),
        "File[New|Load IFF|-|Save Bitmap|Save Bitmap As|-|Convert Folder|-|Quit]|"
        "Export[Palette As Text|Image As RAW 8bit Chunky|Image As RAW 32bit RGB|Image As PNG]|"
        "About[About|Tambrel-Pictures.org]");
    EXPECT_EQ(Captions(main_->Toolbar1()->actions()), "New|Load|Save As|View");
    const std::pair<const char *, QKeySequence> keys[] = {
        {"Mnu_File_new", QKeySequence::New},
        {"mnu_file_Load", QKeySequence::Open},
        {"mnu_File_SAVE", QKeySequence::Save},
        {"mnu_File_SAVESA", QKeySequence::SaveAs},
        {"mnu_File_Quit", QKeySequence::Quit},
        {"MenuBarKey", QKeySequence(Qt::Key_F10)}}; // View's Ctrl+Return: smoke_windows.sh
    for (const auto &[action, key] : keys)
        EXPECT_EQ(main_->findChild<QAction *>(action)->shortcut(), key) << action;

    LoadQuad("a.iff", 16, 16);

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
