// What the windows remember between openings and runs (folders, zoom) in
// their own settings file, the dialogs' start folders, filters and suggested
// names, and the batch window's Cancel, counts and folder field.
#include "gui_test_util.h"

#include "app/remembered.h"
#include "app/show_pic.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

namespace tambrel::guitest {
namespace {

class RememberedTest : public GuiTest {
  protected:
    // A new main window on the same folders: the program started again.
    void Restart() {
        main_.reset();
        Main();
    }
    std::string Config() const { return config_.path().toStdString(); }
};

TEST_F(RememberedTest, DialogsStartInTheFolderLastUsedAndSuggestTheBmpName) {
    MakeFolder(Path("pics"));
    MakeFolder(Path("out"));
    WriteQuadPicture(Path("pics/Duck.ilbm"), MakeQuadPicture(8, 8));
    LoadViaMenu(Path("pics/Duck.ilbm"));
    ASSERT_EQ(main_->Picture().PictureLoaded, 1);
    const FileDialogRequest first = dialogs_.FileRequests()[0];
    EXPECT_EQ(first.filters,
              (std::vector<FilterEntry>{{"(*.Iff)", "*.iff"},
                                        {"all Amiga pictures", "*.iff;*.ilbm;*.lbm;*.bbm"},
                                        {"all files", "*"}}));
    EXPECT_EQ(first.initDir, "") << "nothing remembered yet";

    dialogs_.QueueFileAnswer(true, Path("out/Duck.bmp"));
    Trigger("mnu_File_SAVESA");
    EXPECT_EQ(dialogs_.FileRequests()[1].fileName, "Duck.bmp");
    EXPECT_EQ(dialogs_.FileRequests()[1].initDir, Path("pics"));
    EXPECT_TRUE(Exists(Path("out/Duck.bmp")));

    Restart();
    dialogs_.QueueFileAnswer(false, "");
    Trigger("mnu_file_Load");
    EXPECT_EQ(dialogs_.FileRequests()[2].initDir, Path("out")) << "kept between runs";
    EXPECT_TRUE(Exists(Config() + "/" + kRememberedFileName));
    EXPECT_EQ(ReadText(Path("TambrelPref.txt")), "Splash:-1\r\nTHEEND:\r\n")
        << "the preferences keep their two lines";
}

TEST_F(RememberedTest, ZoomKeptBetweenRuns) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(30, 20));
    LoadViaMenu(Path("a.iff"));
    main_->Do_Show_picture();
    main_->PictureWindow()->ZoomIn();
    Restart();
    LoadViaMenu(Path("a.iff"));
    main_->Do_Show_picture();
    EXPECT_DOUBLE_EQ(main_->PictureWindow()->Zoom(), 1.5);
}

TEST_F(RememberedTest, BatchFolderCancelAndCounts) {
    MakeFolder(Path("empty"));
    MakeFolder(Path("run"));
    const auto quad = MakeQuadPicture(6, 4);
    for (const char *name : {"a.iff", "b.iff", "c.iff", "d.iff"})
        WriteQuadPicture(Path(std::string("run/") + name), quad);
    WriteText(Path("run/b.bmp"), "kept"); // save method 0 keeps it

    Frm_Batch_Conversion *w = &OpenBatch();
    // The folder can be typed: Enter lists it.
    w->FolderField()->setText(QString::fromStdString(Path("empty")));
    emit w->FolderField()->returnPressed();
    EXPECT_EQ(w->CurrentPath(), Path("empty"));
    EXPECT_EQ(w->Progress()->text().toStdString(), "0 / 0 files");
    w->close();
    Restart();
    w = &OpenBatch();
    EXPECT_EQ(w->CurrentPath(), Path("empty")) << "the last folder, across runs";

    struct Row {
        const char *name;
        int cancelAfter; // files done before Cancel is pressed (during the next one); 0: never
        std::string counts;
    };
    for (const Row &r : std::vector<Row>{
             {"whole run", 0, "Converted: 3   Kept (BMP already there): 1   Not converted: 0"},
             {"cancel during the second file", 1,
              "Converted: 1   Kept (BMP already there): 1   Not converted: 0"}}) {
        SCOPED_TRACE(r.name);
        for (const char *name : {"a.bmp", "c.bmp", "d.bmp"})
            QFile::remove(QString::fromStdString(Path(std::string("run/") + name)));
        tk_.ClearRecords();
        w->SetCurrentPath(Path("run"));
        w->SaveMethodList()->setCurrentRow(0);
        tk_.OnYield = [w, &r] {
            if (r.cancelAfter && w->Running() && w->Progress()->value() == r.cancelAfter) {
                EXPECT_TRUE(w->CancelButton()->isEnabled()) << "Cancel takes input in a run";
                w->CancelButton()->click();
            }
        };
        tk_.QueueAnswer(r.cancelAfter ? IdOk : IdYes);
        w->Button_Convert_Click();
        tk_.OnYield = nullptr;
        ASSERT_EQ(tk_.Messages.size(), 1u);
        const std::string &text = tk_.Messages[0].Text;
        EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), r.counts)
            << "the counts on a line of their own";
        EXPECT_EQ(w->Progress()->value(), r.cancelAfter ? r.cancelAfter + 1 : 4)
            << "stops after the current file";
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->Running());
    }
}

} // namespace
} // namespace tambrel::guitest
