// "Save Bitmap", "Save Bitmap As" and Convert_And_Save_This_File.
#include "gui_test_util.h"

#include "decoder/errors.h"

#include <QDir>

#include <regex>

namespace tambrel::guitest {
namespace {

// Width, height and the top-left pixel (as 0x00RRGGBB) of a 32-bit bottom-up BMP.
struct BmpFacts {
    std::int32_t width = 0, height = 0;
    std::uint32_t topLeft = 0;
    std::size_t size = 0;
};
BmpFacts ReadBmp(const std::string &path) {
    const test::Bytes b = test::ReadBytes(path);
    BmpFacts f;
    f.size = b.size();
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return f;
    auto le32 = [&](std::size_t at) {
        return std::int32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                            std::uint32_t(b[at + 3]) << 24);
    };
    f.width = le32(18);
    f.height = le32(22);
    const std::size_t at = 54 + (std::size_t(f.height - 1) * f.width) * 4;
    if (at + 3 < b.size())
        f.topLeft = std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 1]) << 8 | b[at];
    return f;
}

class SaveTest : public GuiTest {
  protected:
    void ExpectOverwriteQuestion(const ScriptedToolkit::Shown &m) {
        EXPECT_EQ(m.Text, "WARNING - File Exists, Overwrite it ?");
        EXPECT_EQ(m.Title, "WARNING");
        EXPECT_EQ(m.Buttons, MbYesNo);
        EXPECT_EQ(m.Icon, MbQuestion);
    }
    QuadPicture quad_ = MakeQuadPicture(24, 10);
};

TEST_F(SaveTest, SaveBitmapWithoutPictureOrBodyDoesNothing) {
    Trigger("mnu_File_SAVE");
    WriteNoBodyPicture(Path("n.iff"), 8, 8);
    LoadViaMenu(Path("n.iff"));
    Trigger("mnu_File_SAVE");
    EXPECT_FALSE(Exists(Path("n.bmp")));
    EXPECT_TRUE(tk_.Messages.empty());
}

TEST_F(SaveTest, SaveBitmapWritesNextToTheSource) {
    QDir(QString::fromStdString(Dir())).mkdir("my.dir");
    WriteQuadPicture(Path("my.dir/boat"), quad_); // no extension, dotted folder
    // The open dialog would add its default extension to such a name.
    Main().IFF_DO_LOAD_IFF(Path("my.dir/boat"));
    Trigger("mnu_File_SAVE");
    EXPECT_TRUE(tk_.Messages.empty());
    const BmpFacts f = ReadBmp(Path("my.dir/boat.bmp"));
    EXPECT_EQ(f.width, 24);
    EXPECT_EQ(f.height, 10);
    EXPECT_EQ(f.size, 54u + 4 * 24 * 10);
    EXPECT_EQ(f.topLeft, quad_.ColourAt(0, 0));
    EXPECT_FALSE(Exists(Path("my.bmp")));
}

TEST_F(SaveTest, SaveBitmapAsksBeforeOverwritingAndOnlyNoCancels) {
    WriteQuadPicture(Path("boat.iff"), quad_);
    LoadViaMenu(Path("boat.iff"));
    WriteText(Path("boat.bmp"), "old");
    tk_.QueueAnswer(IdNo);
    Trigger("mnu_File_SAVE");
    ASSERT_EQ(tk_.Messages.size(), 1u);
    ExpectOverwriteQuestion(tk_.Messages[0]);
    EXPECT_EQ(ReadText(Path("boat.bmp")), "old");

    tk_.QueueAnswer(IdYes);
    Trigger("mnu_File_SAVE");
    ASSERT_EQ(tk_.Messages.size(), 2u);
    EXPECT_EQ(ReadBmp(Path("boat.bmp")).width, 24);
}

TEST_F(SaveTest, SaveBitmapReportsAFailedWrite) {
    WriteQuadPicture(Path("boat.iff"), quad_);
    LoadViaMenu(Path("boat.iff"));
    // A folder holds the bitmap's name: the question comes, the write fails.
    QDir(QString::fromStdString(Dir())).mkdir("boat.bmp");
    tk_.QueueAnswer(IdYes);
    tk_.QueueAnswer(IdOk);
    Trigger("mnu_File_SAVE");
    ASSERT_EQ(tk_.Messages.size(), 2u);
    ExpectOverwriteQuestion(tk_.Messages[0]);
    EXPECT_TRUE(std::regex_match(tk_.Messages[1].Text, std::regex("Error:  \\d+ .+")))
        << tk_.Messages[1].Text;
    EXPECT_EQ(tk_.Messages[1].Buttons, MbOkOnly);
    EXPECT_EQ(tk_.Messages[1].Title, "");
}

