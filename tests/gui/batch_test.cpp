// The batch conversion window.
#include "gui_test_util.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "cli/converter.h"

#include <regex>
#include <sstream>

namespace tambrel::guitest {
namespace {

constexpr const char *kConvertMore =
    "Batch Conversion Complete - Would You Like To Convert Another Folder ?";

// The counts line below a run's last message.
std::string Counts(int converted, int kept, int failed) {
    return "\r\nConverted: " + std::to_string(converted) +
           "   Kept (BMP already there): " + std::to_string(kept) +
           "   Not converted: " + std::to_string(failed);
}

class BatchTest : public GuiTest {
  protected:
    QuadPicture quad_ = MakeQuadPicture(12, 6);
};

// The listing, changing folders, and the method (per run) and folder (across runs) kept.
TEST_F(BatchTest, ListsIffFilesAndRemembersMethodAndFolder) {
    for (const char *name : {"c.ilbm", "b.IFF", "a.iff", "Z.Iff", "notes.txt", ".hidden.iff"})
        WriteText(Path(name), "x");
    for (const char *name : {"e.lbm", "pic"}) // pictures by their first bytes, whatever the name
        WriteQuadPicture(Path(name), quad_);
    MakeFolder(Path("folder.iff"));
    MakeFolder(Path("empty"));
    Frm_Batch_Conversion *w = &OpenBatch(Dir());
    EXPECT_EQ(w->SaveMethodList()->currentRow(), 2) << "automatic renaming at first";
    EXPECT_EQ(w->FolderFiles(),
              (std::vector<std::string>{"a.iff", "b.IFF", "e.lbm", "pic", "Z.Iff"}));

    auto *folders = w->findChild<QListWidget *>("Folder");
    auto activate = [folders](const char *name) {
        const auto found = folders->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        emit folders->itemActivated(found[0]);
    };
    activate("empty");
    EXPECT_EQ(w->CurrentPath(), Path("empty"));
    EXPECT_TRUE(w->FolderFiles().empty());
    auto *convert = w->findChild<QPushButton *>("Button_Convert");
    EXPECT_FALSE(convert->isEnabled()) << "nothing to convert";
    activate("..");
    EXPECT_EQ(w->CurrentPath(), Dir());
    EXPECT_TRUE(convert->isEnabled());

    w->SaveMethodList()->setCurrentRow(1);
    w->Button_Cancel_Click();
    EXPECT_FALSE(w->isVisible());
    w = &OpenBatch();
    EXPECT_EQ(w->SaveMethodList()->currentRow(), 1);
    w->close();
    // A new run of the program: automatic renaming again, the last folder kept.
    main_.reset();
    w = &OpenBatch();
    EXPECT_EQ(w->SaveMethodList()->currentRow(), 2);
    EXPECT_EQ(w->CurrentPath(), Dir());
}

TEST_F(BatchTest, ConvertsGoodPicturesAndListsEveryFailureBeforeTheQuestion) {
    for (const char *name : {"a.iff", "B.IFF", "c.ilbm", " lead.iff", "d.iff"})
        WriteQuadPicture(Path(name), quad_);
    WriteText(Path("text.iff"), "just some text");
    WriteNoBodyPicture(Path("nobody.iff"), 8, 8);
    MakeFolder(Path("d.bmp")); // a folder holds d's bitmap name
    Frm_Batch_Conversion &w = OpenBatch(Dir());
    w.SaveMethodList()->setCurrentRow(1);
    tk_.QueueAnswer(IdOk); // the failure list
    tk_.QueueAnswer(IdNo); // no more folders
    w.Button_Convert_Click();

    EXPECT_EQ(Bitmaps(Dir()),
              (std::vector<std::string>{" lead.bmp", "B.bmp", "a.bmp", "c.bmp", "d.bmp"}));
    ASSERT_EQ(tk_.Messages.size(), 2u);
    const std::string &failures = tk_.Messages[0].Text;
    EXPECT_EQ(tk_.Messages[0].Buttons, MbOkOnly);
    EXPECT_TRUE(std::regex_search(failures, std::regex("\r\nd\\.iff - Error: \\d+ [A-Z]")))
        << failures;
    for (const char *failed : {"\r\ntext.iff - ", "\r\nnobody.iff - "})
        EXPECT_NE(failures.find(failed), std::string::npos) << failed << " in " << failures;
    for (const char *converted : {"a.iff", "B.IFF", "c.ilbm", "lead.iff"})
        EXPECT_EQ(failures.find(converted), std::string::npos) << converted << " in " << failures;
    ExpectQuestion(tk_.Messages[1], kConvertMore, "Convert More");
    EXPECT_TRUE(tk_.Messages[1].Text.ends_with(Counts(4, 0, 3)));
    EXPECT_FALSE(w.isVisible()) << "No closes the window";
    EXPECT_EQ(std::pair(w.Progress()->value(), w.Progress()->maximum()), std::pair(7, 7));
    EXPECT_FALSE(main_->Busy());
}

// A picture with a short CMAP after one with a long one: the batch window
// writes what the converter writes, and entries the CMAP does not give are black.
TEST_F(BatchTest, WritesWhatTheConverterWrites) {
    using namespace test;
    ChunkyImage img(4, 1, 2);
    for (int x = 0; x < 4; ++x)
        img.At(x, 0) = static_cast<std::uint8_t>(x);
    WriteBytes(Path("a.iff"),
               BuildSimple({img, {0x111111, 0x222222, 0x333333, 0x444444}, {}, false}));
    WriteBytes(Path("b.iff"), BuildSimple({img, {0xAA0000, 0x00BB00}, {}, false}));
    Frm_Batch_Conversion &w = OpenBatch(Dir());
    tk_.QueueAnswer(IdNo);
    w.Button_Convert_Click();
    MakeFolder(Path("out"));
    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"-j", "2", "-o", Path("out"), Path("b.iff"), Path("a.iff")}, out, err), 0);
    for (const char *name : {"a.bmp", "b.bmp"})
        EXPECT_EQ(ReadBytes(Path(name)), ReadBytes(Path("out/") + name)) << name;
    const Bytes b = ReadBytes(Path("b.bmp"));
    EXPECT_EQ(Bytes(b.begin() + 54, b.end()),
              (Bytes{0, 0, 0xAA, 0, 0, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// Existing bitmaps under each save method; "Convert More" decides if the window stays.
struct MethodCase {
    const char *name;
    int row;
    std::vector<std::string> bitmaps;
    bool oldKept;
    int answer;
    int converted, kept;
};

class BatchMethod : public BatchTest, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(BatchMethod, ExistingBitmapsFollowTheChosenMethod) {
    const MethodCase &c = GetParam();
    WriteQuadPicture(Path("a.iff"), quad_);
    WriteQuadPicture(Path("b.iff"), quad_);
    WriteText(Path("a.bmp"), "old");
    WriteText(Path("a(2).bmp"), "two");
    Frm_Batch_Conversion &w = OpenBatch(Dir());
    w.SaveMethodList()->setCurrentRow(c.row);
    tk_.QueueAnswer(c.answer);
    w.Button_Convert_Click();
    ASSERT_EQ(tk_.Messages.size(), 1u) << "skipping an existing bitmap is no failure";
    EXPECT_TRUE(tk_.Messages[0].Text.ends_with(Counts(c.converted, c.kept, 0)))
        << tk_.Messages[0].Text;
    EXPECT_EQ(Bitmaps(Dir()), c.bitmaps);
    EXPECT_EQ(ReadText(Path("a.bmp")) == "old", c.oldKept);
    EXPECT_EQ(ReadText(Path("a(2).bmp")), "two");
    EXPECT_TRUE(ReadText(Path("b.bmp")) == quad_.Bitmap());
    EXPECT_EQ(w.isVisible(), c.answer != IdNo);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, BatchMethod,
    ::testing::Values(
        MethodCase{"OnlyIfAbsent", 0, {"a(2).bmp", "a.bmp", "b.bmp"}, true, IdNo, 1, 1},
        MethodCase{"Overwrite", 1, {"a(2).bmp", "a.bmp", "b.bmp"}, false, IdYes, 2, 0},
        MethodCase{"AutoRename", 2, {"a(1).bmp", "a(2).bmp", "a.bmp", "b.bmp"}, true, IdYes, 2, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// A run refuses a second run (the load's guard); Cancel stops it after the file.
TEST_F(BatchTest, DuringARunASecondRunIsRefusedAndCancelStopsIt) {
    for (const char *name : {"a.iff", "b.iff", "c.iff", "d.iff"})
        WriteQuadPicture(Path(name), quad_);
    WriteText(Path("b.bmp"), "kept");
    Frm_Batch_Conversion &w = OpenBatch(Dir());
    w.SaveMethodList()->setCurrentRow(0);
    tk_.OnYield = [&] {
        if (!w.Running())
            return;
        EXPECT_TRUE(main_->Busy());
        w.Button_Convert_Click();
        if (w.Progress()->value() == 1)
            w.CancelButton()->click(); // a disabled button would not stop the run
    };
    tk_.QueueAnswer(IdOk);
    w.Button_Convert_Click();
    tk_.OnYield = nullptr;
    Wait(30);
    ASSERT_EQ(tk_.Messages.size(), 1u) << "one run, one message";
    const std::string &text = tk_.Messages[0].Text;
    EXPECT_TRUE(text.ends_with(Counts(1, 1, 0))) << text;
    EXPECT_EQ(w.Progress()->value(), 2);
    EXPECT_EQ(Bitmaps(Dir()), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_TRUE(w.isVisible());
}

} // namespace
} // namespace tambrel::guitest
