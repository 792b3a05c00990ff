#include "model/pictures/SurfaceImages.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "tests/model/pictures/RecordingCanvas.h"
#include "tests/model/pictures/TestGrid.h"
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ostrander;

namespace {

constexpr int kW = 309, kH = 335;
// Cell size of the design picture with a 100 x 100 grid.
constexpr double kCw = (kW - 2.0) / 101, kCh = (kH - 2.0) / 101;

// A round 15 mm mirror with a 30 um gap and no actuators.
MirrorDrawing RoundMirror() {
    MirrorDrawing m;
    m.Diameter_m = 0.015;
    m.Separation_m = 30e-6;
    return m;
}

// Middle pixel of the cell of sample (i, j).
Point CellCentre(int i, int j) {
    const int left = static_cast<int>(i * kCw + 1), right = static_cast<int>((i + 1) * kCw + 1);
    const int top = static_cast<int>(j * kCh), bottom = static_cast<int>((j + 1) * kCh);
    return {(left + right) / 2, (top + bottom) / 2};
}

TColor CellColor(const ImageCanvas& c, int i, int j) {
    const Point p = CellCentre(i, j);
    return c.GetPixel(p.x, p.y);
}

using Picture = GridRange (*)(Canvas&, const SurfaceGrid&, const MirrorDrawing&);

// Bounding box of the pixels of one colour.
Rect BoundsOf(const ImageCanvas& c, TColor color) {
    Rect r{c.Width(), c.Height(), -1, -1};
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.GetPixel(x, y) == color) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

} // namespace

TEST(SurfaceImage, SingleDifferingSampleSpansTheWholeHotScale) {
    struct Case {
        double sample;
        TColor cell, rest;
    } cases[] = {
        {1e-6, clWhite, clBlack},
        {-1e-6, clBlack, clWhite},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sample);
        TestGrid g(100, 0.0);
        g[20][30] = k.sample;
        ImageCanvas c(kW, kH);
        const GridRange r = DrawSurfaceImage(c, {g.Rows(), 100}, RoundMirror());
        EXPECT_TRUE(r.finite);
        EXPECT_EQ(CellColor(c, 20, 30), k.cell);
        EXPECT_EQ(CellColor(c, 70, 60), k.rest);
        EXPECT_EQ(CellColor(c, 21, 30), k.rest);
        EXPECT_EQ(CellColor(c, 20, 29), k.rest);
    }
}

TEST(SurfaceImage, CellsFollowTheHotScaleInBetween) {
    TestGrid g(100, 0.0);
    g[10][10] = 1.0;
    g[40][20] = 128.0 / 255.0 + 1e-9;
    ImageCanvas c(kW, kH);
    DrawSurfaceImage(c, {g.Rows(), 100}, RoundMirror());
    // Level 128 of 255 is (255, 128, 0).
    EXPECT_EQ(CellColor(c, 40, 20), RGBColor(255, 128, 0));
}

TEST(Interferogram, QuarterWaveIsDarkAndHalfWaveBright) {
    TestGrid g(100, 0.0);
    g[20][30] = 0.266e-6;
    g[70][40] = 0.532e-6;
    g[50][50] = 0.133e-6;
    ImageCanvas c(kW, kH);
    EXPECT_TRUE(DrawInterferogram(c, {g.Rows(), 100}, RoundMirror()).finite);
    EXPECT_EQ(CellColor(c, 20, 30), clBlack);
    EXPECT_GE(RedOf(CellColor(c, 70, 40)), 254);
    EXPECT_EQ(CellColor(c, 60, 60), clWhite);
    // An eighth of a wave: cos^2(pi/4) = 1/2.
    EXPECT_EQ(CellColor(c, 50, 50), RGBColor(127, 127, 127));
}

