// The menu tree and the toolbar of the main window.
#include "gui_test_util.h"

#include "splash/maker_site.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace tambrel::guitest {
namespace {

class MenusTest : public GuiTest {};

std::vector<std::string> Describe(const QList<QAction *> &actions) {
    std::vector<std::string> out;
    for (QAction *a : actions)
        out.push_back(
            a->objectName().toStdString() +
            (a->isSeparator() ? std::string() : "=" + a->text().remove('&').toStdString()));
    return out;
}

TEST_F(MenusTest, MenusAndToolbarInOrder) {
    Main();
    // "name=caption" per entry, the name alone for a separator.
    const std::vector<std::vector<std::string>> menus = {
        {"mnu_file=File", "Mnu_File_new=New", "mnu_file_Load=Load IFF", "mnu_File_nothing22",
         "mnu_File_SAVE=Save Bitmap", "mnu_File_SAVESA=Save Bitmap As", "mnu_File_nothing",
         "mnu_Convert_Folder=Convert Folder", "mnu_file_slash", "mnu_File_Quit=Quit"},
        {"mnu_Export=Export", "mnu_Export_palette_AS_text=Palette As Text",
         "mnu_Export_Image_As_Chunky=Image As RAW 8bit Chunky",
         "mnu_Export_Image_As_32bitRGBChunky=Image As RAW 32bit RGB"},
        {"mnu_Abuot=About", "mnu_about_about=About",
         std::string("mnu_about_website=") + kMakerCaption}};
    const auto bar = main_->menuBar()->actions();
    ASSERT_EQ(bar.size(), 3);
    for (int m = 0; m < 3; ++m) {
        auto entries = Describe(bar[m]->menu()->actions());
        entries.insert(entries.begin(), Describe({bar[m]}).front());
        EXPECT_EQ(entries, menus[m]);
    }
    EXPECT_EQ(Describe(main_->Toolbar1()->actions()),
              (std::vector<std::string>{"Toolbar1_Button1=New", "Toolbar1_Button2=Load",
                                        "Toolbar1_Button3=Save As", "Toolbar1_Button4=View"}));
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
