// A deep picture in the main window: its preview shows the true colours, the
// panel names its kind and the raw 8-bit export says why it is refused. (The
// decoding of each kind is the core tests' concern.)
#include "gui_test_util.h"

#include "tests/support/form_writer.h"

namespace tambrel::guitest {
namespace {

using namespace tambrel::test;

class FormatsWindow : public GuiTest {};

TEST_F(FormatsWindow, DeepPicturePreviewPanelAndRefusedExport) {
    const std::uint32_t quadrants[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    const QuadPicture quad = MakeQuadPicture(64, 48);
    DeepImage deep{64, 48, 32, {}};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            deep.Pixels.push_back(quadrants[quad.Image.At(x, y) - 1] | 0x80000000u);
    BmhdFields f = HeaderFor(quad.Image, true);
    f.Bitplanes = 32;
    IlbmBuilder().Bmhd(f).Body(DeepBodyData(deep, true)).WriteFile(Path("k.iff"));
    LoadViaMenu(Path("k.iff"));
    ASSERT_TRUE(main_->Picture().HasBody());
    // The preview stretches the 66 x 49 work area to 320 x 256: the middle of each quadrant.
    for (int q = 0; q < 4; ++q) {
        const int px = (q % 2 == 0 ? 16 : 48) * 320 / 66, py = (q < 2 ? 12 : 36) * 256 / 49;
        EXPECT_EQ(main_->Picture6()->Image().pixelColor(px, py), Rgb(quadrants[q])) << q;
    }
    bool kindShown = false;
    for (const auto &line : main_->Picture1()->Printed())
        kindShown = kindShown || line.Text.toStdString() == "Deep 32-bit + alpha";
    EXPECT_TRUE(kindShown);
    tk_.QueueAnswer(IdOk);
    Trigger("mnu_Export_Image_As_Chunky");
    ASSERT_EQ(tk_.Messages.size(), 1u);
    EXPECT_EQ(tk_.Messages.back().Text, "Can't export: the picture is deep (32 bit planes of "
                                        "true colour) and has no palette indices");
}

} // namespace
} // namespace tambrel::guitest
