// The colour keys beside the window's pictures: that each key's colours
// are the picture's own for the values it labels, and the ticks of a scale.
#include "model/pictures/PictureColourBars.h"

#include "model/pictures/AnalysisPictures.h"
#include "model/pictures/SurfaceImages.h"
#include "tests/model/pictures/RecordingCanvas.h"
#include "tests/model/pictures/TestGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace ostrander;

namespace {

constexpr int kW = 309, kH = 335, kN = 100;

// Middle pixel of the cell of sample (i, j) in a kW x kH picture.
TColor CellColour(const ImageCanvas& c, int i, int j) {
    const double cw = (kW - 2.0) / (kN + 1), ch = (kH - 2.0) / (kN + 1);
    const int x = (static_cast<int>(i * cw + 1) + static_cast<int>((i + 1) * cw + 1)) / 2;
    const int y = (static_cast<int>(j * ch) + static_cast<int>((j + 1) * ch)) / 2;
    return c.GetPixel(x, y);
}

// The key's colour at `level` or within a step of 1/255 of it (the pictures
// and the key round their levels at different places).
bool KeyColourNear(const PictureColourBar& bar, double level, TColor got) {
    for (const double d : {0.0, -1.0 / 255, 1.0 / 255})
        if (bar.colour(level + d) == got)
            return true;
    return false;
}

// A surface rising along x from -0.3 um to 0.9 um, samples away from the
// actuators' outlines (a mirror without actuators).
void FillRamp(TestGrid& g) {
    g.Fill([](int i, int) { return (-0.3 + 1.2 * i / (kN - 1)) * 1e-6; });
}

MirrorDrawing BareMirror() {
    MirrorDrawing m;
    m.Diameter_m = 0.015;
    m.Separation_m = 30e-6;
    return m;
}

} // namespace

// Every cell of the surface map and of the interferogram has the colour its
// key gives the cell's height: the surface over the map's own extremes in
// um, the interferogram over one fringe of half a wavelength.
TEST(PictureColourBars, EachKeyGivesThePicturesOwnColours) {
    TestGrid g(kN);
    FillRamp(g);
    ImageCanvas surface(kW, kH), fringes(kW, kH);
    const GridRange range = DrawSurfaceImage(surface, {g.Rows(), kN}, BareMirror());
    DrawInterferogram(fringes, {g.Rows(), kN}, BareMirror());

    const PictureColourBar surfaceKey = SurfaceColourBar(range);
    ASSERT_NE(surfaceKey.colour, nullptr);
    EXPECT_EQ(surfaceKey.unit, "um");
    EXPECT_NEAR(surfaceKey.low, -0.3, 1e-9);
    EXPECT_NEAR(surfaceKey.high, 0.9, 1e-9);
    const PictureColourBar fringeKey = FringeColourBar(kInterferogramWavelength);
    EXPECT_EQ(fringeKey.unit, "nm");
    EXPECT_DOUBLE_EQ(fringeKey.low, 0.0);
    EXPECT_DOUBLE_EQ(fringeKey.high, 532.0);

    for (int i = 2; i < kN - 2; i += 3) {
        const double um = g[i][kN / 3] * 1e6;
        const double surfaceLevel = (um - surfaceKey.low) / (surfaceKey.high - surfaceKey.low);
        EXPECT_TRUE(KeyColourNear(surfaceKey, surfaceLevel, CellColour(surface, i, kN / 3)))
            << "surface sample " << i << " at " << um << " um";
        const double nm = std::fmod(um * 1000 + 5320, fringeKey.high);
        EXPECT_TRUE(KeyColourNear(fringeKey, nm / fringeKey.high, CellColour(fringes, i, kN / 3)))
            << "fringe sample " << i << " at " << um << " um";
    }
}

