// "Save Bitmap" (next to the source, asking before it overwrites) and
// "Save Bitmap As" (a name from the dialog, which asks on its own).
#include "gui_test_util.h"

#include <regex>

namespace tambrel::guitest {
namespace {

enum class Pic { None, NoBody, Good };
enum class Existing { None, File, Folder };

struct SaveCase {
    const char *name;
    bool as; // Save Bitmap As rather than Save Bitmap
    Pic pic;
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
    if (c.pic == Pic::Good)
        WriteQuadPicture(Path("my.dir/boat.iff"), MakeQuadPicture(24, 10));
    if (c.pic == Pic::NoBody)
        WriteNoBodyPicture(Path("my.dir/boat.iff"), 8, 8);
    if (c.pic != Pic::None)
        LoadViaMenu(Path("my.dir/boat.iff"));
    const std::size_t loadDialogs = dialogs_.FileRequests().size();
    std::string target = Path(c.as && c.typed ? c.typed : "my.dir/boat.bmp");
    if (!target.ends_with(".bmp"))
        target += ".bmp"; // the dialog's default extension
    if (c.existing == Existing::File)
        WriteText(target, std::string(5000, 'x'));
    if (c.existing == Existing::Folder)
        MakeFolder(target);
    const bool dialog = c.as && c.pic == Pic::Good;
    if (dialog)
        dialogs_.QueueFileAnswer(c.typed != nullptr, c.typed ? Path(c.typed) : "");
    if (c.answer)
        tk_.QueueAnswer(c.answer);
    if (c.error)
        tk_.QueueAnswer(IdOk);
    Trigger(c.as ? "mnu_File_SAVESA" : "mnu_File_SAVE");

    ASSERT_EQ(dialogs_.FileRequests().size() - loadDialogs, dialog ? 1u : 0u);
    if (dialog) {
        const FileDialogRequest &r = dialogs_.FileRequests().back();
        EXPECT_TRUE(r.save);
        EXPECT_TRUE(r.overwritePrompt);
        EXPECT_EQ(r.filters, (std::vector<FilterEntry>{{"(*.bmp)", "*.bmp"}}));
        EXPECT_EQ(r.defaultExt, "bmp");
    }
    ASSERT_EQ(tk_.Messages.size(), (c.answer ? 1u : 0u) + (c.error ? 1u : 0u));
    if (c.answer)
        ExpectQuestion(tk_.Messages[0], kOverwriteQuestion, "WARNING");
    if (c.error) {
        const auto &m = tk_.Messages.back();
        EXPECT_TRUE(std::regex_match(m.Text, std::regex("Error:  \\d+ .+"))) << m.Text;
        EXPECT_EQ(std::pair(m.Buttons, m.Title), std::pair(int(MbOkOnly), std::string()));
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
    ::testing::Values(
        SaveCase{"NoPicture", false, Pic::None, Existing::None, nullptr, 0, false, false},
        SaveCase{"NoBody", false, Pic::NoBody, Existing::None, nullptr, 0, false, false},
        SaveCase{"New", false, Pic::Good, Existing::None, nullptr, 0, true, false},
        SaveCase{"ExistingNo", false, Pic::Good, Existing::File, nullptr, IdNo, false, false},
        SaveCase{"ExistingYes", false, Pic::Good, Existing::File, nullptr, IdYes, true, false},
        // Only No cancels: any other answer goes on.
        SaveCase{"ExistingOther", false, Pic::Good, Existing::File, nullptr, IdOk, true, false},
        SaveCase{"FolderInTheWay", false, Pic::Good, Existing::Folder, nullptr, IdYes, false, true},
        SaveCase{"AsNoPicture", true, Pic::None, Existing::None, "x", 0, false, false},
        SaveCase{"AsNoBody", true, Pic::NoBody, Existing::None, "x", 0, false, false},
        SaveCase{"AsCancelled", true, Pic::Good, Existing::None, nullptr, 0, false, false},
        SaveCase{"AsTypedName", true, Pic::Good, Existing::None, "my.dir/typed", 0, true, false},
        // The dialog asked already: no second question.
        SaveCase{"AsExisting", true, Pic::Good, Existing::File, "my.dir/b.bmp", 0, true, false},
        SaveCase{"AsNoFolder", true, Pic::Good, Existing::None, "none/x.bmp", 0, false, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tambrel::guitest
