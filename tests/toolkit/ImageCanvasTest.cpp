#include "toolkit/qt/ImageCanvas.h"

#include <gtest/gtest.h>

using namespace ostrander;

TEST(ImageCanvas, RectangleCoversExactlyItsBoxWithExclusiveEdges) {
    ImageCanvas c(20, 20);
    c.SetPenColor(clRed);
    c.SetBrushColor(clBlue);
    c.Rectangle(0, 0, 10, 10);
    EXPECT_EQ(c.GetPixel(0, 0), clRed);
    EXPECT_EQ(c.GetPixel(9, 9), clRed);
    EXPECT_EQ(c.GetPixel(5, 5), clBlue);
    EXPECT_EQ(c.GetPixel(10, 5), clWhite);
    EXPECT_EQ(c.GetPixel(5, 10), clWhite);
}
