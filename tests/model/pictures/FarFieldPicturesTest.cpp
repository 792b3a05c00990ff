#include "model/pictures/FarFieldPictures.h"

#include "model/Grid.h"
#include "model/pictures/SurfaceImages.h"
#include "model/pictures/ThreeDImage.h"
#include "tests/model/pictures/RecordingCanvas.h"
#include "tests/model/pictures/TestGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace ostrander;

namespace {

// A 256 x 256 transform buffer in the 1-based interleaved layout.
struct Field {
    explicit Field(int size = 256) : size(size), data(2 * (size + 1) * (size + 1), 0.0f) {}
    void Set(int r, int c, float re, float im = 0.0f) {
        const int k = 2 * ((r - 1) * size + c) - 1;
        data[k] = re;
        data[k + 1] = im;
    }
    // A round spot of the given radius (elements) about (r0, c0).
    void Spot(int r0, int c0, double radius) {
        for (int r = 1; r <= size; ++r)
            for (int c = 1; c <= size; ++c) {
                const double d2 = (r - r0) * (r - r0) + (c - c0) * (c - c0);
                Set(r, c, static_cast<float>(std::exp(-d2 / (2 * radius * radius))));
            }
    }
    FarFieldInput Input(int zoom = 1) const { return {data.data(), size, zoom}; }

    int size;
    std::vector<float> data;
};

bool IsGrey(TColor c) {
    return RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c);
}

} // namespace

TEST(FarFieldSampling, ZoomShowsTheCentralElementsAndMovesTheAxis) {
    struct Case {
        int zoom;
        int first, last, axis;
    } cases[] = {
        {1, 1, 255, 169},
        {2, 65, 192, 170},
        {4, 97, 160, 173},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        const FarFieldSampling s(256, 335, c.zoom);
        EXPECT_EQ(s.Element(0), c.first);
        EXPECT_EQ(s.Element(334), c.last);
        EXPECT_EQ(s.AxisPixel(), c.axis);
        // The axis pixel shows the zero frequency.
        EXPECT_EQ(s.Element(s.AxisPixel()), 129);
    }
    EXPECT_DOUBLE_EQ(FarFieldSampling(256, 335, 4).step, 255.0 / 1340.0);
    EXPECT_DOUBLE_EQ(FarFieldSampling(256, 335, 4).offset, 96.0);
    // A zoom below 1 is taken as 1.
    EXPECT_EQ(FarFieldSampling(256, 335, 0).Element(334), 255);
}

TEST(FarFieldImage, SpotAtTheZeroFrequencyIsBrightUnderTheCross) {
    Field f;
    f.Spot(129, 129, 3.0);
    RecordingCanvas c(335, 335);
    DrawFarFieldImage(c, f.Input(), 47.5, false, "Far Field Intensity");

    // The brightest grey pixel lies at the cross centre, dark far from it.
    int best = -1, bestX = 0, bestY = 0;
    for (int y = 20; y < 300; ++y)
        for (int x = 20; x < 300; ++x) {
            const TColor p = c.GetPixel(x, y);
            if (IsGrey(p) && RedOf(p) > best) {
                best = RedOf(p);
                bestX = x;
                bestY = y;
            }
        }
    EXPECT_GT(best, 200);
    EXPECT_NEAR(bestX, 169, 2);
    EXPECT_NEAR(bestY, 169, 2);
    EXPECT_EQ(c.GetPixel(40, 300), clBlack);

    // Cross centred at (169, 169), arms drawn from 252 down to 86 (the end
    // point 85 is left out, as lines leave out their last pixel).
    for (int p : {86, 120, 168, 200, 252}) {
        EXPECT_EQ(c.GetPixel(p, 169), clBlue) << p;
        EXPECT_EQ(c.GetPixel(169, p), clBlue) << p;
    }
    EXPECT_NE(c.GetPixel(253, 169), clBlue);
    EXPECT_NE(c.GetPixel(169, 253), clBlue);

    // Circle of radius 47.5 x 335 / 257 = 61.9 pixels round the axis.
    EXPECT_EQ(c.GetPixel(169 + 61, 140), clBlack);
    EXPECT_EQ(c.GetPixel(140, 169 + 61), clBlack);
    bool redRight = false, redLeft = false;
    for (int x = 225; x <= 232; ++x)
        redRight = redRight || c.GetPixel(x, 160) == clRed;
    for (int x = 106; x <= 113; ++x)
        redLeft = redLeft || c.GetPixel(x, 160) == clRed;
    EXPECT_TRUE(redRight);
    EXPECT_TRUE(redLeft);

    const DrawnText* title = c.Find("Far Field Intensity");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, 2);
    EXPECT_EQ(title->y, 2);
    EXPECT_EQ(title->color, clRed);
    ASSERT_NE(c.Find("Brendimor"), nullptr);
    EXPECT_EQ(c.GetPixel(0, 100), clBlack);
    EXPECT_EQ(c.GetPixel(334, 100), clBlack);
}

