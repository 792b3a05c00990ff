#include "model/pictures/ActuatorDisplayClass.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "toolkit/qt/ImageCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace ostrander;

namespace {

// An actuator description read from one ini section.
std::unique_ptr<DmActuatorInfoClass> Actuator(const std::string& keys, TColor colour = clLime,
                                              const std::string& text = "12V") {
    const IniFile ini = IniFile::FromText("[A]\nIndex=0\n" + keys);
    auto a = std::make_unique<DmActuatorInfoClass>("A", ini, ActuatorShape::Circular);
    a->VoltageColour = colour;
    a->VoltageText = text;
    return a;
}

struct Canvases {
    ImageCanvas map{600, 600};
    ImageCanvas aux{40, 200};
};

// Counts pixels of a colour inside a box.
int Count(const ImageCanvas& c, TColor colour, int x1, int y1, int x2, int y2) {
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            n += c.GetPixel(x, y) == colour;
    return n;
}

} // namespace

TEST(ActuatorDisplay, HexagonOfATwoMillimetrePadAtTenPixelsPerMicrometre) {
    Canvases c;
    auto a = Actuator("Shape=0\nDpad_m=0.002\nDpadY_m=0.002\n");
    ActuatorDisplayClass d(a.get(), 300, 300, 100000, c.map, c.aux);
    // Half-width a = 100 px; half-height h = b * sqrt(3) / 2 = 86.6 px; every
    // coordinate is x0 + k x + 0.5 truncated.
    const std::vector<std::pair<int, int>> expected = {{250, 213}, {350, 213}, {400, 300},
                                                       {350, 387}, {250, 387}, {200, 300}};
    ASSERT_EQ(d.PointCount, 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(d.Points[i].x, expected[i].first) << i;
        EXPECT_EQ(d.Points[i].y, expected[i].second) << i;
    }
    EXPECT_EQ(d.Points[2].x - d.Points[5].x, 200);
    EXPECT_DOUBLE_EQ(d.CentreX, 300.5);

    d.Paint();
    // Area 3 sqrt(3) / 2 x 100^2 = 25 981 pixels, less the outline and the texts.
    EXPECT_GT(Count(c.map, clLime, 0, 0, 600, 600), 20000);
    EXPECT_EQ(c.map.GetPixel(395, 300), clLime);
    EXPECT_EQ(c.map.GetPixel(390, 220), clWhite) << "outside the slanted edge";
    EXPECT_EQ(d.LastText, "12V");
}

TEST(ActuatorDisplay, RectangleAndRingOutlines) {
    Canvases c;
    auto rect = Actuator("Shape=1\nX=0.001\nY=-0.001\nDpad_m=0.002\nDpadY_m=0.001\n");
    ActuatorDisplayClass r(rect.get(), 300, 300, 100000, c.map, c.aux);
    ASSERT_EQ(r.PointCount, 2);
    EXPECT_EQ(r.Points[0].x, 500); // X + a
    EXPECT_EQ(r.Points[0].y, 150); // Y - b
    EXPECT_EQ(r.Points[1].x, 300); // X - a
    EXPECT_EQ(r.Points[1].y, 250); // Y + b
    r.Paint();
    EXPECT_EQ(c.map.GetPixel(400, 200), clLime);
    EXPECT_EQ(c.map.GetPixel(400, 260), clWhite);

    Canvases c2;
    auto ring = Actuator("Shape=2\nRinner=0.0005\nRouter=0.001\n", clBlue);
    ActuatorDisplayClass g(ring.get(), 300, 300, 100000, c2.map, c2.aux);
    ASSERT_EQ(g.PointCount, 4);
    g.Paint();
    EXPECT_EQ(c2.map.GetPixel(300, 225), clBlue) << "in the ring";
    EXPECT_EQ(c2.map.GetPixel(260, 300), clWhite) << "in the hole, left of the texts";
    EXPECT_EQ(c2.map.GetPixel(300, 190), clWhite) << "outside";
}

