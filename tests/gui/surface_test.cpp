// PictureSurface: the drawing operations the windows are built on.
#include "app/picture_surface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tambrel {
namespace {

const QColor kWhite(255, 255, 255);

TEST(PictureSurface, OuterSizeLeavesABorderAndKeepsTheDrawing) {
    PictureSurface s(nullptr, 1);
    s.SetOuterSize(12, 9);
    EXPECT_EQ(s.size(), QSize(12, 9));
    EXPECT_EQ(s.InnerWidth(), 10);
    EXPECT_EQ(s.InnerHeight(), 7);
    s.Clear();
    s.SetPixel(3, 4, QColor(1, 2, 3));
    s.SetOuterSize(22, 19);
    EXPECT_EQ(s.PixelAt(3, 4), QColor(1, 2, 3));
    EXPECT_EQ(s.PixelAt(15, 15), kWhite) << "new area gets the background";
    s.show();
    s.hide();
    EXPECT_EQ(s.PixelAt(3, 4), QColor(1, 2, 3)) << "the drawing outlives being hidden";
}

TEST(PictureSurface, SetPixelClipsOutsideTheInnerArea) {
    PictureSurface s;
    s.SetOuterSize(6, 6);
    s.Clear();
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {4, 0}, {0, 4}})
        s.SetPixel(x, y, Qt::black);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(s.PixelAt(x, y), kWhite);
}

TEST(PictureSurface, ClearFillsWithBackgroundAndResetsTheCursor) {
    PictureSurface s;
    s.SetOuterSize(40, 40);
    s.PrintLine("x");
    ASSERT_GT(s.CurrentY(), 0);
    s.SetBackColor(QColor(9, 8, 7));
    s.Clear();
    EXPECT_EQ(s.CurrentX(), 0);
    EXPECT_EQ(s.CurrentY(), 0);
    EXPECT_TRUE(s.Printed().empty());
    EXPECT_EQ(s.PixelAt(37, 37), QColor(9, 8, 7));
}

TEST(PictureSurface, PrintLineDrawsAtTheCursorAndMovesToTheNextLine) {
    PictureSurface s;
    s.SetOuterSize(200, 60);
    s.Clear();
    s.SetForeColor(QColor(200, 0, 0));
    s.SetCurrentX(50);
    s.PrintLine("WWW");
    EXPECT_EQ(s.CurrentX(), 0);
    const double lineHeight = s.CurrentY();
    EXPECT_GT(lineHeight, 5);
    // Ink only right of the cursor's x and within the first line.
    bool ink = false;
    for (int y = 0; y < s.InnerHeight(); ++y)
        for (int x = 0; x < s.InnerWidth(); ++x)
            if (s.PixelAt(x, y) != kWhite) {
                ink = true;
                EXPECT_GE(x, 50);
                EXPECT_LT(y, lineHeight);
            }
    EXPECT_TRUE(ink);
    s.PrintLine("x");
    EXPECT_EQ(s.CurrentY(), 2 * lineHeight);
}

TEST(PictureSurface, BoldTextIsWider) {
    PictureSurface s;
    const int normal = s.TextWidth("Mask Colour:");
    s.SetBold(true);
    EXPECT_TRUE(s.Bold());
    EXPECT_GT(s.TextWidth("Mask Colour:"), normal);
    EXPECT_EQ(s.TextWidth(""), 0);
}

TEST(PictureSurface, ColourRowsIgnoreTheTopByteAndClip) {
    PictureSurface s;
    s.SetOuterSize(5, 4); // inner 3 x 2
    s.Clear();
    // Two rows of four values, a stride of five.
    const std::vector<std::uint32_t> rows = {0xFFFF8000, 0x00000001, 0x12345678, 0x00ABCDEF, 0,
                                             0x00102030, 0x01020304, 0x00FFFFFF, 0x00000000, 0};
    s.DrawColourRows(rows.data(), 5, 4, 2);
    EXPECT_EQ(s.PixelAt(0, 0), QColor(255, 128, 0));
    EXPECT_EQ(s.PixelAt(1, 0), QColor(0, 0, 1));
    EXPECT_EQ(s.PixelAt(2, 0), QColor(0x34, 0x56, 0x78));
    EXPECT_EQ(s.PixelAt(0, 1), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(s.PixelAt(1, 1), QColor(2, 3, 4));
}

TEST(PictureSurface, ScaledCopyStretchesEachDirection) {
    PictureSurface src, dst;
    src.SetOuterSize(4, 3); // inner 2 x 1
    src.SetPixel(0, 0, QColor(255, 0, 0));
    src.SetPixel(1, 0, QColor(0, 0, 255));
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