TEST(FarFieldImage, SquareMirrorGetsASquareOutlineScaledByTheZoom) {
    Field f;
    f.Spot(129, 129, 1.0);
    ImageCanvas c(335, 335);
    DrawFarFieldImage(c, f.Input(2), 20.0, true, "");
    // Half size 20 x 335 / 257 x 2 = 52.1 pixels about the axis at 170.
    ASSERT_EQ(FarFieldSampling(256, 335, 2).AxisPixel(), 170);
    EXPECT_EQ(c.GetPixel(170 - 53, 140), clRed);
    EXPECT_EQ(c.GetPixel(170 + 52 - 1, 140), clRed);
    EXPECT_EQ(c.GetPixel(140, 170 - 53), clRed);
    EXPECT_EQ(c.GetPixel(140, 170 + 52 - 1), clRed);
    EXPECT_NE(c.GetPixel(170 + 52, 140), clRed);
}

TEST(FarFieldImage, ColumnsFollowTheFirstIndexOfTheTransform) {
    Field f;
    f.Spot(129, 129, 0.5);
    f.Set(40, 200, 1.0f);
    ImageCanvas c(335, 335);
    DrawFarFieldImage(c, f.Input(), 47.5, false, "");
    const FarFieldSampling s(256, 335, 1);
    int column = 0, row = 0;
    while (s.Element(column) != 40)
        ++column;
    while (s.Element(row) != 200)
        ++row;
    EXPECT_EQ(c.GetPixel(column, row), clWhite);
    EXPECT_EQ(c.GetPixel(row, column), clBlack);
}

