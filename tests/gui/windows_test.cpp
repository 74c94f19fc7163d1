// Zoom rules, picture window, menus, toolbar (centring, scrolling: scripts/smoke_windows.sh).
#include "gui_test_util.h"

#include "app/show_pic.h"
#include "tests/support/form_writer.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
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
    const QImage zoomed = w->ScrollArea()->viewport()->grab().toImage();
    EXPECT_EQ(zoomed.pixelColor(59, 0), QColor(0x123456u)) << "last pixel of the left half";
    EXPECT_EQ(zoomed.pixelColor(60, 0), QColor(0x00FF00u)) << "first of the right half, unblended";
    w->FitToWindow();
    EXPECT_TRUE(w->FitMode());
    w->ActualSize();
    EXPECT_DOUBLE_EQ(w->Zoom(), 1);
    Trigger("Mnu_File_new");
    EXPECT_TRUE(AllWhite(w->ScrollArea()->widget()->grab().toImage())) << "follows New, on white";
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
