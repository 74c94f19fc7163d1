// Zoom rules, picture window, menus, toolbar (centring, scrolling: scripts/smoke_windows.sh).
#include "gui_test_util.h"

#include "app/show_pic.h"
#include "tests/support/form_writer.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>

namespace tambrel::guitest {
namespace {

TEST(ZoomRules, StepsAndFit) {
    // Current zoom, direction, next zoom.
    for (auto [current, direction, next] : std::vector<std::tuple<double, int, double>>{
             {1, -1, 2.0 / 3}, {1.2, 1, 1.5}, {1.2, -1, 1}})
        EXPECT_DOUBLE_EQ(zoom::Step(current, direction), next) << current << " " << direction;
    EXPECT_DOUBLE_EQ(zoom::Fit({2000, 1500}, {1000, 1000}), 0.5);
    EXPECT_DOUBLE_EQ(zoom::Fit({0, 0}, {10, 10}), 1);
    // Header aspect x, y; a 10 x 10 picture as shown (0 or implausible: square).
    for (auto [x, y, w, h] : std::vector<std::tuple<int, int, int, int>>{
             {0, 11, 10, 10}, {2, 1, 20, 10}, {1, 2, 10, 20}, {1, 99, 10, 10}})
        EXPECT_EQ(zoom::AspectSize({10, 10}, zoom::PixelAspect(x, y)), QSize(w, h)) << x << y;
    EXPECT_EQ(PictureTitle("a.iff", 2.0 / 3, {4, 5}, true), "a.iff \u2014 67 % (4 \u00d7 5)");
}

class WindowsTest : public GuiTest {};

// One picture window, sized to the picture and redrawn for each; keys zoom it (sharp).
TEST_F(WindowsTest, PictureWindowSizesZoomsAndFollows) {
    LoadQuad("p.iff", 60, 90);
    main_->Do_Show_picture();
    ShowPic *w = main_->PictureWindow();
    ASSERT_TRUE(w && w->isVisible());
    EXPECT_EQ(w->size(), QSize(60, 90).expandedTo(MinimumPictureClient()));
    // The same size in other colours, loaded while the window is open: redrawn in it.
    QuadPicture quad = MakeQuadPicture(60, 90);
    quad.Colours[1] = 0x123456;
    WriteQuadPicture(Path("p.iff"), quad);
    LoadViaMenu(Path("p.iff"));
    EXPECT_EQ(main_->PictureWindow(), w) << "one picture window";
    EXPECT_EQ(w->Pic()->Image().pixelColor(0, 0), QColor(0x123456u)) << "redrawn";
    // Zoom in by the keys: 1.5 then 2, enlarged pixels kept sharp (no blend).
    for (QAction *a : w->actions())
        if (a->shortcuts().contains(QKeySequence(QKeySequence::ZoomIn)))
            a->trigger(), a->trigger();
    EXPECT_DOUBLE_EQ(w->Zoom(), 2);
    const QImage zoomed = w->ScrollArea()->widget()->grab().toImage();
    EXPECT_EQ(zoomed.pixelColor(59, 0), QColor(0x123456u)) << "last pixel of the left half";
    EXPECT_EQ(zoomed.pixelColor(60, 0), QColor(0x00FF00u)) << "first of the right half, unblended";
    w->FitToWindow();
    EXPECT_TRUE(w->FitMode());
    w->ActualSize();
    EXPECT_DOUBLE_EQ(w->Zoom(), 1);
    Trigger("Mnu_File_new");
    EXPECT_EQ(w->ScrollArea()->widget()->grab().toImage().pixelColor(0, 0), kPictureGround)
        << "follows New";
}

QAction *KeyAction(ShowPic &w, const QKeySequence &key) {
    for (QAction *a : w.actions())
        if (a->shortcuts().contains(key))
            return a;
    ADD_FAILURE() << key.toString().toStdString();
    return nullptr;
}

// Each picture opens whole (fitted, never enlarged) and centred on the dark
// ground; keys zoom, toggle the pixel aspect and full screen; the mouse pans.
TEST_F(WindowsTest, PictureWindowOpensWholeAndTakesViewerKeys) {
    LoadQuad("big.iff", 3000, 400);
    main_->Do_Show_picture();
    ShowPic &w = *main_->PictureWindow();
    EXPECT_LT(w.Zoom(), 1) << "fitted";
    KeyAction(w, Qt::Key_1)->trigger(), KeyAction(w, Qt::Key_Plus)->trigger();
    EXPECT_DOUBLE_EQ(w.Zoom(), 1.5) << "1, then plus";
    QScrollBar *h = w.ScrollArea()->horizontalScrollBar();
    const int before = h->value();
    QWidget *port = w.ScrollArea()->viewport();
    auto mouse = [port](QEvent::Type type, int x) {
        QMouseEvent e(type, QPointF(x, 5), QPointF(x, 5), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(port, &e);
    };
    mouse(QEvent::MouseButtonPress, 100), mouse(QEvent::MouseMove, 60);
    mouse(QEvent::MouseButtonRelease, 60);
    EXPECT_EQ(h->value(), before + 40) << "dragged left by 40";
    LoadQuad("small.iff", 40, 30); // 10:11 pixels: 40 x 33 shown
    EXPECT_DOUBLE_EQ(w.Zoom(), 1) << "not blown up";
    EXPECT_EQ(w.ScrollArea()->widget()->size(), QSize(40, 33));
    const QImage shown = port->grab().toImage();
    EXPECT_EQ(shown.pixelColor(0, 0), kPictureGround);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2 - 1, shown.height() / 2 - 1), QColor(0xFF0000u))
        << "centred";
    KeyAction(w, Qt::Key_A)->trigger();
    EXPECT_EQ(w.ScrollArea()->widget()->size(), QSize(40, 30)) << "square pixels";
    KeyAction(w, Qt::Key_F11)->trigger();
    EXPECT_TRUE(w.isFullScreen());
    KeyAction(w, Qt::Key_Escape)->trigger();
    EXPECT_FALSE(w.isFullScreen());
    mouse(QEvent::MouseButtonDblClick, 5);
    EXPECT_TRUE(w.isFullScreen()) << "double-click";
    // Open from the picture window asks as the main window's; Save As has its key.
    dialogs_.QueueFileAnswer(false, "");
    KeyAction(w, QKeySequence(Qt::CTRL | Qt::Key_O))->trigger();
    EXPECT_EQ(dialogs_.FileRequests().size(), 3u);
    EXPECT_EQ(main_->findChild<QAction *>("mnu_File_SAVESA")->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
}

// Transparent pixels over the checkerboard; next and previous picture of the folder by name.
TEST_F(WindowsTest, PictureWindowShowsTransparencyAndStepsThroughTheFolder) {
    test::ChunkyImage img(16, 2, 1);
    for (int x = 8; x < 16; ++x)
        img.At(x, 0) = img.At(x, 1) = 1;
    test::BmhdFields f = test::HeaderFor(img, false);
    f.Masking = 2, f.XaspectRatio = f.YaspectRatio = 0; // colour 0 transparent, square pixels
    f.PageWidth = 320; // a brush: the transparent colour applies only below the page size
    const std::vector<std::uint32_t> cmap{0xFF0000, 0x0000FF};
    test::IlbmBuilder()
        .Bmhd(f)
        .Cmap(cmap)
        .Body(test::BodyData(img, false))
        .WriteFile(Path("b.iff"));
    LoadQuad("a.iff", 8, 8), LoadQuad("c.iff", 8, 8);
    LoadViaMenu(Path("b.iff"));
    main_->Do_Show_picture();
    ShowPic &w = *main_->PictureWindow();
    const QImage shown = w.ScrollArea()->widget()->grab().toImage();
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(153, 153, 153)) << "checkerboard";
    EXPECT_EQ(shown.pixelColor(15, 0), QColor(0x0000FFu));
    // The picture shown after each key: none past either end.
    const std::string after = "ccbaab";
    const Qt::Key keys[] = {Qt::Key_Right,  Qt::Key_Space,     Qt::Key_Left,
                            Qt::Key_PageUp, Qt::Key_Backspace, Qt::Key_PageDown};
    for (int i = 0; i < 6; ++i) {
        KeyAction(w, keys[i])->trigger();
        EXPECT_EQ(main_->Picture().PicturePath, Path(after.substr(i, 1) + ".iff")) << i;
    }
    EXPECT_TRUE(w.windowTitle().startsWith("b.iff"));
}

// An active CRNG range turns while the window shows the picture; Tab stops it.
TEST_F(WindowsTest, PictureWindowCyclesColourRanges) {
    test::ChunkyImage img(8, 2, 3);
    for (int x = 0; x < 8; ++x)
        img.At(x, 0) = img.At(x, 1) = static_cast<std::uint8_t>(x);
    const std::vector<std::uint32_t> cmap{0,        0x200000, 0x400000, 0x600000,
                                          0x800000, 0xA00000, 0xC00000, 0xE00000};
    test::IlbmBuilder()
        .Bmhd(test::HeaderFor(img, false))
        .Cmap(cmap)
        .Chunk("CRNG", {0, 0, 0x10, 0, 0, 1, 0, 7}) // 15 steps a second, entries 0..7
        .Body(test::BodyData(img, false))
        .WriteFile(Path("cycle.iff"));
    LoadViaMenu(Path("cycle.iff"));
    main_->Do_Show_picture();
    ShowPic &w = *main_->PictureWindow();
    EXPECT_TRUE(w.CyclingShown());
    const QImage still = w.ShownImage();
    for (int i = 0; i < 100 && w.ShownImage() == still; ++i)
        Wait(20);
    EXPECT_NE(w.ShownImage().pixelColor(1, 0), still.pixelColor(1, 0)) << "turned";
    KeyAction(w, Qt::Key_Tab)->trigger();
    EXPECT_FALSE(w.CyclingShown());
    EXPECT_EQ(w.ShownImage().pixelColor(1, 0), QColor(0x200000u)) << "back to its own colours";
}

// The surfaces hold what was decoded, never a header's claim: none without a
// BODY, and the first BODY's size under a later, larger BMHD.
TEST_F(WindowsTest, SurfacesHoldOnlyWhatWasDecoded) {
    WriteNoBodyPicture(Path("h.iff"), 3000, 2000);
    test::BmhdFields f;
    f.Width = 16, f.Height = 4, f.Bitplanes = 1;
    test::BmhdFields later = f;
    later.Width = later.Height = 3000;
    test::IlbmBuilder()
        .Bmhd(f)
        .Cmap(std::vector<std::uint32_t>{0, 0xFFFFFF})
        .Body(test::Bytes(8, 0xFF))
        .Bmhd(later)
        .WriteFile(Path("s.iff"));
    for (const auto &[name, size] : {std::pair{"h.iff", QSize(0, 0)}, {"s.iff", QSize(16, 4)}}) {
        LoadViaMenu(Path(name));
        main_->Do_Show_picture();
        EXPECT_EQ(main_->Picture5()->Image().size(), size + QSize(2, 1)) << name;
        EXPECT_EQ(main_->PictureWindow()->Pic()->Image().size(), size.expandedTo({1, 1})) << name;
    }
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

TEST_F(WindowsTest, MenusAndToolbar) {
    Main();
    EXPECT_EQ(
        Captions(main_->menuBar()->actions()),
        "File[New|Load IFF|-|Save Bitmap|Save Bitmap As|-|Convert Folder|-|Quit]|"
        "Export[Palette As Text|Image As RAW 8bit Chunky|Image As RAW 32bit RGB|Image As PNG]|"
        "About[About|Tambrel-Pictures.org]");
    EXPECT_EQ(Captions(main_->Toolbar1()->actions()), "New|Load|Save As|View");
    LoadQuad("a.iff", 16, 16);

    // The toolbar: 1 New, 3 Save As, 4 View.
    main_->Toolbar1_ButtonClick(4);
    EXPECT_NE(main_->PictureWindow(), nullptr);
    dialogs_.QueueFileAnswer(false, "");
    main_->Toolbar1_ButtonClick(3);
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    EXPECT_TRUE(dialogs_.FileRequests()[1].save) << "Save As asks for a name";
    EXPECT_TRUE(Bitmaps(Dir()).empty()) << "not the quick save next to the source";
    main_->Toolbar1_ButtonClick(1);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
}

} // namespace
} // namespace tambrel::guitest
