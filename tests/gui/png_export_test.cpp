// Export > Image As PNG: the save dialog, the file the PNG writer makes, and
// the message of a failed write, as for the other exports.
#include "gui_test_util.h"

namespace tambrel::guitest {
namespace {

class PngExport : public GuiTest {};

TEST_F(PngExport, DialogFileAndFailure) {
    Trigger("mnu_Export_Image_As_PNG"); // no picture: nothing at all
    WriteNoBodyPicture(Path("n.iff"), 8, 8);
    LoadViaMenu(Path("n.iff"));
    Trigger("mnu_Export_Image_As_PNG"); // no BODY: nothing either
    EXPECT_TRUE(dialogs_.FileRequests().size() == 1u) << "only the load's dialog";

    WriteQuadPicture(Path("small.iff"), MakeQuadPicture(13, 2));
    LoadViaMenu(Path("small.iff"));
    dialogs_.QueueFileAnswer(true, Path("out"));
    Trigger("mnu_Export_Image_As_PNG");
    const FileDialogRequest &r = dialogs_.FileRequests().back();
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.filters, (std::vector<FilterEntry>{{"(*.png)", "*.png"}}));
    EXPECT_EQ(r.defaultExt, "png");
    EXPECT_EQ(ReadText(Path("out.png")).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_TRUE(tk_.Messages.empty());

    dialogs_.QueueFileAnswer(true, Path("missing-folder/out"));
    tk_.QueueAnswer(IdOk);
    Trigger("mnu_Export_Image_As_PNG");
    ASSERT_EQ(tk_.Messages.size(), 1u);
    const std::string &text = tk_.Messages[0].Text;
    EXPECT_EQ(text.rfind("Error Number:  ", 0), 0u) << text;
    EXPECT_NE(text.find("   ", 15), std::string::npos) << "number, three blanks, description";
}

} // namespace
} // namespace tambrel::guitest
