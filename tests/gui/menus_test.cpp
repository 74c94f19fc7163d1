// The menu bar and the toolbar of the main window.
#include "gui_test_util.h"

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace tambrel::guitest {
namespace {

class MenusTest : public GuiTest {};

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

TEST_F(MenusTest, CaptionsInOrder) {
    Main();
    EXPECT_EQ(
        Captions(main_->menuBar()->actions()),
        "File[New|Load IFF|-|Save Bitmap|Save Bitmap As|-|Convert Folder|-|Quit]|"
        "Export[Palette As Text|Image As RAW 8bit Chunky|Image As RAW 32bit RGB|Image As PNG]|"
        "About[About|Tambrel-Pictures.org]");
    EXPECT_EQ(Captions(main_->Toolbar1()->actions()), "New|Load|Save As|View");
}

TEST_F(MenusTest, ToolbarButtonsRunTheirCommands) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(16, 16));
    LoadViaMenu(Path("a.iff"));
    main_->Toolbar1_ButtonClick(0);
    main_->Toolbar1_ButtonClick(5);
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u) << "other positions do nothing";
    main_->Toolbar1_ButtonClick(4);
    EXPECT_NE(main_->PictureWindow(), nullptr);
    dialogs_.QueueFileAnswer(false, "");
    main_->Toolbar1_ButtonClick(3);
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    EXPECT_TRUE(dialogs_.FileRequests()[1].save) << "Save As asks for a name";
    EXPECT_FALSE(Exists(Path("a.bmp"))) << "not the quick save next to the source";
    main_->Toolbar1_ButtonClick(1);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
    dialogs_.QueueFileAnswer(false, "");
    main_->Toolbar1_ButtonClick(2);
    ASSERT_EQ(dialogs_.FileRequests().size(), 3u);
    EXPECT_FALSE(dialogs_.FileRequests()[2].save);
}

} // namespace
} // namespace tambrel::guitest