TEST(SurfacePictures, PeakToValleyLabelMarksSnapDown) {
    struct Case {
        double separation;
        const char* text;
    } cases[] = {{7e-6, "PV(um):2.500E00 (snap-down)"}, {8e-6, "PV(um):2.500E00"}};
    for (Picture draw : {&DrawSurfaceImage, &DrawInterferogram})
        for (const Case& k : cases) {
            SCOPED_TRACE(k.text);
            TestGrid g(100, 0.0);
            g[50][50] = -2.5e-6;
            MirrorDrawing m = RoundMirror();
            m.Separation_m = k.separation;
            RecordingCanvas c(kW, kH);
            draw(c, {g.Rows(), 100}, m);
            const DrawnText* pv = c.Find("PV(um):");
            ASSERT_NE(pv, nullptr);
            EXPECT_EQ(pv->text, k.text);
            EXPECT_EQ(pv->x, 1);
            EXPECT_EQ(pv->y, 1);
            EXPECT_EQ(pv->color, 0x888888);
            EXPECT_FALSE(pv->solidBrush);
            const DrawnText* mark = c.Find("Brendimor");
            ASSERT_NE(mark, nullptr);
            EXPECT_EQ(mark->y, kH - kH / 20 - 1);
            EXPECT_EQ(c.GetPixel(0, 100), clBlack);
            EXPECT_EQ(c.GetPixel(kW - 1, 100), clBlack);
        }
}

// The snap-down warning stands over the hottest colours of the map: it has a
// box of its own, so only the label's greys lie under it.
TEST(SurfacePictures, SnapDownLabelReadsOnAnyColour) {
    for (Picture draw : {&DrawSurfaceImage, &DrawInterferogram}) {
        TestGrid g(100, -2.5e-6);
        g[50][50] = 0.0; // everything but one cell at the bottom of the scale
        MirrorDrawing m = RoundMirror();
        m.Separation_m = 7e-6;
        m.SnapDown = true;
        RecordingCanvas c(kW, kH);
        draw(c, {g.Rows(), 100}, m);
        const DrawnText* pv = c.Find("PV(um):");
        ASSERT_NE(pv, nullptr);
        ASSERT_TRUE(pv->text.ends_with(" (snap-down)"));
        c.SetFontSize(12);
        const int w = c.TextWidth(pv->text), h = c.TextHeight(pv->text);
        int coloured = 0, white = 0;
        for (int y = pv->y; y < pv->y + h; ++y)
            for (int x = pv->x; x < pv->x + w; ++x) {
                const TColor p = c.GetPixel(x, y);
                coloured += RedOf(p) != GreenOf(p) || GreenOf(p) != BlueOf(p);
                white += p == clWhite;
            }
        EXPECT_EQ(coloured, 0);
        EXPECT_GT(white, w * h / 2);
    }
}

TEST(SurfacePictures, SquareMirrorHasARectangleAndARoundOneATallEllipse) {
    TestGrid g(100, 0.0);
    g[3][3] = -1e-6; // keeps the cells white away from the corner
    for (bool square : {false, true}) {
        SCOPED_TRACE(square);
        MirrorDrawing m = RoundMirror();
        m.Square = square;
        ImageCanvas c(kW, kH);
        DrawInterferogram(c, {g.Rows(), 100}, m);
        // Box: centre (154, 167) +- 47.5 samples of 3.04 x 3.30 pixels.
        const Rect red = BoundsOf(c, clRed);
        EXPECT_EQ(red.left, 9);
        EXPECT_EQ(red.top, 10);
        EXPECT_EQ(red.right, 298);
        EXPECT_EQ(red.bottom, 323);
        EXPECT_GT(red.Height(), red.Width());
        EXPECT_EQ(c.GetPixel(9, 10) == clRed, square);
        EXPECT_EQ(c.GetPixel(297, 322) == clRed, square);
    }
}

