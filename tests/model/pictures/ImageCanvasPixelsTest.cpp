#include "toolkit/qt/ImageCanvas.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ostrander;

// A run of pixels sets what single pixels would, clipped at every edge.
TEST(ImageCanvasPixels, RunSetsWhatSinglePixelsWouldClippedAtTheEdges) {
    const std::vector<TColor> run = {clRed, clBlue, clLime, clYellow, 0x123456, clBlack};
    struct Case {
        int x, y;
    } cases[] = {{0, 0}, {-2, 3}, {6, 9}, {8, 2}, {3, -1}, {3, 10}, {-10, 5}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.x) + "," + std::to_string(k.y));
        ImageCanvas row(10, 10), single(10, 10);
        row.SetPixels(k.x, k.y, run.data(), static_cast<int>(run.size()));
        for (int n = 0; n < static_cast<int>(run.size()); ++n)
            single.SetPixel(k.x + n, k.y, run[n]);
        EXPECT_EQ(row.Image(), single.Image());
    }
    ImageCanvas c(4, 4);
    c.SetPixels(0, 0, nullptr, 4);
    c.SetPixels(2147483600, 1, run.data(), 2000000000);
    EXPECT_EQ(c.GetPixel(0, 0), clWhite);
}
