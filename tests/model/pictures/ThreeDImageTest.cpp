#include "model/pictures/ThreeDImage.h"
#include "model/pictures/WireFrame.h"

#include "model/Grid.h"
#include "tests/model/pictures/RecordingCanvas.h"
#include "tests/model/pictures/TestGrid.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ostrander;

namespace {

int CountPixels(const ImageCanvas& c, TColor color) {
    int n = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            n += c.GetPixel(x, y) == color;
    return n;
}

} // namespace

TEST(WireFrame, MaximumOnTheLastRowLandsTwoPixelsAboveTheBottom) {
    // z = 1 at y = 0.99: trunc((0.6546537 x 0.99 + 0.7559289) x 335 / 1.4105826) = 333.
    TestGrid g(100, 0.5);
    for (int i = 0; i < 100; ++i)
        g[i][99] = 1.0;
    EXPECT_EQ(WireFramePoint(40, 99, 1.0, 100, 0.0, 1.0, 309, 335).y, 333);

    ImageCanvas c(309, 335);
    DrawWireFrame(c, g.Rows(), 100, 1, 0.0, 1.0);
    const Point p = WireFramePoint(40, 99, 1.0, 100, 0.0, 1.0, 309, 335);
    EXPECT_EQ(c.GetPixel(p.x, 333), clBlue);
    for (int x = 0; x < 309; ++x)
        ASSERT_EQ(c.GetPixel(x, 334), clWhite) << x;
}

TEST(WireFrame, ColumnsRunLeftToRightRowsDownwardAndLargerValuesLower) {
    const int S = 10, W = 200, H = 150;
    const Point origin = WireFramePoint(0, 0, 0.0, S, 0.0, 1.0, W, H);
    EXPECT_EQ(origin.x, 0);
    EXPECT_GT(WireFramePoint(5, 0, 0.0, S, 0.0, 1.0, W, H).x, origin.x);
    EXPECT_EQ(WireFramePoint(5, 0, 0.0, S, 0.0, 1.0, W, H).y, origin.y);
    EXPECT_GT(WireFramePoint(0, 5, 0.0, S, 0.0, 1.0, W, H).y, origin.y);
    EXPECT_GT(WireFramePoint(0, 0, 1.0, S, 0.0, 1.0, W, H).y, origin.y);
}

TEST(WireFrame, AnEmptyRangeDrawsEveryPointAtTheBottomLevelInGreen) {
    TestGrid g(10, 2.0);
    ImageCanvas c(100, 100);
    DrawWireFrame(c, g.Rows(), 10, 1, 2.0, 2.0);
    EXPECT_GT(CountPixels(c, RGBColor(0, 255, 0)), 50);
    EXPECT_EQ(CountPixels(c, RGBColor(0, 255, 0)) + CountPixels(c, clWhite), 100 * 100);
}

TEST(WireFrame, ZeroIsRedMinimumGreenMaximumBlue) {
    TestGrid g(20, 0.0);
    g[10][10] = 2e-6;
    g[4][4] = -1e-6;
    ImageCanvas c(200, 200);
    DrawWireFrame(c, g.Rows(), 20, 1, -1e-6, 2e-6);
    EXPECT_GT(CountPixels(c, clRed), 500);
    EXPECT_GT(CountPixels(c, clBlue), 0);
    EXPECT_GT(CountPixels(c, RGBColor(0, 255, 0)), 0);
}

TEST(WireFrame, StrideSkipsLinesAndAMissingGridDrawsNothing) {
    TestGrid g(100, 1.0);
    RecordingCanvas c(335, 335);
    DrawWireFrame(c, g.Rows(), 100, 7, 0.0, 2.0);
    // 15 lines of 15 points in each family.
    EXPECT_EQ(c.lines, 2 * 15 * 14);
    c.lines = 0;
    DrawWireFrame(c, nullptr, 100, 2, 0.0, 1.0);
    DrawWireFrame(c, g.Rows(), 100, 0, 0.0, 1.0);
    EXPECT_EQ(c.lines, 0);
}