TEST(SurfacePictures, ActuatorOutlinesAndLabelsForEachShape) {
    MirrorDrawing::Actuator circle{true, 0.0031, -0.0021, 0, 0, 0.002, 0};
    MirrorDrawing::Actuator rectangle{true, -0.004, 0.0025, 0, 0, 0.003, 0.0015};
    MirrorDrawing::Actuator ring{true, 0.001, 0.001, 0.002, 0.004, 0.001, 0};
    struct Case {
        const char* name;
        int type;
        MirrorDrawing::Actuator actuator;
        std::vector<DrawnShape> shapes;
        Point label;
    } cases[] = {
        {"circle", 0, circle, {{DrawnShape::Ellipse, {194, 103, 232, 142}}}, {194, 142}},
        {"unknown code draws a circle",
         7,
         circle,
         {{DrawnShape::Ellipse, {194, 103, 232, 142}}},
         {194, 142}},
        {"rectangle", 1, rectangle, {{DrawnShape::Rectangle, {48, 204, 105, 233}}}, {48, 233}},
        {"ring about the mirror centre",
         2,
         ring,
         {{DrawnShape::Ellipse, {115, 128, 192, 205}}, {DrawnShape::Ellipse, {76, 89, 231, 244}}},
         {144, 176}},
    };
    TestGrid g(100, 0.0);
    g[3][3] = -1e-6;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        MirrorDrawing m = RoundMirror();
        m.ActuatorType = k.type;
        m.actuators = {k.actuator};
        RecordingCanvas c(kW, kH);
        c.recordShapes = true;
        DrawSurfaceImage(c, {g.Rows(), 100}, m);
        const std::vector<DrawnShape> blue = c.ShapesIn(clBlue);
        ASSERT_EQ(blue.size(), k.shapes.size());
        for (std::size_t n = 0; n < blue.size(); ++n) {
            EXPECT_EQ(blue[n].kind, k.shapes[n].kind);
            EXPECT_EQ(blue[n].box.left, k.shapes[n].box.left);
            EXPECT_EQ(blue[n].box.top, k.shapes[n].box.top);
            EXPECT_EQ(blue[n].box.right, k.shapes[n].box.right);
            EXPECT_EQ(blue[n].box.bottom, k.shapes[n].box.bottom);
        }
        const DrawnText* label = c.Find("1");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text, "1");
        EXPECT_EQ(label->x, k.label.x);
        EXPECT_EQ(label->y, k.label.y);
        EXPECT_EQ(label->color, clLime);
        EXPECT_FALSE(label->solidBrush);
    }
}

TEST(SurfacePictures, QuarterRingsDrawCirclesPerGroupAndGapsRightBelowLeftAbove) {
    MirrorDrawing m = RoundMirror();
    m.ActuatorType = 3;
    m.QuarterRingGap_m = 0.0004;
    for (int k = 0; k < 8; ++k)
        m.actuators.push_back({true, 0.0045, 0.0, 0.003, 0.006, 0.001, 0.0});
    TestGrid g(100, 0.0);
    g[3][3] = -1e-6;
    RecordingCanvas c(kW, kH);
    c.recordShapes = true;
    DrawInterferogram(c, {g.Rows(), 100}, m);

    const Rect gaps[4] = {
        {211, 162, 269, 171}, // right
        {150, 229, 157, 292}, // below
        {38, 162, 96, 171},   // left
        {150, 41, 157, 104},  // above
    };
    const Rect inner{96, 104, 211, 229};
    std::vector<DrawnShape> blue = c.ShapesIn(clBlue);
    ASSERT_EQ(blue.size(), 12u);
    for (int group = 0; group < 2; ++group) {
        SCOPED_TRACE(group);
        const DrawnShape* s = &blue[group * 6];
        EXPECT_EQ(s[0].kind, DrawnShape::Ellipse);
        EXPECT_EQ(s[0].box.left, inner.left);
        EXPECT_EQ(s[0].box.top, inner.top);
        EXPECT_EQ(s[0].box.right, inner.right);
        EXPECT_EQ(s[0].box.bottom, inner.bottom);
        EXPECT_EQ(s[1].kind, DrawnShape::Ellipse);
        for (int q = 0; q < 4; ++q) {
            SCOPED_TRACE(q);
            EXPECT_EQ(s[2 + q].kind, DrawnShape::Rectangle);
            EXPECT_EQ(s[2 + q].box.left, gaps[q].left);
            EXPECT_EQ(s[2 + q].box.top, gaps[q].top);
            EXPECT_EQ(s[2 + q].box.right, gaps[q].right);
            EXPECT_EQ(s[2 + q].box.bottom, gaps[q].bottom);
        }
    }
    const DrawnText* label = c.Find("8");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->x, 211);
    EXPECT_EQ(label->y, 138);
}

