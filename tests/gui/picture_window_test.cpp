// The picture window: sizing, placement and drawing.
#include "gui_test_util.h"

#include "app/show_pic.h"

#include <QGuiApplication>
#include <QScreen>

namespace tambrel::guitest {
namespace {

class PictureWindowTest : public GuiTest {
  protected:
    QRect Area() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    void ExpectCentred(const ShowPic &w) {
        const QRect frame = w.frameGeometry();
        EXPECT_LE(std::abs(frame.center().x() - Area().center().x()), 1);
        EXPECT_LE(std::abs(frame.center().y() - Area().center().y()), 1);
    }
};

TEST_F(PictureWindowTest, ViewWithoutPictureDoesNothing) {
    Main().Toolbar1_ButtonClick(4);
    EXPECT_EQ(main_->PictureWindow(), nullptr);
}

TEST_F(PictureWindowTest, ClientAreaHoldsThePictureAndItsBorder) {
    const auto quad = MakeQuadPicture(320, 256);
    WriteQuadPicture(Path("a.iff"), quad);
    LoadViaMenu(Path("a.iff"));
    main_->Toolbar1_ButtonClick(4);
    ShowPic *w = main_->PictureWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Picture");
    EXPECT_EQ(w->size(), QSize(322, 258));
    EXPECT_EQ(w->Pic()->geometry(), QRect(0, 0, 322, 258));
    ExpectCentred(*w);
    const QImage &img = w->Pic()->Image();
    ASSERT_EQ(img.size(), QSize(320, 256));
    for (auto [x, y] :
         std::vector<std::pair<int, int>>{{0, 0}, {319, 0}, {0, 255}, {319, 255}, {160, 128}})
        EXPECT_EQ(img.pixelColor(x, y), Rgb(quad.ColourAt(x, y))) << x << "," << y;
}

TEST_F(PictureWindowTest, LargerThanTheScreenShowsTheTopLeftPart) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int w = area.width() + 100, h = area.height() + 60;
    const auto quad = MakeQuadPicture(w, h);
    WriteQuadPicture(Path("big.iff"), quad);
    LoadViaMenu(Path("big.iff"));
    main_->Toolbar1_ButtonClick(4);
    ShowPic *win = main_->PictureWindow();
    ASSERT_NE(win, nullptr);
    EXPECT_LE(win->frameGeometry().width(), area.width());
    EXPECT_LE(win->frameGeometry().height(), area.height());
    EXPECT_TRUE(area.contains(win->frameGeometry()));
    const QImage &img = win->Pic()->Image();
    EXPECT_EQ(img.pixelColor(0, 0), Rgb(quad.ColourAt(0, 0)));
    EXPECT_EQ(img.pixelColor(img.width() - 1, img.height() - 1),
              Rgb(quad.ColourAt(img.width() - 1, img.height() - 1)));
}

TEST_F(PictureWindowTest, SecondViewResizesForTheNewPictureAndRecentres) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(100, 50));
    const auto second = MakeQuadPicture(60, 90);
    WriteQuadPicture(Path("b.iff"), second);
    LoadViaMenu(Path("a.iff"));
    main_->Toolbar1_ButtonClick(4);
    LoadViaMenu(Path("b.iff"));
    main_->Toolbar1_ButtonClick(4);
    ShowPic *w = main_->PictureWindow();
    EXPECT_EQ(w->size(), QSize(62, 92));
    ExpectCentred(*w);
    EXPECT_EQ(w->Pic()->Image().pixelColor(59, 89), Rgb(second.ColourAt(59, 89)));
}

TEST_F(PictureWindowTest, SameSizeViewRedrawsTheNewPicture) {
    auto first = MakeQuadPicture(50, 40);
    WriteQuadPicture(Path("a.iff"), first);
    auto second = first;
    second.Colours[1] = 0x123456;
    WriteQuadPicture(Path("b.iff"), second);
    LoadViaMenu(Path("a.iff"));
    main_->Toolbar1_ButtonClick(4);
    LoadViaMenu(Path("b.iff"));
    main_->Toolbar1_ButtonClick(4);
    EXPECT_EQ(main_->PictureWindow()->Pic()->Image().pixelColor(0, 0), Rgb(0x123456));
}

TEST_F(PictureWindowTest, PictureWithoutBodyGivesWhiteWindowOfHeaderSize) {
    WriteNoBodyPicture(Path("n.iff"), 70, 30);
    LoadViaMenu(Path("n.iff"));
    main_->Toolbar1_ButtonClick(4);
    ShowPic *w = main_->PictureWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->size(), QSize(72, 32));
    const QImage &img = w->Pic()->Image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(img.pixelColor(x, y), QColor(255, 255, 255));
}

} // namespace
} // namespace tambrel::guitest