TEST_F(SaveTest, SaveAsAsksForABmpNameAndAppendsTheExtension) {
    WriteQuadPicture(Path("boat.iff"), quad_);
    LoadViaMenu(Path("boat.iff"));
    dialogs_.QueueFileAnswer(true, Path("typed"));
    Trigger("mnu_File_SAVESA");
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    const FileDialogRequest &r = dialogs_.FileRequests()[1];
    EXPECT_TRUE(r.save);
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0], (FilterEntry{"(*.bmp)", "*.bmp"}));
    EXPECT_EQ(r.defaultExt, "bmp");
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(ReadBmp(Path("typed.bmp")).height, 10);
    EXPECT_TRUE(tk_.Messages.empty());
}

TEST_F(SaveTest, SaveAsLeavesTheOverwriteQuestionToTheDialog) {
    WriteQuadPicture(Path("boat.iff"), quad_);
    LoadViaMenu(Path("boat.iff"));
    WriteText(Path("out.bmp"), "old contents that are longer than nothing");
    dialogs_.QueueFileAnswer(true, Path("out.bmp"));
    Trigger("mnu_File_SAVESA");
    EXPECT_TRUE(tk_.Messages.empty());
    EXPECT_EQ(ReadBmp(Path("out.bmp")).size, 54u + 4 * 24 * 10);
}

TEST_F(SaveTest, SaveAsWithoutPictureOrBodyOrAfterCancelWritesNothing) {
    Trigger("mnu_File_SAVESA");
    WriteNoBodyPicture(Path("n.iff"), 8, 8);
    LoadViaMenu(Path("n.iff"));
    Trigger("mnu_File_SAVESA");
    EXPECT_EQ(dialogs_.FileRequests().size(), 1u) << "no save dialog without a picture body";

    WriteQuadPicture(Path("boat.iff"), quad_);
    LoadViaMenu(Path("boat.iff"));
    dialogs_.QueueFileAnswer(false, "");
    Trigger("mnu_File_SAVESA");
    EXPECT_EQ(QDir(QString::fromStdString(Dir())).entryList({"*.bmp"}).size(), 0);
    EXPECT_TRUE(tk_.Messages.empty());
}

TEST_F(SaveTest, SaveAsIntoAMissingFolderReportsTheError) {
    WriteQuadPicture(Path("boat.iff"), quad_);
    LoadViaMenu(Path("boat.iff"));
    dialogs_.QueueFileAnswer(true, Path("no-such-folder/x.bmp"));
    tk_.QueueAnswer(IdOk);
    Trigger("mnu_File_SAVESA");
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_TRUE(std::regex_match(tk_.Messages[0].Text, std::regex("Error:  \\d+ .+")))
        << tk_.Messages[0].Text;
    EXPECT_FALSE(Exists(Path("no-such-folder")));
}

// Convert_And_Save_This_File by save mode, with and without an existing bitmap.
struct ModeCase {
    const char *name;
    long mode;
    bool existing;           // "a.bmp" exists before the call (content "old")
    const char *writtenName; // where the new bitmap goes; nullptr: nowhere
    bool existingKept;       // "a.bmp" still holds "old" afterwards
};
void PrintTo(const ModeCase &c, std::ostream *os) {
    *os << c.name;
}