TEST(SurfacePictures, DisplayNumbersWithoutAnActuatorAreSkipped) {
    MirrorDrawing m = RoundMirror();
    m.actuators.resize(3);
    m.actuators[0] = {true, 0.002, 0.0, 0, 0, 0.001, 0};
    m.actuators[2] = {true, -0.002, 0.0, 0, 0, 0.001, 0};
    TestGrid g(100, 0.0);
    g[3][3] = -1e-6;
    RecordingCanvas c(kW, kH);
    c.recordShapes = true;
    DrawSurfaceImage(c, {g.Rows(), 100}, m);
    EXPECT_EQ(c.ShapesIn(clBlue).size(), 2u);
    EXPECT_NE(c.Find("1"), nullptr);
    EXPECT_EQ(c.Find("2"), nullptr);
    EXPECT_NE(c.Find("3"), nullptr);
}

TEST(SurfacePictures, ProfilesOnlyOnTheSurfaceImage) {
    TestGrid g(100);
    g.Fill([](int i, int j) {
        return -1e-6 * std::exp(-((i - 50) * (i - 50) + (j - 45) * (j - 45)) / 200.0);
    });
    ImageCanvas surface(kW, kH), fringes(kW, kH);
    DrawSurfaceImage(surface, {g.Rows(), 100}, RoundMirror());
    DrawInterferogram(fringes, {g.Rows(), 100}, RoundMirror());
    EXPECT_EQ(BoundsOf(fringes, clFuchsia).right, -1);
    const Rect magenta = BoundsOf(surface, clFuchsia);
    // The vertical profile dips to the left edge at the bottom of the bump,
    // the horizontal one rises to the top edge.
    EXPECT_LE(magenta.left, 1);
    EXPECT_LE(magenta.top, 2);
    // The horizontal profile meets the bottom of the bump in the middle column.
    const int x50 = static_cast<int>(50 * kCw);
    const int y50 = static_cast<int>(kH - kH * (1.0 - std::exp(-25.0 / 200.0)));
    EXPECT_EQ(surface.GetPixel(x50, y50), clFuchsia);
}

TEST(SurfacePictures, MissingFlatOrNonFiniteSurfacesShowNothingToDisplay) {
    TestGrid flat(100, 1e-7);
    TestGrid broken(100, 0.0);
    broken[40][40] = std::nan("");
    struct Case {
        const char* name;
        SurfaceGrid grid;
    } cases[] = {
        {"no grid", {nullptr, 100}},
        {"no samples", {flat.Rows(), 0}},
        {"flat", {flat.Rows(), 100}},
        {"NaN", {broken.Rows(), 100}},
    };
    for (Picture draw : {&DrawSurfaceImage, &DrawInterferogram})
        for (const Case& k : cases) {
            SCOPED_TRACE(k.name);
            RecordingCanvas c(kW, kH);
            draw(c, k.grid, RoundMirror());
            ASSERT_EQ(c.texts.size(), 1u);
            EXPECT_EQ(c.texts[0].text, "Nothing to display.");
            EXPECT_EQ(c.texts[0].color, clRed);
        }
}

TEST(MirrorDrawing, TakesTheModelByDisplayNumberAndLeavesAuxiliariesOut) {
    // Two sections carry display number 2: lookups take the first in list
    // order, that is the last in the file. Number 3 has no actuator; the
    // membrane electrode (number 4) is auxiliary.
    const IniFile ini = IniFile::FromText("[DM Model]\n"
                                          "Diameter_m=0.02\nSeparation_m=4e-5\nSquare=1\n"
                                          "Actuators=4\nActuatorType_circ_rect_ring=1\n"
                                          "QuarterRingGap_m=0.0003\n"
                                          "[A]\nIndex=0\nX=0.001\nY=-0.002\nDpad_m=0.003\n"
                                          "DpadY_m=0.001\n"
                                          "[B]\nIndex=1\nX=0.004\nDcontact_m=0.002\n"
                                          "[C]\nIndex=2\nDisplayIndex=2\nX=0.005\nRinner=0.001\n"
                                          "Router=0.002\n"
                                          "[Membrane]\nIndex=3\nAuxilary=1\nSurface=1\n");
    DMInfoClass model;
    ASSERT_TRUE(model.Load(ini));
    const MirrorDrawing m = MirrorDrawingFrom(model);
    EXPECT_EQ(m.Diameter_m, 0.02);
    EXPECT_EQ(m.Separation_m, 4e-5);
    EXPECT_TRUE(m.Square);
    EXPECT_EQ(m.ActuatorType, 1);
    EXPECT_EQ(m.QuarterRingGap_m, 0.0003);
    ASSERT_EQ(m.actuators.size(), 4u);
    EXPECT_TRUE(m.actuators[0].present);
    EXPECT_EQ(m.actuators[0].X, 0.001);
    EXPECT_EQ(m.actuators[0].Y, -0.002);
    EXPECT_EQ(m.actuators[0].Dcontact_m, 0.003);
    EXPECT_EQ(m.actuators[0].DcontactY_m, 0.001);
    EXPECT_TRUE(m.actuators[1].present);
    EXPECT_EQ(m.actuators[1].X, 0.005);
    EXPECT_EQ(m.actuators[1].Rinner, 0.001);
    EXPECT_EQ(m.actuators[1].Router, 0.002);
    EXPECT_FALSE(m.actuators[2].present);
    EXPECT_FALSE(m.actuators[3].present);
}

