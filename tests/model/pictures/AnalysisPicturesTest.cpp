#include "model/pictures/AnalysisPictures.h"

#include "tests/model/pictures/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace ostrander;

namespace {

// Relative luminance of a colour, 0 .. 255.
double Luminance(TColor c) {
    return 0.2126 * RedOf(c) + 0.7152 * GreenOf(c) + 0.0722 * BlueOf(c);
}

// A 64 x 64 far field, element (i, j) with i along x at [i * 64 + j], a
// quarter of lambda/D per element, shown out to 6 lambda/D.
struct SmallField {
    static constexpr int kSize = 64;
    std::vector<double> values = std::vector<double>(kSize * kSize, 0.0);
    void Set(int di, int dj, double v) { values[(kSize / 2 + di) * kSize + kSize / 2 + dj] = v; }
    LogFarFieldInput Input() const {
        LogFarFieldInput in;
        in.intensity = &values;
        in.size = kSize;
        in.pixelScale = 0.25e-6;
        in.lambdaOverD = 1e-6;
        in.reach = 6;
        return in;
    }
};

} // namespace

TEST(LogScaleColour, BrightensSteadilyFromFloorToPeak) {
    double last = -1;
    for (int k = 0; k <= 100; ++k) {
        const double l = Luminance(LogScaleColour(k / 100.0));
        EXPECT_GT(l, last) << k;
        last = l;
    }
    // Outside the scale the ends hold; no level makes a colour out of a NaN.
    EXPECT_EQ(LogScaleColour(-3), LogScaleColour(0));
    EXPECT_EQ(LogScaleColour(7), LogScaleColour(1));
    EXPECT_EQ(LogScaleColour(std::numeric_limits<double>::quiet_NaN()), LogScaleColour(0));
}

// Each spot lands where its angle says, x to the right and y downwards, in
// the colour of its decade below the peak.
TEST(LogFarField, PlacesElementsByAngleAndColoursThemByDecade) {
    SmallField f;
    f.Set(0, 0, 4.0);
    f.Set(8, 0, 4e-3);  // x = +2 lambda/D, three decades down
    f.Set(0, 12, 4e-2); // y = +3 lambda/D, two decades down
    RecordingCanvas c(460, 400);
    DrawLogFarField(c, f.Input());
    const LogFarFieldLayout l = LayoutLogFarField(c, f.Input());
    ASSERT_GT(l.pixelsPerLambdaOverD, 10);
    EXPECT_EQ(l.plot.Width(), l.plot.Height());
    auto at = [&](double x, double y) {
        return c.GetPixel(static_cast<int>(std::floor(l.centreX + x * l.pixelsPerLambdaOverD)),
                          static_cast<int>(std::floor(l.centreY + y * l.pixelsPerLambdaOverD)));
    };
    EXPECT_EQ(at(0, 0), LogScaleColour(1));
    EXPECT_EQ(at(2, 0), LogScaleColour(0.5));
    EXPECT_EQ(at(0, 3), LogScaleColour(1 - 2.0 / 6));
    // Not mirrored, not transposed.
    for (const auto& [x, y] : {std::pair{-2.0, 0.0}, {0.0, 2.0}, {0.0, -3.0}, {3.0, 0.0}})
        EXPECT_EQ(at(x, y), LogScaleColour(0)) << x << "," << y;

    // The colour bar: the peak at the top, six decades down at the bottom.
    EXPECT_EQ(c.GetPixel(l.colourBar.left + 2, l.colourBar.top),
              LogScaleColour(1 - 0.5 / l.colourBar.Height()));
    EXPECT_EQ(c.GetPixel(l.colourBar.left + 2, l.colourBar.bottom - 1),
              LogScaleColour(0.5 / l.colourBar.Height()));
    for (const char* label : {"0", "-3", "-6", "x (lambda/D)", "y (lambda/D)", "Far field"})
        EXPECT_NE(c.Find(label), nullptr) << label;
    // Ticks every 5 lambda/D, labelled under their place on the x axis.
    const DrawnText* five = c.Find("5");
    ASSERT_NE(five, nullptr);
    EXPECT_NEAR(five->x + c.TextWidth("5") / 2.0, l.centreX + 5 * l.pixelsPerLambdaOverD, 1.5);
    EXPECT_GT(five->y, l.plot.bottom);
    EXPECT_EQ(c.Find("undersampled"), nullptr);

    LogFarFieldInput noted = f.Input();
    noted.note = "undersampled: aliased";
    RecordingCanvas n(460, 400);
    DrawLogFarField(n, noted);
    ASSERT_NE(n.Find("undersampled"), nullptr);
    EXPECT_EQ(n.Find("undersampled")->color, clRed);
}