class ConvertModes : public SaveTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ConvertModes, WritesByTheSaveMode) {
    const ModeCase &c = GetParam();
    WriteQuadPicture(Path("a.iff"), quad_);
    if (c.existing)
        WriteText(Path("a.bmp"), "old");
    const ConvertResult r = Main().Convert_And_Save_This_File(Path("a.iff"), c.mode);
    EXPECT_TRUE(tk_.Messages.empty()) << "the conversion asks nothing";
    EXPECT_EQ(main_->Picture().PictureLoaded, 1) << "the picture stays loaded";
    EXPECT_EQ(r.kind, ConvertResult::SaveDone);
    if (c.writtenName) {
        EXPECT_EQ(r.save.kind, SaveOutcome::Written);
        EXPECT_EQ(r.save.path, Path(c.writtenName));
        EXPECT_EQ(ReadBmp(Path(c.writtenName)).topLeft, quad_.ColourAt(0, 0));
    }
    if (c.existing) {
        EXPECT_EQ(ReadText(Path("a.bmp")) == "old", c.existingKept);
    }
    const auto bmps = QDir(QString::fromStdString(Dir())).entryList({"*.bmp"});
    const bool newName = c.writtenName && !(c.existing && std::string(c.writtenName) == "a.bmp");
    EXPECT_EQ(bmps.size(), (c.existing ? 1 : 0) + (newName ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(Modes, ConvertModes,
                         ::testing::Values(ModeCase{"OnlyIfAbsentNew", 0, false, "a.bmp", false},
                                           ModeCase{"OnlyIfAbsentExisting", 0, true, nullptr, true},
                                           ModeCase{"OverwriteNew", 1, false, "a.bmp", false},
                                           ModeCase{"OverwriteExisting", 1, true, "a.bmp", false},
                                           ModeCase{"RenameNew", 2, false, "a.bmp", false},
                                           ModeCase{"RenameExisting", 2, true, "a(1).bmp", true},
                                           ModeCase{"NoMode", -1, false, nullptr, false},
                                           ModeCase{"NoModeExisting", -1, true, nullptr, true},
                                           ModeCase{"ModeThree", 3, false, nullptr, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SaveTest, AutomaticRenamingFillsGaps) {
    WriteQuadPicture(Path("x.iff"), quad_);
    WriteText(Path("x.bmp"), "0");
    WriteText(Path("x(2).bmp"), "2");
    Main();
    EXPECT_EQ(main_->Convert_And_Save_This_File(Path("x.iff"), 2).save.path, Path("x(1).bmp"));
    EXPECT_EQ(main_->Convert_And_Save_This_File(Path("x.iff"), 2).save.path, Path("x(3).bmp"));
    EXPECT_EQ(ReadText(Path("x(2).bmp")), "2");
    EXPECT_EQ(ReadBmp(Path("x(3).bmp")).width, 24);
}

TEST_F(SaveTest, AFolderOfTheBitmapNameCountsAsExisting) {
    WriteQuadPicture(Path("f.iff"), quad_);
    QDir(QString::fromStdString(Dir())).mkdir("f.bmp");
    Main();
    EXPECT_EQ(main_->Convert_And_Save_This_File(Path("f.iff"), 0).save.kind,
              SaveOutcome::SkippedExists);
    EXPECT_EQ(main_->Convert_And_Save_This_File(Path("f.iff"), 2).save.path, Path("f(1).bmp"));
}

TEST_F(SaveTest, ConvertingADottedFolderKeepsTheFolder) {
    QDir(QString::fromStdString(Dir())).mkdir("my.pics");
    WriteQuadPicture(Path("my.pics/a.iff"), quad_);
    Main().Convert_And_Save_This_File(Path("my.pics/a.iff"), 0);
    EXPECT_EQ(ReadBmp(Path("my.pics/a.bmp")).width, 24);
}

TEST_F(SaveTest, ConvertingATextFileOrAMissingFileWritesNothing) {
    WriteText(Path("t.iff"), "not a picture at all");
    Main();
    EXPECT_EQ(main_->Convert_And_Save_This_File(Path("t.iff"), 1).kind, ConvertResult::NotPicture);
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
    EXPECT_EQ(main_->Convert_And_Save_This_File(Path("none.iff"), 1).kind,
              ConvertResult::FileMissing);
    EXPECT_TRUE(tk_.Messages.empty());
    EXPECT_EQ(QDir(QString::fromStdString(Dir())).entryList({"*.bmp"}).size(), 0);
}

TEST_F(SaveTest, ConvertingAPictureWithoutBodyWritesNothing) {
    WriteNoBodyPicture(Path("n.iff"), 8, 8);
    const ConvertResult r = Main().Convert_And_Save_This_File(Path("n.iff"), 1);
    EXPECT_EQ(r.save.kind, SaveOutcome::NotWritable);
    EXPECT_FALSE(Exists(Path("n.bmp")));
}

TEST_F(SaveTest, ConvertingIntoAnUnwritablePlaceThrows) {
    WriteQuadPicture(Path("w.iff"), quad_);
    QDir(QString::fromStdString(Dir())).mkdir("w.bmp");
    EXPECT_THROW(Main().Convert_And_Save_This_File(Path("w.iff"), 1), TambrelError);
    EXPECT_FALSE(main_->Busy()) << "the guard is released when the conversion throws";
}

} // namespace
} // namespace tambrel::guitest