// The far field's key runs from black (no light) to white (the peak), as
// its grey levels, intensity x 255 / peak, do; the keys of a wavelength
// that cannot be used fall back to the interferogram's.
TEST(PictureColourBars, FarFieldAndFallbacks) {
    const PictureColourBar far = FarFieldColourBar();
    EXPECT_EQ(far.colour(0.0), clBlack);
    EXPECT_EQ(far.colour(1.0), clWhite);
    EXPECT_EQ(far.colour(0.5), RGBColor(127, 127, 127)); // 127.5 cut, as the picture cuts it
    EXPECT_DOUBLE_EQ(far.low, 0.0);
    EXPECT_DOUBLE_EQ(far.high, 1.0);
    for (const double bad : {0.0, -1e-6, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()})
        EXPECT_DOUBLE_EQ(FringeColourBar(bad).high, 532.0) << bad;
    EXPECT_DOUBLE_EQ(FringeColourBar(633e-9).high, 316.5);
    // No key for a flat or unknown surface.
    EXPECT_EQ(SurfaceColourBar({true, 1e-6, 1e-6}).colour, nullptr);
    EXPECT_EQ(SurfaceColourBar({false, 0.0, 1e-6}).colour, nullptr);
}

TEST(LinearScaleTicks, RoundValuesFromTheBottomUpInsideTheBar) {
    const struct {
        double low, high;
        int height;
        std::vector<std::string> labels; // bottom to top
    } cases[] = {
        {0.0, 1.0, 100, {"0", "0.2", "0.4", "0.6", "0.8", "1"}},
        {-0.2, 0.6, 200, {"-0.2", "0", "0.2", "0.4", "0.6"}},
        {-0.37, 0.81, 200, {"0", "0.5"}},
        {0.0, 532.0, 300, {"0", "200", "400"}},
        {-1234.0, -1100.0, 50, {"-1200", "-1150", "-1100"}},
        {1.0, 1.0, 100, {}},
        {2.0, 1.0, 100, {}},
        {0.0, std::numeric_limits<double>::quiet_NaN(), 100, {}},
        {0.0, 1.0, 0, {}},
    };
    for (const auto& c : cases) {
        const std::vector<ColourBarTick> ticks = LinearScaleTicks(c.low, c.high, c.height);
        std::vector<std::string> labels;
        int last = c.height + 1;
        for (const ColourBarTick& t : ticks) {
            labels.push_back(t.text);
            EXPECT_GE(t.below, 0);
            EXPECT_LE(t.below, c.height);
            EXPECT_LT(t.below, last) << "ticks go up the bar";
            last = t.below;
            // Each tick sits where its value lies on the bar.
            EXPECT_NEAR(t.below, (c.high - std::stod(t.text)) / (c.high - c.low) * c.height, 0.51);
        }
        EXPECT_EQ(labels, c.labels) << c.low << " .. " << c.high;
    }
}

// The strip: the unit on top, the bar with the scale's top colour at its top
// and labels at round values; blank without a scale.
TEST(PictureColourBars, TheStripShowsUnitBarAndLabelsOrNothing) {
    RecordingCanvas strip(kColourBarStripWidth, 335);
    const PictureColourBar key = SurfaceColourBar({true, -0.2e-6, 0.6e-6});
    DrawPictureColourBar(strip, key, 10, 320);
    const Rect bar = ColourBarPlace(strip, 10, 320);
    ASSERT_GT(bar.Height(), 250);
    EXPECT_LE(bar.bottom, 320);
    ASSERT_NE(strip.Find("um"), nullptr);
    EXPECT_LT(strip.Find("um")->y + strip.TextHeight("um"), bar.top);
    for (const char* label : {"-0.2", "0", "0.2", "0.4", "0.6"})
        EXPECT_NE(strip.Find(label), nullptr) << label;
    EXPECT_EQ(strip.GetPixel(bar.left + 2, bar.top), BeamMapColour(1 - 0.5 / bar.Height()));
    EXPECT_EQ(strip.GetPixel(bar.left + 2, bar.bottom - 1), BeamMapColour(0.5 / bar.Height()));
    // Every label stays on the strip.
    for (const DrawnText& t : strip.texts)
        EXPECT_LE(t.x + strip.TextWidth(t.text), strip.Width()) << t.text;

    RecordingCanvas blank(kColourBarStripWidth, 335);
    DrawPictureColourBar(blank, SurfaceColourBar({true, 1e-6, 1e-6}), 10, 320);
    EXPECT_TRUE(blank.texts.empty());
    for (int y = 0; y < blank.Height(); y += 7)
        for (int x = 0; x < blank.Width(); x += 3)
            ASSERT_EQ(blank.GetPixel(x, y), clWhite) << x << "," << y;
}
