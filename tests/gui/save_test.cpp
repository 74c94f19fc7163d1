// Save Bitmap (beside the source, asks before overwriting), Save Bitmap As and the exports.
#include "gui_test_util.h"

#include <regex>
#include <sys/stat.h>

namespace tambrel::guitest {
namespace {

enum class Existing { None, File, Folder };

struct SaveCase {
    const char *name;
    bool as;           // Save Bitmap As rather than Save Bitmap
    Existing existing; // at the target
    const char *typed; // Save As: the name given in the dialog (nullptr: cancelled)
    int answer;        // to the overwrite question; 0: none asked
    bool written, error;
};

class SaveBitmap : public GuiTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveBitmap, WritesOrReports) {
    const SaveCase &c = GetParam();
    // The picture lies in a dotted folder: the BMP name keeps the folder.
    MakeFolder(Path("my.dir"));
    LoadQuad("my.dir/boat.iff", 24, 10);
    const std::size_t loadDialogs = dialogs_.FileRequests().size();
    std::string target = Path(c.as && c.typed ? c.typed : "my.dir/boat.bmp");
    if (!target.ends_with(".bmp"))
        target += ".bmp"; // the dialog's default extension
    if (c.existing == Existing::File)
        WriteText(target, std::string(5000, 'x'));
    if (c.existing == Existing::Folder)
        MakeFolder(target);
    if (c.as)
        dialogs_.QueueFileAnswer(c.typed != nullptr, c.typed ? Path(c.typed) : "");
    if (c.answer)
        tk_.QueueAnswer(c.answer);
    if (c.error)
        tk_.QueueAnswer(IdOk);
    Trigger(c.as ? "mnu_File_SAVESA" : "mnu_File_SAVE");

