// The raw 32-bit, raw 8-bit and palette text exports.
#include "gui_test_util.h"

#include "output/exports.h"

#include <regex>

namespace tambrel::guitest {
namespace {

struct ExportKind {
    const char *name;
    const char *action;
    FilterEntry filter;
    const char *defaultExt;
    bool needsBody;
    const char *failure; // regex of the message when the file cannot be written
    Writer write;
};

const char *const kMessageA = "Error Number:  \\d+   .+";
const ExportKind kColours{"Colours",
                          "mnu_Export_Image_As_32bitRGBChunky",
                          {"(*.rgb)", "*.rgb"},
                          "rgb",
                          true,
                          kMessageA,
                          WriteRawColours};
const ExportKind kIndices{
    "Indices",      "mnu_Export_Image_As_Chunky", {"(*.lut)", "*.lut"}, "lut", true, kMessageA,
    WriteRawIndices};
const ExportKind kPalette{
    "Palette", "mnu_Export_palette_AS_text",           {"(*.txt)", "*.txt"}, "TXT",
    false,     "Error: Bad Folder or Drive Selection", WritePaletteText};

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

    WriteQuadPicture(Path("small.iff"), MakeQuadPicture(13, 2));
    LoadViaMenu(Path("small.iff"));
    dialogs_.QueueFileAnswer(false, "");
    Trigger(k.action);
    dialogs_.QueueFileAnswer(true, Path("out"));
    Trigger(k.action);
    const FileDialogRequest &r = dialogs_.FileRequests().back();
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt) << "the dialog asks first";
    EXPECT_EQ(r.filters, std::vector<FilterEntry>{k.filter});
    EXPECT_EQ(r.defaultExt, k.defaultExt);
    ExpectWrittenBy(Path(std::string("out.") + k.defaultExt), k.write);
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
    ExpectWrittenBy(target, k.write); // the old, longer file replaced whole

    dialogs_.QueueFileAnswer(true, Path("missing-folder/out"));
    tk_.QueueAnswer(IdOk);
    Trigger(k.action);
    ASSERT_EQ(tk_.Messages.size(), 3u);
    EXPECT_TRUE(std::regex_match(tk_.Messages[2].Text, std::regex(k.failure)))
        << tk_.Messages[2].Text;
    EXPECT_EQ(tk_.Messages[2].Buttons, MbOkOnly);
    EXPECT_EQ(tk_.Messages[2].Title, "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachExport, ::testing::Values(kColours, kIndices, kPalette),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tambrel::guitest
