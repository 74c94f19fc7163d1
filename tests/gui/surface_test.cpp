// PictureSurface: the drawing operations the windows are built on (text is
// checked through the information panel).
#include "app/picture_surface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tambrel {
namespace {

const QColor kWhite(255, 255, 255);

TEST(PictureSurface, SizeBorderClearAndClipping) {
    PictureSurface s(nullptr, 1);
    s.SetOuterSize(12, 9);
    EXPECT_EQ(QSize(s.InnerWidth(), s.InnerHeight()), QSize(10, 7));
    s.SetBackColor(QColor(9, 8, 7));
    s.PrintLine("x");
    s.Clear();
    EXPECT_EQ(std::pair(s.CurrentX(), s.CurrentY()), std::pair(0.0, 0.0));
    EXPECT_TRUE(s.Printed().empty());
    s.SetPixel(3, 4, QColor(1, 2, 3));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {10, 0}, {0, 7}})
        s.SetPixel(x, y, Qt::black); // clipped
    s.SetBackColor(kWhite);
    s.SetOuterSize(22, 19);
    s.show();
    s.hide();
    const QImage &img = s.Image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor expected = (x == 3 && y == 4)  ? QColor(1, 2, 3)
                                    : (x < 10 && y < 7) ? QColor(9, 8, 7)
                                                        : kWhite; // new area: the background
            ASSERT_EQ(img.pixelColor(x, y), expected) << x << "," << y;
        }
}

TEST(PictureSurface, ColourRowsIgnoreTheTopByteAndScaledCopiesStretch) {
    PictureSurface src, dst;
    src.SetOuterSize(4, 3); // inner 2 x 1
    src.Clear();
    // One row of three values (the third clipped), a stride of four.
    const std::vector<std::uint32_t> rows = {0xFFFF0000, 0x120000FF, 0x00ABCDEF, 0};
    src.DrawColourRows(rows.data(), 4, 3, 1);
    dst.SetOuterSize(42, 12); // inner 40 x 10
    dst.Clear();
    dst.DrawScaledFrom(src, QRect(0, 0, 2, 1), QRect(0, 0, 20, 8));
    EXPECT_EQ(dst.PixelAt(2, 2), QColor(255, 0, 0));
    EXPECT_EQ(dst.PixelAt(17, 7), QColor(0, 0, 255));
    EXPECT_EQ(dst.PixelAt(25, 2), kWhite);
    EXPECT_EQ(dst.PixelAt(2, 9), kWhite);
}

} // namespace
} // namespace tambrel
