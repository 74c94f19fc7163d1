// The raw 32-bit, raw 8-bit, palette text and PNG exports.
#include "gui_test_util.h"

#include <regex>

namespace tambrel::guitest {
namespace {

// The 13 x 2 quadrant picture's exports: raw files of 17 x 3 values (with
// pixel (0, 0), colour 0xFF0000 / value 1, at row 1), the text 8 lines of 9.
struct ExportKind {
    const char *name;
    const char *action;
    FilterEntry filter;
    const char *defaultExt;
    bool needsBody;
    const char *failure; // regex of the message when the file cannot be written
    std::size_t size, probe;
    char atProbe;
};

const char *const kMessageA = "Error Number:  \\d+   .+";
const ExportKind kColours{"Colours",
                          "mnu_Export_Image_As_32bitRGBChunky",
                          {"(*.rgb)", "*.rgb"},
                          "rgb",
                          true,
                          kMessageA,
                          204,
                          4 * 17 + 2,
                          '\xff'};
const ExportKind kIndices{
    "Indices", "mnu_Export_Image_As_Chunky", {"(*.lut)", "*.lut"}, "lut", true, kMessageA, 51, 17,
    1};
const ExportKind kPalette{"Palette",
                          "mnu_Export_palette_AS_text",
                          {"(*.txt)", "*.txt"},
                          "TXT",
                          false,
                          "Error: Bad Folder or Drive Selection",
                          72,
                          10,
                          'f'};
const ExportKind kPng{
    "Png", "mnu_Export_Image_As_PNG", {"(*.png)", "*.png"}, "png", true, kMessageA, 0, 1, 'P'};

void ExpectExport(const std::string &path, const ExportKind &k) {
    const std::string text = ReadText(path);
    ASSERT_EQ(text.size(), k.size ? k.size : text.size()) << path;
    EXPECT_EQ(text[k.probe], k.atProbe) << path;
}

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
    ExpectExport(Path(std::string("out.") + k.defaultExt), k);
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
    EXPECT_EQ(tk_.Messages[2].Buttons, MbOkOnly);
    EXPECT_EQ(tk_.Messages[2].Title, "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachExport, ::testing::Values(kColours, kIndices, kPalette, kPng),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tambrel::guitest