TEST(FarFieldPictures, UnshowableTransformsShowNothingToDisplay) {
    Field zero;
    Field broken;
    broken.Spot(129, 129, 2.0);
    broken.Set(3, 3, NAN);
    Field huge;
    huge.Set(5, 5, INFINITY);
    struct Case {
        const char* name;
        FarFieldInput input;
    } cases[] = {
        {"no transform", {nullptr, 256, 1}}, {"size 0", {zero.data.data(), 0, 1}},
        {"all zero", zero.Input()},          {"NaN element", broken.Input()},
        {"infinite element", huge.Input()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        RecordingCanvas image(335, 335);
        DrawFarFieldImage(image, k.input, 47.5, false, "Far Field Intensity");
        ASSERT_EQ(image.texts.size(), 1u);
        EXPECT_EQ(image.texts[0].text, "Nothing to display.");

        RecordingCanvas plot(335, 335);
        Grid<double> grid;
        EXPECT_FALSE(DrawFarFieldPlot(plot, k.input, true, grid).finite);
        ASSERT_EQ(plot.texts.size(), 1u);
        EXPECT_EQ(plot.texts[0].text, "Nothing to display.");
    }
}

TEST(FarFieldPlot, SpotIsOneGreenPeakOverARedFloor) {
    Field f;
    f.Spot(129, 129, 3.0);
    RecordingCanvas c(335, 335);
    Grid<double> grid;
    const GridRange r = DrawFarFieldPlot(c, f.Input(), true, grid);
    ASSERT_TRUE(r.finite);
    EXPECT_EQ(r.min, -255.0);
    EXPECT_EQ(r.max, 0.0);
    ASSERT_EQ(grid.Rows(), 335);
    EXPECT_EQ(grid[169][169], -255.0);
    EXPECT_EQ(grid[0][0], 0.0);
    // Stride trunc(335 x 0.02 + 0.5) = 7: 48 lines of 48 points each way.
    EXPECT_EQ(c.lines, 2 * 48 * 47);

    int red = 0, green = 0, greenY = 335, redY = 0;
    for (int y = 0; y < 335; ++y)
        for (int x = 0; x < 335; ++x) {
            const TColor p = c.GetPixel(x, y);
            if (p == clRed) {
                ++red;
                redY = std::max(redY, y);
            } else if (GreenOf(p) > 200 && RedOf(p) == 0) {
                ++green;
                greenY = std::min(greenY, y);
            }
        }
    EXPECT_GT(red, 5000);
    EXPECT_GT(green, 0);
    // The peak points up, above the floor.
    EXPECT_LT(greenY, 150);
    ASSERT_NE(c.Find("Brendimor"), nullptr);
}

TEST(FarFieldPlot, GridIsKeptAndRemadeWhenTheCanvasSizeChanges) {
    Field f;
    f.Spot(129, 129, 3.0);
    Grid<double> grid;
    ImageCanvas c(335, 335);
    DrawFarFieldPlot(c, f.Input(), true, grid);
    const double* first = grid.data();
    DrawFarFieldPlot(c, f.Input(), true, grid);
    EXPECT_EQ(grid.data(), first);
    ImageCanvas wide(400, 200);
    DrawFarFieldPlot(wide, f.Input(), true, grid);
    EXPECT_EQ(grid.Rows(), 200);
}

TEST(FarFieldPlot, NoSurfaceOrAFlatLevelShowsNothingToDisplay) {
    Field f;
    f.Spot(129, 129, 3.0);
    RecordingCanvas c(335, 335);
    Grid<double> grid;
    DrawFarFieldPlot(c, f.Input(), false, grid);
    ASSERT_EQ(c.texts.size(), 1u);
    EXPECT_EQ(c.texts[0].text, "Nothing to display.");

    // Every element equally bright: one level, no relief.
    Field even;
    for (int r = 1; r <= 256; ++r)
        for (int k = 1; k <= 256; ++k)
            even.Set(r, k, 0.5f, 0.5f);
    RecordingCanvas flat(335, 335);
    const GridRange range = DrawFarFieldPlot(flat, even.Input(), true, grid);
    EXPECT_EQ(range.min, -255.0);
    EXPECT_EQ(range.max, -255.0);
    ASSERT_EQ(flat.texts.size(), 1u);
    EXPECT_EQ(flat.texts[0].text, "Nothing to display.");
}

TEST(AllPictures, DrawOnCanvasesOfAnySize) {
    Field f;
    f.Spot(129, 129, 3.0);
    TestGrid g(100);
    g.Fill([](int i, int j) {
        return -1e-6 * std::exp(-((i - 50) * (i - 50) + (j - 50) * (j - 50)) / 300.0);
    });
    MirrorDrawing m;
    m.Diameter_m = 0.015;
    m.Separation_m = 30e-6;
    m.actuators.push_back({true, 0.002, 0.001, 0, 0, 0.001, 0});
    Grid<double> plot;
    Grid<double> view;
    const int sizes[][2] = {{1, 1}, {2, 3}, {5, 500}, {500, 4}, {640, 480}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        ImageCanvas c(size[0], size[1]);
        DrawSurfaceImage(c, {g.Rows(), 100}, m);
        DrawInterferogram(c, {g.Rows(), 100}, m);
        DrawThreeDImage(c, g.Rows(), 100, ThreeDOptions{}, view);
        DrawFarFieldImage(c, f.Input(3), 47.5, false, "Far Field Intensity");
        DrawFarFieldPlot(c, f.Input(3), true, plot);
        EXPECT_EQ(plot.Rows(), std::min(size[0], size[1]));
    }
}
