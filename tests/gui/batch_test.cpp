// The batch conversion window.
#include "gui_test_util.h"

#include "batch/batch_conversion.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <unistd.h>

namespace tambrel::guitest {
namespace {

constexpr const char *kConvertMore =
    "Batch Conversion Complete - Would You Like To Convert Another Folder ?";

class BatchTest : public GuiTest {
  protected:
    Frm_Batch_Conversion &Open() {
        Trigger("mnu_Convert_Folder");
        Frm_Batch_Conversion *w = main_->BatchWindow();
        EXPECT_NE(w, nullptr);
        return *w;
    }
    Frm_Batch_Conversion &OpenAt(const std::string &folder) {
        Frm_Batch_Conversion &w = Open();
        w.SetCurrentPath(folder);
        return w;
    }
    std::vector<std::string> Bitmaps(const std::string &folder) const {
        std::vector<std::string> names;
        for (const QString &n :
             QDir(QString::fromStdString(folder))
                 .entryList({"*.bmp"}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            names.push_back(n.toStdString());
        return names;
    }
    void ExpectConvertMoreQuestion(const ScriptedToolkit::Shown &m) {
        EXPECT_EQ(m.Text, kConvertMore);
        EXPECT_EQ(m.Title, "Convert More");
        EXPECT_EQ(m.Buttons, MbYesNo);
        EXPECT_EQ(m.Icon, MbQuestion);
    }
    QuadPicture quad_ = MakeQuadPicture(12, 6);
};

TEST_F(BatchTest, WindowHasItsControls) {
    Frm_Batch_Conversion &w = Open();
    EXPECT_EQ(w.windowTitle(), "Batch IFF Conversion");
    for (const char *name : {"Drive", "Folder", "Text_FileList", "List_SaveMethod"})
        EXPECT_NE(w.findChild<QWidget *>(name), nullptr) << name;
    EXPECT_EQ(w.findChild<QPushButton *>("Button_Convert")->text(), "Convert All");
    EXPECT_EQ(w.findChild<QPushButton *>("Button_Cancel")->text(), "Cancel");
    std::vector<std::string> frames;
    for (auto *g : w.findChildren<QGroupBox *>())
        frames.push_back(g->title().toStdString());
    EXPECT_NE(std::find(frames.begin(), frames.end(), "Select Save BitMap Method"), frames.end());
    EXPECT_NE(std::find(frames.begin(), frames.end(), "Select Source IFF Folder"), frames.end());
    QListWidget *list = w.SaveMethodList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Only Save Bitmap File is Not File Already Exists");
    EXPECT_EQ(list->item(1)->text(), "Overwrite Bitmap File If a File Exists");
    EXPECT_EQ(list->item(2)->text(), "Save Bitmap, Use Automatic File Renaming if File Exists");
    EXPECT_EQ(list->currentRow(), 2);
    const auto drives = w.DrivePaths();
    ASSERT_GE(drives.size(), 2u);
    EXPECT_EQ(drives.front(), "/");
    EXPECT_EQ(drives.back(), QDir::homePath().toStdString());
    EXPECT_EQ(w.CurrentPath(), QDir::currentPath().toStdString());
}

TEST_F(BatchTest, ListsIffFilesOfAnyCaseSortedByName) {
    for (const char *name : {"c.ilbm", "b.IFF", "a.iff", "Z.Iff", "notes.txt", ".hidden.iff"})
        WriteText(Path(name), "x");
    QDir(QString::fromStdString(Dir())).mkdir("folder.iff");
    Frm_Batch_Conversion &w = OpenAt(Dir());
    EXPECT_EQ(w.FolderFiles(), (std::vector<std::string>{"a.iff", "b.IFF", "Z.Iff"}));
    EXPECT_EQ(w.FileListText()->toPlainText().toStdString(), "a.iff\nb.IFF\nZ.Iff\n");
}

TEST_F(BatchTest, ConvertsGoodPicturesAndListsEveryFailureBeforeTheQuestion) {
    WriteQuadPicture(Path("a.iff"), quad_);
    WriteQuadPicture(Path("B.IFF"), quad_);
    WriteQuadPicture(Path("c.ilbm"), quad_);
    WriteQuadPicture(Path(" lead.iff"), quad_);
    WriteText(Path("text.iff"), "just some text");
    WriteNoBodyPicture(Path("nobody.iff"), 8, 8);
    Frm_Batch_Conversion &w = OpenAt(Dir());
    tk_.QueueAnswer(IdOk); // the failure list
    tk_.QueueAnswer(IdNo); // no more folders
    w.Button_Convert_Click();

    EXPECT_EQ(Bitmaps(Dir()), (std::vector<std::string>{" lead.bmp", "B.bmp", "a.bmp"}));
    ASSERT_EQ(tk_.Messages.size(), 2u);
    const std::string &failures = tk_.Messages[0].Text;
    EXPECT_EQ(tk_.Messages[0].Buttons, MbOkOnly);
    EXPECT_NE(failures.find("text.iff - "), std::string::npos) << failures;
    EXPECT_NE(failures.find("nobody.iff - "), std::string::npos) << failures;
    EXPECT_EQ(failures.find("a.iff"), std::string::npos) << failures;
    EXPECT_EQ(failures.find("lead.iff"), std::string::npos) << failures;
    ExpectConvertMoreQuestion(tk_.Messages[1]);
    EXPECT_FALSE(w.isVisible()) << "No closes the window";
    EXPECT_EQ(w.Progress()->value(), 5);
    EXPECT_EQ(w.Progress()->maximum(), 5);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0) << "the text file was the last one";
}

TEST_F(BatchTest, YesKeepsTheWindowOpenAndUsable) {
    WriteQuadPicture(Path("a.iff"), quad_);
    Frm_Batch_Conversion &w = OpenAt(Dir());
    tk_.QueueAnswer(IdYes);
    w.Button_Convert_Click();
    ASSERT_EQ(tk_.Messages.size(), 1u);
    ExpectConvertMoreQuestion(tk_.Messages[0]);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(main_->Picture().PictureLoaded, 1) << "the last picture stays loaded";
    EXPECT_EQ(main_->Picture().PictureName, "a");
}

TEST_F(BatchTest, EmptyFolderStillAsks) {
    Frm_Batch_Conversion &w = OpenAt(Dir());
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    ASSERT_EQ(tk_.Messages.size(), 1u);
    ExpectConvertMoreQuestion(tk_.Messages[0]);
}

// An existing bitmap under each save method.
struct ExistingCase {
    const char *name;
    int row;
    std::vector<std::string> bitmaps;
    bool oldKept;
};
void PrintTo(const ExistingCase &c, std::ostream *os) {
    *os << c.name;
}

class BatchExisting : public BatchTest, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(BatchExisting, FollowsTheChosenMethod) {
    const ExistingCase &c = GetParam();
    WriteQuadPicture(Path("a.iff"), quad_);
    WriteText(Path("a.bmp"), "old");
    Frm_Batch_Conversion &w = OpenAt(Dir());
    w.SaveMethodList()->setCurrentRow(c.row);
    EXPECT_EQ(main_->BatchSaveMode, c.row);
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    EXPECT_EQ(tk_.Messages.size(), 1u) << "skipping an existing bitmap is no failure";
    EXPECT_EQ(Bitmaps(Dir()), c.bitmaps);
    EXPECT_EQ(ReadText(Path("a.bmp")) == "old", c.oldKept);
}

INSTANTIATE_TEST_SUITE_P(Methods, BatchExisting,
                         ::testing::Values(ExistingCase{"OnlyIfAbsent", 0, {"a.bmp"}, true},
                                           ExistingCase{"Overwrite", 1, {"a.bmp"}, false},
                                           ExistingCase{
                                               "AutoRename", 2, {"a(1).bmp", "a.bmp"}, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(BatchTest, UnwritableTargetIsReportedAndTheRunGoesOn) {
    WriteQuadPicture(Path("a.iff"), quad_);
    WriteQuadPicture(Path("b.iff"), quad_);
    QDir(QString::fromStdString(Dir())).mkdir("a.bmp"); // a folder holds a's bitmap name
    Frm_Batch_Conversion &w = OpenAt(Dir());
    w.SaveMethodList()->setCurrentRow(1);
    tk_.QueueAnswer(IdOk);
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    ASSERT_EQ(tk_.Messages.size(), 2u);
    EXPECT_NE(tk_.Messages[0].Text.find("a.iff - Error:"), std::string::npos)
        << tk_.Messages[0].Text;
    EXPECT_TRUE(Exists(Path("b.bmp")));
}

TEST_F(BatchTest, ReadOnlyFolderIsReported) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    const std::string folder = Path("ro");
    QDir().mkpath(QString::fromStdString(folder));
    WriteQuadPicture(folder + "/a.iff", quad_);
    QFile::setPermissions(QString::fromStdString(folder), QFile::ReadOwner | QFile::ExeOwner);
    Frm_Batch_Conversion &w = OpenAt(folder);
    tk_.QueueAnswer(IdOk);
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    QFile::setPermissions(QString::fromStdString(folder),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(tk_.Messages.size(), 2u);
    EXPECT_NE(tk_.Messages[0].Text.find("a.iff - Error:"), std::string::npos);
    EXPECT_TRUE(Bitmaps(folder).empty());
}

TEST_F(BatchTest, SaveMethodIsRememberedWhileTheProgramRuns) {
    Frm_Batch_Conversion &w = Open();
    w.SaveMethodList()->setCurrentRow(1);
    w.Button_Cancel_Click();
    EXPECT_FALSE(w.isVisible());
    Frm_Batch_Conversion &again = Open();
    EXPECT_EQ(again.SaveMethodList()->currentRow(), 1);
    EXPECT_EQ(main_->BatchSaveMode, 1);

    // A new run of the program starts with automatic renaming.
    main_.reset();
    Main();
    EXPECT_EQ(Open().SaveMethodList()->currentRow(), 2);
}

TEST_F(BatchTest, ConvertFolderShowsTheSingleWindow) {
    Frm_Batch_Conversion &w = Open();
    EXPECT_TRUE(w.isVisible());
    Trigger("mnu_Convert_Folder");
    EXPECT_EQ(main_->BatchWindow(), &w);
}

TEST_F(BatchTest, ChoosingAFolderListsItsFiles) {
    QDir(QString::fromStdString(Dir())).mkdir("sub");
    WriteText(Path("sub/one.iff"), "x");
    WriteText(Path("top.iff"), "x");
    Frm_Batch_Conversion &w = OpenAt(Dir());
    EXPECT_EQ(w.FolderFiles(), (std::vector<std::string>{"top.iff"}));
    auto *folders = w.findChild<QListWidget *>("Folder");
    const auto found = folders->findItems("sub", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    emit folders->itemActivated(found[0]);
    EXPECT_EQ(w.CurrentPath(), Path("sub"));
    EXPECT_EQ(w.FolderFiles(), (std::vector<std::string>{"one.iff"}));
    const auto up = folders->findItems("..", Qt::MatchExactly);
    ASSERT_EQ(up.size(), 1);
    emit folders->itemActivated(up[0]);
    EXPECT_EQ(w.CurrentPath(), Dir());
}

TEST_F(BatchTest, ChoosingADriveOpensItsFolder) {
    Frm_Batch_Conversion &w = OpenAt(Dir());
    auto *drive = w.findChild<QComboBox *>("Drive");
    ASSERT_NE(drive, nullptr);
    const int home = drive->count() - 1;
    emit drive->activated(home);
    EXPECT_EQ(w.CurrentPath(), QDir::cleanPath(QDir::homePath()).toStdString());
    EXPECT_EQ(drive->currentIndex(), home);
    emit drive->activated(0);
    EXPECT_EQ(w.CurrentPath(), "/");
    EXPECT_EQ(drive->currentIndex(), 0);
    EXPECT_TRUE(w.findChild<QListWidget *>("Folder")->findItems("..", Qt::MatchExactly).empty())
        << "no way up from the root";
}

TEST_F(BatchTest, ManyFilesAreAllListedAndConverted) {
    const QuadPicture tiny = MakeQuadPicture(2, 2);
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%03d.iff", i);
        WriteQuadPicture(Path(name), tiny);
    }
    Frm_Batch_Conversion &w = OpenAt(Dir());
    EXPECT_EQ(w.FolderFiles().size(), 300u);
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    EXPECT_EQ(Bitmaps(Dir()).size(), 300u);
    EXPECT_EQ(w.Progress()->value(), 300);
}

TEST_F(BatchTest, CommandsThatChangeThePictureWaitForTheRun) {
    WriteQuadPicture(Path("a.iff"), quad_);
    WriteQuadPicture(Path("b.iff"), quad_);
    Frm_Batch_Conversion &w = OpenAt(Dir());
    int yields = 0;
    tk_.OnYield = [&] {
        ++yields;
        EXPECT_TRUE(main_->Busy());
        for (const char *name : {"Mnu_File_new", "mnu_file_Load", "mnu_File_SAVE",
                                 "mnu_File_SAVESA", "mnu_Export_Image_As_Chunky"})
            main_->findChild<QAction *>(name)->trigger();
        w.Button_Convert_Click(); // a second run does not start inside the first
    };
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    tk_.OnYield = nullptr;
    EXPECT_GE(yields, 3);
    EXPECT_TRUE(dialogs_.FileRequests().empty());
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(Bitmaps(Dir()), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_FALSE(main_->Busy());
}

TEST_F(BatchTest, QuitDuringARunStopsItAndEndsTheProgram) {
    for (const char *name : {"a.iff", "b.iff", "c.iff"})
        WriteQuadPicture(Path(name), quad_);
    Frm_Batch_Conversion &w = OpenAt(Dir());
    bool quitSent = false;
    tk_.OnYield = [&] {
        if (!quitSent && main_->Picture().PictureName == "a") {
            quitSent = true;
            main_->findChild<QAction *>("mnu_File_Quit")->trigger();
        }
    };
    w.Button_Convert_Click();
    tk_.OnYield = nullptr;
    EXPECT_TRUE(quitSent);
    EXPECT_EQ(tk_.EndCount, 1);
    EXPECT_TRUE(tk_.Messages.empty()) << "no question after the program was ended";
    EXPECT_FALSE(Exists(Path("c.bmp")));
    EXPECT_FALSE(w.isVisible());
}

} // namespace
} // namespace tambrel::guitest