    ASSERT_EQ(dialogs_.FileRequests().size() - loadDialogs, c.as ? 1u : 0u);
    if (c.as) {
        EXPECT_TRUE(dialogs_.FileRequests().back().overwritePrompt);
    }
    ASSERT_EQ(tk_.Messages.size(), (c.answer ? 1u : 0u) + (c.error ? 1u : 0u));
    if (c.answer)
        ExpectQuestion(tk_.Messages[0], kOverwriteQuestion, "WARNING");
    if (c.error) {
        EXPECT_TRUE(std::regex_match(tk_.Messages.back().Text, std::regex("Error:  \\d+ .+")))
            << tk_.Messages.back().Text;
    }
    if (c.written) {
        EXPECT_TRUE(ReadText(target) == MakeQuadPicture(24, 10).Bitmap()) << target;
    } else {
        EXPECT_EQ(ReadText(target), c.existing == Existing::File ? std::string(5000, 'x') : "");
        EXPECT_EQ(Bitmaps(Path("my.dir")).size(), c.existing == Existing::None ? 0u : 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveBitmap,
    ::testing::Values(SaveCase{"New", false, Existing::None, nullptr, 0, true, false},
                      SaveCase{"ExistingNo", false, Existing::File, nullptr, IdNo, false, false},
                      // Only No cancels: any other answer goes on.
                      SaveCase{"ExistingOther", false, Existing::File, nullptr, IdOk, true, false},
                      SaveCase{"FolderInTheWay", false, Existing::Folder, nullptr, IdYes, false,
                               true},
                      SaveCase{"AsCancelled", true, Existing::None, nullptr, 0, false, false},
                      SaveCase{"AsTypedName", true, Existing::None, "my.dir/typed", 0, true, false},
                      // The dialog asked already: no second question.
                      SaveCase{"AsExisting", true, Existing::File, "my.dir/b.bmp", 0, true, false},
                      SaveCase{"AsNoFolder", true, Existing::None, "none/x.bmp", 0, false, true}),
    [](const auto &info) { return std::string(info.param.name); });

// A read-only target of Save is asked about: "No" keeps it, "Yes" replaces it.
TEST_F(GuiTest, ReadOnlyTargetIsAskedAbout) {
    LoadQuad("q.iff", 16, 8);
    const std::string bmp = Path("q.bmp");
    for (const int answer : {IdNo, IdYes}) {
        WriteText(bmp, "old");
        ::chmod(bmp.c_str(), 0444);
        tk_.QueueAnswer(IdYes); // the file exists: overwrite it?
        tk_.QueueAnswer(answer);
        Trigger("mnu_File_SAVE");
        ExpectQuestion(tk_.Messages.back(), "The file " + bmp + " is read-only. Replace it anyway?",
                       "WARNING");
        EXPECT_EQ(ReadText(bmp).size(), answer == IdNo ? 3u : 54u + 16 * 8 * 4);
    }
}

// Exports of a 13 x 2 picture: raw files of 17 x 3 values (pixel (0, 0) at row 1), text 8 x 9.
struct ExportKind {
    const char *name, *action;
    std::string defaultExt; // the name typed without one gets it
    bool needsBody;
    const char *failure; // regex of the message when the file cannot be written
    std::size_t size, probe;
    char atProbe;
};

void ExpectExport(const std::string &path, const ExportKind &k) {
    const std::string text = ReadText(path);
    ASSERT_EQ(text.size(), k.size ? k.size : text.size()) << path;
    EXPECT_EQ(text[k.probe], k.atProbe) << path;
}

const char *const kNotWritten = "Error Number:  \\d+   .+";

class EachExport : public GuiTest, public ::testing::WithParamInterface<ExportKind> {};

TEST_P(EachExport, DialogOverwriteQuestionAndFailures) {
    const ExportKind &k = GetParam();
    Trigger(k.action); // no picture: nothing at all
    WriteNoBodyPicture(Path("n.iff"), 8, 8);
    LoadViaMenu(Path("n.iff"));
    if (!k.needsBody)
        dialogs_.QueueFileAnswer(false, "");
    Trigger(k.action);
    EXPECT_EQ(dialogs_.FileRequests().size(), k.needsBody ? 1u : 2u) << "no BODY";

    LoadQuad("small.iff", 13, 2);
    dialogs_.QueueFileAnswer(false, "");
    Trigger(k.action);
    dialogs_.QueueFileAnswer(true, Path("out"));
    Trigger(k.action);
    const FileDialogRequest &r = dialogs_.FileRequests().back();
    EXPECT_TRUE(r.save && r.overwritePrompt) << "the dialog asks first";
    EXPECT_EQ(r.fileName, k.defaultExt == "png" ? "small.png" : "") << "PNG: named as Save As";
    ExpectExport(Path("out." + k.defaultExt), k);
    EXPECT_TRUE(tk_.Messages.empty()) << "a cancelled dialog and a new name ask nothing";

    // The program asks once more: No keeps the file, Yes replaces it whole.
    const std::string target = Path("existing.dat"), old(5000, 'x');
    WriteText(target, old);
    for (int answer : {IdNo, IdYes}) {
        dialogs_.QueueFileAnswer(true, target);
        tk_.QueueAnswer(answer);
        Trigger(k.action);
        ASSERT_EQ(tk_.Messages.size(), answer == IdNo ? 1u : 2u);
        ExpectQuestion(tk_.Messages.back(), kOverwriteQuestion, "WARNING");
        EXPECT_EQ(ReadText(target) == old, answer == IdNo);
    }
    ExpectExport(target, k); // the old, longer file replaced whole

    dialogs_.QueueFileAnswer(true, Path("missing-folder/out"));
    tk_.QueueAnswer(IdOk);
    Trigger(k.action);
    ASSERT_EQ(tk_.Messages.size(), 3u);
    EXPECT_TRUE(std::regex_match(tk_.Messages[2].Text, std::regex(k.failure)))
        << tk_.Messages[2].Text;
    // Any other failure shows its number and reason: here, the picture's own file.
    dialogs_.QueueFileAnswer(true, Path("small.iff"));
    tk_.QueueAnswer(IdYes);
    tk_.QueueAnswer(IdOk);
    Trigger(k.action);
    ASSERT_EQ(tk_.Messages.size(), 5u);
    EXPECT_TRUE(std::regex_match(tk_.Messages[4].Text, std::regex(kNotWritten)))
        << tk_.Messages[4].Text;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EachExport,
    ::testing::Values(
        ExportKind{"Colours", "mnu_Export_Image_As_32bitRGBChunky", "rgb", true, kNotWritten, 204,
                   4 * 17 + 2, '\xff'},
        ExportKind{"Indices", "mnu_Export_Image_As_Chunky", "lut", true, kNotWritten, 51, 17, 1},
        ExportKind{"Palette", "mnu_Export_palette_AS_text", "TXT", false,
                   "Error: Bad Folder or Drive Selection", 72, 10, 'f'},
        ExportKind{"Png", "mnu_Export_Image_As_PNG", "png", true, kNotWritten, 0, 1, 'P'}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tambrel::guitest