TEST(LogFarField, NothingToDisplayWithoutAPeakOrAScale) {
    SmallField zero;
    SmallField infinite;
    infinite.Set(0, 0, std::numeric_limits<double>::infinity());
    SmallField lit;
    lit.Set(0, 0, 1.0);
    LogFarFieldInput noScale = lit.Input();
    noScale.pixelScale = 0;
    const std::vector<double> empty;
    LogFarFieldInput shortVector = lit.Input();
    shortVector.intensity = &empty;
    for (const LogFarFieldInput& in : {zero.Input(), infinite.Input(), noScale, shortVector}) {
        RecordingCanvas c(460, 400);
        DrawLogFarField(c, in);
        EXPECT_NE(c.Find("Nothing to display."), nullptr);
    }
}

// A curve that steps from 0 to 1 at 5 lambda/D: low to the left of the step,
// on the top row to the right of it.
TEST(EncircledEnergyPlot, DrawsTheFractionAgainstTheRadius) {
    std::vector<double> fraction(41, 0.0); // 0 .. 20 lambda/D, half a lambda/D apart
    for (int k = 10; k <= 40; ++k)
        fraction[k] = 1.0;
    RecordingCanvas c(460, 400);
    DrawEncircledEnergyPlot(c, fraction, 0.5);
    const Rect plot = EncircledEnergyPlotArea(c);
    auto x = [&](double rho) {
        return plot.left + static_cast<int>(std::lround(rho / 20 * (plot.Width() - 1)));
    };
    EXPECT_EQ(c.GetPixel(x(2), plot.bottom - 1), clBlue);
    EXPECT_EQ(c.GetPixel(x(10), plot.top), clBlue);
    EXPECT_NE(c.GetPixel(x(2), plot.top + 2), clBlue);
    EXPECT_NE(c.GetPixel(x(10), plot.bottom - 3), clBlue);
    // The rise lies between 4.5 and 5 lambda/D.
    const int middle = (plot.top + plot.bottom) / 2;
    EXPECT_EQ(c.GetPixel(x(4.5), middle) == clBlue || c.GetPixel(x(4.5) + 1, middle) == clBlue ||
                  c.GetPixel(x(4.75), middle) == clBlue,
              true);
    EXPECT_NE(c.GetPixel(x(3.5), middle), clBlue);
    EXPECT_NE(c.GetPixel(x(6), middle), clBlue);
    for (const char* label : {"radius (lambda/D)", "1.0", "0.0", "20", "Encircled energy"})
        EXPECT_NE(c.Find(label), nullptr) << label;

    for (const std::vector<double>& bad : {std::vector<double>{}, std::vector<double>{1.0}}) {
        RecordingCanvas n(460, 400);
        DrawEncircledEnergyPlot(n, bad, 0.5);
        EXPECT_NE(n.Find("Nothing to display."), nullptr);
    }
    RecordingCanvas noScale(460, 400);
    DrawEncircledEnergyPlot(noScale, fraction, 0.0);
    EXPECT_NE(noScale.Find("Nothing to display."), nullptr);
}

namespace {

// A 40 x 40 grid whose beam (radius 15 samples) holds a tilt along x.
struct TiltedBeam {
    EngineGrid grid{40, 1e-4, 15e-4, 19e-4};
    std::vector<double> values = std::vector<double>(grid.Points(), 0.0);
    explicit TiltedBeam(double peak) {
        for (int i = 0; i < grid.n; ++i)
            for (int j = 0; j < grid.n; ++j)
                if (grid.InBeam(i, j))
                    values[grid.Index(i, j)] = peak * grid.X(i) / grid.beamRadius;
    }
    BeamMapInput Input(double low, double high) const {
        BeamMapInput in;
        in.values = &values;
        in.grid = grid;
        in.low = low;
        in.high = high;
        in.title = "Screen W";
        return in;
    }
};

} // namespace

