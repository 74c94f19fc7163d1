// The picture window: sized to each picture within the screen, centred, drawn.
#include "gui_test_util.h"

#include "app/show_pic.h"

#include <QGuiApplication>
#include <QScreen>

namespace tambrel::guitest {
namespace {

class PictureWindowTest : public GuiTest {};

TEST_F(PictureWindowTest, EachViewFitsTheCurrentPicture) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct Step {
        int width, height;
        bool body;
        std::uint32_t firstColour; // palette entry 1, so same-size pictures differ
    };
    // In order: one window shows them all, resized, recentred and redrawn.
    const std::vector<Step> steps = {{320, 256, true, 0xFF0000},
                                     {60, 90, true, 0xFF0000},
                                     {60, 90, true, 0x123456},
                                     {70, 30, false, 0},
                                     {area.width() + 100, area.height() + 60, true, 0xFF0000}};
    ShowPic *window = nullptr;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step &s = steps[i];
        SCOPED_TRACE(i);
        const std::string path = Path("p" + std::to_string(i) + ".iff");
        auto quad = MakeQuadPicture(s.width, s.height);
        quad.Colours[1] = s.firstColour;
        if (s.body)
            WriteQuadPicture(path, quad);
        else
            WriteNoBodyPicture(path, s.width, s.height);
        LoadViaMenu(path);
        main_->Toolbar1_ButtonClick(4);
        EXPECT_TRUE(!window || main_->PictureWindow() == window) << "one picture window";
        window = main_->PictureWindow();
        ASSERT_TRUE(window && window->isVisible());
        const QRect frame = window->frameGeometry();
        const QImage &img = window->Pic()->Image();
        if (s.width + 2 <= area.width() && s.height + 2 <= area.height()) {
            // The client area holds the picture, never below the minimum.
            EXPECT_EQ(window->size(), QSize(s.width, s.height).expandedTo(MinimumPictureClient()));
            EXPECT_EQ(img.size(), QSize(s.width, s.height));
            EXPECT_LE((frame.center() - area.center()).manhattanLength(), 2) << "centred";
        } else {
            EXPECT_TRUE(area.contains(frame)) << "larger pictures show their top-left part";
        }
        if (!s.body) {
            EXPECT_TRUE(AllWhite(img));
            continue;
        }
        const int r = img.width() - 1, b = img.height() - 1;
        for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {r, 0}, {0, b}, {r, b}})
            EXPECT_EQ(img.pixelColor(x, y), Rgb(quad.ColourAt(x, y))) << x << "," << y;
    }
}

} // namespace
} // namespace tambrel::guitest