TEST(MirrorDrawing, AnAbsurdActuatorCountOnlyReachesTheNumbersInUse) {
    const IniFile ini = IniFile::FromText("[DM Model]\nDiameter_m=0.02\nActuators=2000000000\n"
                                          "[A]\nIndex=0\nDpad_m=0.001\n"
                                          "[B]\nIndex=1\nDisplayIndex=7\nDpad_m=0.001\n"
                                          "[C]\nIndex=2\nDisplayIndex=-5\n");
    DMInfoClass model;
    ASSERT_TRUE(model.Load(ini));
    const MirrorDrawing m = MirrorDrawingFrom(model);
    ASSERT_EQ(m.actuators.size(), 7u);
    EXPECT_TRUE(m.actuators[0].present);
    EXPECT_TRUE(m.actuators[6].present);
    EXPECT_FALSE(m.actuators[3].present);
}

// A canvas that keeps its fixed layers draws, pass after pass, the pixels of
// one that draws everything: with other surfaces (the layer written again),
// at another pixel ratio, and after an actuator has moved (drawn anew).
TEST(SurfacePictures, KeptLayersGiveThePixelsOfAFullDrawing) {
    struct Case {
        const char* name;
        int type;
        MirrorDrawing::Actuator actuator;
    } cases[] = {
        {"circles", 0, {true, 0.0031, -0.0021, 0, 0, 0.002, 0}},
        {"rectangles", 1, {true, -0.004, 0.0025, 0, 0, 0.003, 0.0015}},
        {"rings", 2, {true, 0.001, 0.001, 0.002, 0.004, 0.001, 0}},
        {"quarter rings", 3, {true, 0.0045, 0.0, 0.003, 0.006, 0.001, 0.0}},
    };
    const Picture pictures[] = {DrawSurfaceImage, DrawInterferogram};
    for (const Case& k : cases)
        for (double ratio : {1.0, 2.0})
            for (Picture picture : pictures) {
                SCOPED_TRACE(std::string(k.name) + " at ratio " + std::to_string(ratio) +
                             (picture == pictures[0] ? ", surface" : ", interferogram"));
                MirrorDrawing m = RoundMirror();
                m.ActuatorType = k.type;
                m.QuarterRingGap_m = 0.0004;
                for (int n = 0; n < 4; ++n)
                    m.actuators.push_back(k.actuator);
                ImageCanvas kept(kW, kH, ratio);
                kept.KeepLayers(true);
                for (int pass = 0; pass < 4; ++pass) {
                    SCOPED_TRACE(pass);
                    // The third pass moves an actuator: its outline moves too.
                    if (pass == 2)
                        m.actuators[1].X += 0.001;
                    TestGrid g(100, 0.0);
                    g.Fill([pass](int i, int j) { return -1e-7 * ((i + pass) % 7) * (j % 5); });
                    ImageCanvas full(kW, kH, ratio);
                    picture(full, {g.Rows(), 100}, m);
                    picture(kept, {g.Rows(), 100}, m);
                    EXPECT_TRUE(kept.Image() == full.Image());
                    EXPECT_EQ(kept.PenColor(), full.PenColor());
                    EXPECT_EQ(kept.FontName(), full.FontName());
                }
                // Recorded on the first pass and after the move, found on the others.
                EXPECT_LE(kept.LayersRecorded(), 4);
            }
}
