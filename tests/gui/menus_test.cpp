// Menu tree, toolbar and layout of the main window.
#include "gui_test_util.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace tambrel::guitest {
namespace {

class MenusTest : public GuiTest {};

TEST_F(MenusTest, MenuTreeHasEveryEntryInOrder) {
    Main();
    struct Entry {
        const char *name;
        const char *caption; // nullptr: a separator
    };
    const std::vector<std::pair<const char *, std::vector<Entry>>> tree = {
        {"File",
         {{"Mnu_File_new", "New"},
          {"mnu_file_Load", "Load IFF"},
          {"mnu_File_nothing22", nullptr},
          {"mnu_File_SAVE", "Save Bitmap"},
          {"mnu_File_SAVESA", "Save Bitmap As"},
          {"mnu_File_nothing", nullptr},
          {"mnu_Convert_Folder", "Convert Folder"},
          {"mnu_file_slash", nullptr},
          {"mnu_File_Quit", "Quit"}}},
        {"Export",
         {{"mnu_Export_palette_AS_text", "Palette As Text"},
          {"mnu_Export_Image_As_Chunky", "Image As RAW 8bit Chunky"},
          {"mnu_Export_Image_As_32bitRGBChunky", "Image As RAW 32bit RGB"}}},
        {"About", {{"mnu_about_about", "About"}, {"mnu_about_website", ""}}},
    };
    const std::vector<const char *> menuNames = {"mnu_file", "mnu_Export", "mnu_Abuot"};
    const auto bar = main_->menuBar()->actions();
    ASSERT_EQ(bar.size(), 3);
    for (std::size_t m = 0; m < tree.size(); ++m) {
        EXPECT_EQ(bar[m]->text().toStdString(), tree[m].first);
        QMenu *menu = bar[m]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName().toStdString(), menuNames[m]);
        const auto actions = menu->actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(tree[m].second.size()));
        for (std::size_t i = 0; i < tree[m].second.size(); ++i) {
            const Entry &e = tree[m].second[i];
            EXPECT_EQ(actions[i]->objectName().toStdString(), e.name);
            if (!e.caption)
                EXPECT_TRUE(actions[i]->isSeparator()) << e.name;
            else if (*e.caption)
                EXPECT_EQ(actions[i]->text().toStdString(), e.caption);
            else
                EXPECT_FALSE(actions[i]->text().isEmpty());
        }
    }
}

TEST_F(MenusTest, ToolbarHasFourButtonsAndOthersDoNothing) {
    Main();
    QToolBar *bar = main_->Toolbar1();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->objectName(), "Toolbar1");
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), 4);
    const char *texts[] = {"New", "Load", "Save As", "View"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), texts[i]);
        EXPECT_FALSE(actions[i]->icon().isNull());
    }
    // Position 2 asks for a file; 0 and 5 do nothing at all.
    main_->Toolbar1_ButtonClick(0);
    main_->Toolbar1_ButtonClick(5);
    EXPECT_TRUE(dialogs_.FileRequests().empty());
    dialogs_.QueueFileAnswer(false, "");
    actions[1]->trigger();
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u);
}

TEST_F(MenusTest, ToolbarSaveAsIsTheDialogSave) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(16, 16));
    LoadViaMenu(Path("a.iff"));
    dialogs_.QueueFileAnswer(false, "");
    main_->Toolbar1()->actions()[2]->trigger();
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    EXPECT_TRUE(dialogs_.FileRequests()[1].save);
    EXPECT_FALSE(Exists(Path("a.bmp"))) << "not the quick save next to the source";
}

TEST_F(MenusTest, FramesAndSurfacesFollowTheLayout) {
    Main();
    auto *frame1 = main_->findChild<QGroupBox *>("Frame1");
    auto *frame2 = main_->findChild<QGroupBox *>("Frame2");
    ASSERT_TRUE(frame1 && frame2);
    EXPECT_EQ(frame1->title(), "Picture Info");
    EXPECT_EQ(frame2->title(), "Preview Picture (320*256)");
    EXPECT_EQ(frame1->size(), QSize(177, 281));
    EXPECT_EQ(frame2->size(), QSize(337, 281));
    EXPECT_EQ(frame2->x() - frame1->x(), 184);
    EXPECT_EQ(main_->Picture1()->parent(), frame1);
    EXPECT_EQ(main_->Picture6()->parent(), frame2);
    EXPECT_EQ(main_->Picture1()->geometry(), QRect(8, 16, 161, 257));
    EXPECT_EQ(main_->Picture6()->geometry(), QRect(8, 16, 322, 258));
    EXPECT_EQ(main_->Picture6()->Image().size(), QSize(320, 256));
    EXPECT_EQ(main_->Picture1()->toolTip(), "IFF Images Details");
    EXPECT_EQ(main_->Picture6()->toolTip(), "Scaled Version Of Image");
    EXPECT_FALSE(main_->Picture5()->isVisibleTo(main_.get()));
    EXPECT_EQ(main_->centralWidget()->width(), 537);
}

} // namespace
} // namespace tambrel::guitest