// Two maps on one scale: the same value has the same colour in both, the
// steeper tilt reaches further along the scale, x runs to the right, and
// round the beam the picture is white.
TEST(BeamMap, ColoursByTheSharedScaleWithABarInNanometres) {
    const TiltedBeam strong(400e-9), weak(100e-9);
    RecordingCanvas a(300, 260), b(300, 260);
    DrawBeamMap(a, strong.Input(-400e-9, 400e-9));
    DrawBeamMap(b, weak.Input(-400e-9, 400e-9));
    const BeamMapLayout l = LayoutBeamMap(a);
    ASSERT_EQ(l.plot.Width(), l.plot.Height());
    ASSERT_GT(l.plot.Width(), 100);
    const int cx = (l.plot.left + l.plot.right) / 2, cy = (l.plot.top + l.plot.bottom) / 2;
    const int reach = l.plot.Width() * 3 / 8; // three quarters of the beam's radius
    EXPECT_EQ(a.GetPixel(cx, cy), b.GetPixel(cx, cy));
    EXPECT_EQ(a.GetPixel(cx, cy), BeamMapColour(0.5));
    // At 3/4 of the radius to the right: 300 nm of 400 (strong), 75 (weak).
    const auto near = [](TColor got, double level) {
        for (int d = -4; d <= 4; ++d)
            if (got == BeamMapColour(level + d / 255.0))
                return true;
        return false;
    };
    EXPECT_TRUE(near(a.GetPixel(cx + reach, cy), 0.5 + 0.375));
    EXPECT_TRUE(near(b.GetPixel(cx + reach, cy), 0.5 + 0.375 / 4));
    EXPECT_TRUE(near(a.GetPixel(cx - reach, cy), 0.5 - 0.375));
    EXPECT_NE(a.GetPixel(cx + reach, cy), a.GetPixel(cx - reach, cy));
    // Along y nothing changes.
    EXPECT_EQ(a.GetPixel(cx, cy + reach), a.GetPixel(cx, cy));
    // The corners of the plot lie outside the beam.
    EXPECT_EQ(a.GetPixel(l.plot.left + 1, l.plot.top + 1), clWhite);
    EXPECT_EQ(a.GetPixel(l.plot.right - 2, l.plot.bottom - 2), clWhite);
    // The bar runs from the top of the scale down, labelled in nm.
    EXPECT_EQ(a.GetPixel(l.colourBar.left + 2, l.colourBar.top),
              BeamMapColour(1 - 0.5 / l.colourBar.Height()));
    EXPECT_EQ(a.GetPixel(l.colourBar.left + 2, l.colourBar.bottom - 1),
              BeamMapColour(0.5 / l.colourBar.Height()));
    for (const char* label : {"-400", "0", "400", "Screen W"})
        EXPECT_NE(a.Find(label), nullptr) << label;
    const DrawnText* zero = a.Find("0");
    ASSERT_NE(zero, nullptr);
    EXPECT_NEAR(zero->y + a.TextHeight("0") / 2.0, (l.colourBar.top + l.colourBar.bottom) / 2.0, 1.5);
}

TEST(BeamMap, NothingToDisplayWithoutAGridABeamOrAScale) {
    const TiltedBeam good(100e-9);
    TiltedBeam nan(100e-9);
    nan.values[nan.grid.Index(20, 20)] = std::nan("");
    const std::vector<double> shortGrid(10, 0.0);
    BeamMapInput wrongSize = good.Input(-1e-7, 1e-7);
    wrongSize.values = &shortGrid;
    BeamMapInput noBeam = good.Input(-1e-7, 1e-7);
    noBeam.grid.beamRadius = 0;
    const struct {
        const char* what;
        BeamMapInput input;
    } cases[] = {
        {"no grid", BeamMapInput{}},
        {"grid of another size", wrongSize},
        {"no beam", noBeam},
        {"not a number in the beam", nan.Input(-1e-7, 1e-7)},
        {"empty scale", good.Input(1e-7, 1e-7)},
        {"reversed scale", good.Input(1e-7, -1e-7)},
        {"infinite scale", good.Input(-1e-7, std::numeric_limits<double>::infinity())},
    };
    for (const auto& c : cases) {
        RecordingCanvas canvas(300, 260);
        DrawBeamMap(canvas, c.input);
        EXPECT_NE(canvas.Find("Nothing to display."), nullptr) << c.what;
    }
}
