#include "model/pictures/PictureCommon.h"

#include "tests/model/pictures/RecordingCanvas.h"
#include "tests/model/pictures/TestGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ostrander;

TEST(PictureCommon, PixelOfTruncatesTowardZeroAndNeverConvertsNonFiniteValues) {
    struct Case {
        double value;
        int pixel;
    } cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {0.0, 0},
        {std::nan(""), 0},
        {std::numeric_limits<double>::infinity(), 0},
        {-std::numeric_limits<double>::infinity(), 0},
        {1e300, 32767},
        {-1e300, -32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(PixelOf(c.value), c.pixel);
    }
}

TEST(PictureCommon, PeakToValleyTextMarksSnapDownAboveAThirdOfTheGap) {
    struct Case {
        double pv, separation;
        const char* text;
    } cases[] = {
        {2.5e-6, 7e-6, "PV(um):2.500E00 (snap-down)"},
        {2.5e-6, 8e-6, "PV(um):2.500E00"},
        {1.2346e-7, 70e-6, "PV(um):1.235E-01"},
        {12.5e-6, 70e-6, "PV(um):1.250E01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PeakToValleyText(c.pv, c.separation), c.text);
    }
}

TEST(PictureCommon, ScanGridFindsExtremesAndRejectsMissingOrNonFiniteGrids) {
    TestGrid g(4, 1.0);
    g[3][2] = -2.0;
    g[0][3] = 5.0;
    GridRange r = ScanGrid(g.Rows(), 4);
    EXPECT_TRUE(r.finite);
    EXPECT_EQ(r.min, -2.0);
    EXPECT_EQ(r.max, 5.0);

    EXPECT_FALSE(ScanGrid(nullptr, 4).finite);
    EXPECT_FALSE(ScanGrid(g.Rows(), 0).finite);
    g[2][2] = std::nan("");
    EXPECT_FALSE(ScanGrid(g.Rows(), 4).finite);
    g[2][2] = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(ScanGrid(g.Rows(), 4).finite);
}

TEST(PictureCommon, NothingToDisplayIsRedTextOnAFramedWhiteCanvas) {
    RecordingCanvas c(120, 80);
    c.Image().fill(Qt::green);
    DrawNothingToDisplay(c);
    ASSERT_EQ(c.texts.size(), 1u);
    EXPECT_EQ(c.texts[0].text, "Nothing to display.");
    EXPECT_EQ(c.texts[0].x, 1);
    EXPECT_EQ(c.texts[0].y, 1);
    EXPECT_EQ(c.texts[0].color, clRed);
    EXPECT_EQ(c.FontSize(), 12);
    EXPECT_EQ(c.GetPixel(0, 0), clBlack);
    EXPECT_EQ(c.GetPixel(119, 79), clBlack);
    EXPECT_EQ(c.GetPixel(100, 60), clWhite);
}

TEST(PictureCommon, MakersMarkSitsAtTheLowerLeftAndRestoresTheFont) {
    RecordingCanvas c(309, 335);
    c.SetFontName("MS Sans Serif");
    c.SetFontHeight(-11);
    DrawMakersMark(c);
    ASSERT_EQ(c.texts.size(), 1u);
    const DrawnText& t = c.texts[0];
    EXPECT_EQ(t.text, "Brendimor");
    EXPECT_EQ(t.fontName, "Impact");
    EXPECT_EQ(t.fontStyle, fsItalic);
    EXPECT_EQ(t.fontHeight, 16);
    EXPECT_EQ(t.color, 0x580800);
    EXPECT_EQ(t.x, 1);
    EXPECT_EQ(t.y, 335 - 16 - 1);
    EXPECT_TRUE(t.solidBrush);
    EXPECT_EQ(c.FontName(), "MS Sans Serif");
    EXPECT_EQ(c.GetFontStyle(), fsNone);
    EXPECT_EQ(c.FontHeight(), -11); // the next pass's texts keep their size
}

TEST(PictureCommon, FrameOutlinesTheCanvasAndKeepsItsInside) {
    ImageCanvas c(50, 40);
    c.Image().fill(Qt::yellow);
    DrawFrame(c);
    EXPECT_EQ(c.GetPixel(0, 20), clBlack);
    EXPECT_EQ(c.GetPixel(49, 20), clBlack);
    EXPECT_EQ(c.GetPixel(25, 0), clBlack);
    EXPECT_EQ(c.GetPixel(25, 39), clBlack);
    EXPECT_EQ(c.GetPixel(25, 20), clYellow);
    EXPECT_EQ(c.GetBrushStyle(), BrushStyle::Solid);
}