TEST(ThreeDImage, ViewValueShrinksLogarithmicallyWithRemoveFocus) {
    const double A = 2e-6;
    ThreeDOptions off;
    ThreeDOptions on;
    on.RemoveFocus = true;
    on.PeakVoltageFraction = 1.0;
    ThreeDOptions floor = on;
    floor.VoltagesAtFloor = true;
    ThreeDOptions low = on;
    low.PeakVoltageFraction = 0.5;
    struct Case {
        const char* name;
        double v;
        const ThreeDOptions& options;
        double expected;
    } cases[] = {
        {"off keeps the value", -A / 10, off, -A / 10},
        {"zero stays zero", 0.0, on, 0.0},
        {"largest magnitude unchanged", -A, on, -A},
        {"a tenth shrinks by log10(1.9)", A / 10, on, A / 10 * std::log10(1.9)},
        {"half the voltage shrinks more", A, low, A * std::log10(5.5)},
        {"voltages at the floor flatten", A, floor, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(ThreeDViewValue(c.v, A, c.options), c.expected, 1e-20);
    }
}

TEST(ThreeDImage, SingleRaisedSampleIsDrawnWithRedZerosAndABlueMaximum) {
    TestGrid g(100, 0.0);
    g[50][40] = 1e-6;
    Grid<double> view;
    RecordingCanvas c(309, 335);
    ThreeDOptions options;
    options.Separation_m = 30e-6;
    const GridRange r = DrawThreeDImage(c, g.Rows(), 100, options, view);
    EXPECT_TRUE(r.finite);
    EXPECT_EQ(r.max, 1e-6);
    EXPECT_EQ(c.Find("Nothing"), nullptr);
    EXPECT_GT(CountPixels(c, clRed), 1000);
    EXPECT_GT(CountPixels(c, clBlue), 0);
    const DrawnText* pv = c.Find("PV(um):");
    ASSERT_NE(pv, nullptr);
    EXPECT_EQ(pv->text, "PV(um):1.000E00");
    EXPECT_EQ(pv->x, 1);
    EXPECT_EQ(pv->y, 1);
    EXPECT_EQ(pv->color, 0x888888);
    EXPECT_TRUE(pv->solidBrush);
    ASSERT_NE(c.Find("Brendimor"), nullptr);
    EXPECT_EQ(c.GetPixel(0, 200), clBlack);
    EXPECT_EQ(c.GetPixel(308, 200), clBlack);
}

TEST(ThreeDImage, SnapDownIsMarkedAboveAThirdOfTheGap) {
    TestGrid g(100, 0.0);
    g[50][50] = -2.5e-6;
    Grid<double> view;
    RecordingCanvas c(309, 335);
    ThreeDOptions options;
    options.Separation_m = 7e-6;
    DrawThreeDImage(c, g.Rows(), 100, options, view);
    ASSERT_NE(c.Find("PV(um):"), nullptr);
    EXPECT_EQ(c.Find("PV(um):")->text, "PV(um):2.500E00 (snap-down)");
}

TEST(ThreeDImage, MissingFlatOrNonFiniteSurfacesShowNothingToDisplay) {
    TestGrid flat(100, 3e-7);
    TestGrid broken(100, 0.0);
    broken[3][3] = std::nan("");
    TestGrid infinite(100, 0.0);
    infinite[7][9] = -INFINITY;
    struct Case {
        const char* name;
        double** rows;
        int n;
    } cases[] = {
        {"no grid", nullptr, 100},   {"no samples", flat.Rows(), 0},     {"flat", flat.Rows(), 100},
        {"NaN", broken.Rows(), 100}, {"infinity", infinite.Rows(), 100},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Grid<double> view;
        RecordingCanvas c(309, 335);
        DrawThreeDImage(c, k.rows, k.n, ThreeDOptions{}, view);
        ASSERT_EQ(c.texts.size(), 1u);
        EXPECT_EQ(c.texts[0].text, "Nothing to display.");
    }
}

TEST(ThreeDImage, ViewGridIsKeptBetweenDrawsAndRemadeForAnotherSize) {
    TestGrid g(100, 0.0);
    g[20][30] = -1e-6;
    g[60][70] = -1e-7;
    Grid<double> view;
    ImageCanvas c(309, 335);
    ThreeDOptions options;
    options.RemoveFocus = true;
    options.PeakVoltageFraction = 1.0;
    DrawThreeDImage(c, g.Rows(), 100, options, view);
    ASSERT_EQ(view.Rows(), 100);
    const double* first = view.data();
    EXPECT_DOUBLE_EQ(view[20][30], -1e-6);
    EXPECT_DOUBLE_EQ(view[60][70], -1e-7 * std::log10(1.9));
    DrawThreeDImage(c, g.Rows(), 100, options, view);
    EXPECT_EQ(view.data(), first);

    TestGrid small(10, 0.0);
    small[1][1] = 1e-6;
    DrawThreeDImage(c, small.Rows(), 10, options, view);
    EXPECT_EQ(view.Rows(), 10);
    EXPECT_DOUBLE_EQ(view[1][1], 1e-6);
    EXPECT_EQ(view[0][0], 0.0);
}