TEST(ActuatorDisplay, QuarterRingFillsOnlyItsOwnQuadrant) {
    struct Case {
        const char* name;
        double x, y; // signs choose the quadrant
        int sx, sy;
    };
    const Case cases[] = {{"right and below", 0, 0, 1, 1},
                          {"right and above", 0, -1e-6, 1, -1},
                          {"left and below", -1e-6, 0, -1, 1},
                          {"left and above", -1e-6, -1e-6, -1, -1}};
    for (const Case& q : cases) {
        SCOPED_TRACE(q.name);
        Canvases c;
        auto a = Actuator("Shape=3\nRinner=0.001\nRouter=0.002\nX=" + std::to_string(q.x) +
                              "\nY=" + std::to_string(q.y) + "\n",
                          clRed);
        a->X = q.x; // exact signs
        a->Y = q.y;
        ActuatorDisplayClass d(a.get(), 300, 300, 100000, c.map, c.aux);
        ASSERT_EQ(d.PointCount, 11);
        // Fill point at the middle radius on the diagonal: 150 * sin 45 = 106.07.
        EXPECT_EQ(d.Points[10].x, 300 + q.sx * 106);
        EXPECT_EQ(d.Points[10].y, 300 + q.sy * 106);
        d.Paint();
        // The quadrant's diagonal at radius 120 and 180 px is red; the other
        // three quadrants and the hole stay white.
        for (int r : {120, 180}) {
            const int off = int(r * std::sin(M_PI / 4));
            EXPECT_EQ(c.map.GetPixel(300 + q.sx * off, 300 + q.sy * off), clRed) << r;
            EXPECT_EQ(c.map.GetPixel(300 - q.sx * off, 300 + q.sy * off), clWhite) << r;
            EXPECT_EQ(c.map.GetPixel(300 + q.sx * off, 300 - q.sy * off), clWhite) << r;
            EXPECT_EQ(c.map.GetPixel(300 - q.sx * off, 300 - q.sy * off), clWhite) << r;
        }
        EXPECT_EQ(c.map.GetPixel(300 + q.sx * 40, 300 + q.sy * 40), clWhite) << "hole";
        EXPECT_EQ(Count(c.map, clRed, 0, 0, 600, 600) > 15000, true) << "the quarter is filled";
    }
}

TEST(ActuatorDisplay, AuxiliaryBarSitsInItsRowOfTwentyEightPixels) {
    Canvases c;
    auto a = Actuator("Auxilary=1\nY=2\n", clBlue, "5V");
    ActuatorDisplayClass d(a.get(), 300, 300, 100000, c.map, c.aux);
    EXPECT_TRUE(d.IsAuxiliary());
    EXPECT_EQ(d.AuxiliaryRow(), 2);
    EXPECT_EQ(d.DistanceTo(3, 4), 5) << "auxiliary actuators are centred at (0, 0)";
    d.Paint();
    EXPECT_EQ(c.aux.GetPixel(1, 56), clWhite);
    EXPECT_EQ(c.aux.GetPixel(1, 57), clBlack) << "top edge";
    EXPECT_EQ(c.aux.GetPixel(3, 60), clBlue);
    EXPECT_EQ(c.aux.GetPixel(1, 81), clBlack) << "bottom edge";
    EXPECT_EQ(c.aux.GetPixel(1, 82), clWhite);
    EXPECT_EQ(c.aux.GetPixel(38, 60), clWhite) << "the bar ends 2 pixels from the right";
    EXPECT_EQ(Count(c.map, clBlue, 0, 0, 600, 600), 0) << "nothing on the map";
}

TEST(ActuatorDisplay, TextIsBlackOnBrightAndWhiteOnDarkColours) {
    struct Case {
        TColor colour;
        TColor text;
    };
    for (const Case& t : {Case{clLime, clBlack}, Case{clBlue, clWhite}}) {
        SCOPED_TRACE(t.colour);
        Canvases c;
        auto a = Actuator("Shape=1\nDpad_m=0.003\nDpadY_m=0.003\n", t.colour, "88V");
        ActuatorDisplayClass d(a.get(), 300, 300, 100000, c.map, c.aux);
        EXPECT_LT(d.FontHeight, -10);
        d.Paint();
        // The voltage text stands above the centre, the label below it.
        EXPECT_GT(Count(c.map, t.text, 200, d.VoltageY, 400, 300), 10);
        EXPECT_GT(Count(c.map, t.text, 200, 300, 400, 300 - d.FontHeight), 3);
    }
}

TEST(ActuatorDisplay, DrawsNothingWithoutShapeTextOrDescription) {
    struct Case {
        const char* name;
        std::string keys;
        std::string text;
    };
    const Case cases[] = {{"unknown shape", "Shape=5\nDpad_m=0.002\nDpadY_m=0.002\n", "1V"},
                          {"negative shape", "Shape=-1\nDpad_m=0.002\nDpadY_m=0.002\n", "1V"},
                          {"empty voltage text", "Shape=1\nDpad_m=0.002\nDpadY_m=0.002\n", ""}};
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        Canvases c;
        auto a = Actuator(t.keys, clRed, t.text);
        ActuatorDisplayClass d(a.get(), 300, 300, 100000, c.map, c.aux);
        d.Paint();
        EXPECT_EQ(Count(c.map, clWhite, 0, 0, 600, 600), 600 * 600);
    }
    Canvases c;
    ActuatorDisplayClass none(nullptr, 300, 300, 100000, c.map, c.aux);
    none.Paint();
    EXPECT_EQ(none.PointCount, 0);
}

TEST(ActuatorDisplay, TinyPadsGetTheSmallestFontAndNoText) {
    Canvases c;
    auto a = Actuator("Shape=1\nDpad_m=0.002\nDpadY_m=0.002\n", clBlue, "100V");
    ActuatorDisplayClass d(a.get(), 300, 300, 1000, c.map, c.aux); // a 2-pixel pad
    EXPECT_EQ(d.FontHeight, -1);
    d.Paint();
    EXPECT_EQ(Count(c.map, clBlack, 0, 0, 600, 600), 4) << "only the 2 x 2 outline";
}
