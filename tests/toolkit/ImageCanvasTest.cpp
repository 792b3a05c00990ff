#include "toolkit/qt/ImageCanvas.h"

#include <QApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <set>

using namespace ostrander;

namespace {

// Pixels of colour c within the canvas.
int Count(const ImageCanvas& canvas, TColor c) {
    int n = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            n += canvas.GetPixel(x, y) == c;
    return n;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // inclusive
    bool empty() const { return right < 0; }
};

// Bounding box of the pixels that differ from `background`.
Box Drawn(const ImageCanvas& canvas, TColor background = clWhite) {
    Box b;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.GetPixel(x, y) != background) {
                b.left = std::min(b.left, x);
                b.top = std::min(b.top, y);
                b.right = std::max(b.right, x);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

std::set<TColor> Colours(const ImageCanvas& canvas) {
    std::set<TColor> s;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            s.insert(canvas.GetPixel(x, y));
    return s;
}

} // namespace

TEST(ImageCanvas, RectangleCoversExactlyItsBoxWithExclusiveEdges) {
    struct Case {
        const char* name;
        int x1, y1, x2, y2;
        BrushStyle brush;
    };
    const Case cases[] = {
        {"solid", 0, 0, 10, 10, BrushStyle::Solid},
        {"clear", 0, 0, 10, 10, BrushStyle::Clear},
        {"corners given in reverse", 10, 10, 0, 0, BrushStyle::Solid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageCanvas canvas(20, 20);
        canvas.SetPenColor(clRed);
        canvas.SetBrushColor(clBlue);
        canvas.SetBrushStyle(c.brush);
        canvas.Rectangle(c.x1, c.y1, c.x2, c.y2);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                TColor expected = clWhite;
                if (x < 10 && y < 10)
                    expected = (x == 0 || y == 0 || x == 9 || y == 9) ? clRed
                               : c.brush == BrushStyle::Solid         ? clBlue
                                                                      : clWhite;
                ASSERT_EQ(canvas.GetPixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(ImageCanvas, RectangleEdgeCases) {
    ImageCanvas canvas(20, 20);
    canvas.SetPenColor(clRed);
    canvas.SetBrushColor(clBlue);
    canvas.Rectangle(5, 5, 5, 9); // no width: nothing
    EXPECT_TRUE(Drawn(canvas).empty());
    canvas.Rectangle(-5, -5, 3, 3);         // clipped at the canvas edge
    EXPECT_EQ(Count(canvas, clRed), 3 + 2); // only the right and bottom edges show
    EXPECT_EQ(canvas.GetPixel(0, 0), clBlue);

    ImageCanvas wide(20, 20);
    wide.SetPenColor(clRed);
    wide.SetBrushColor(clBlue);
    wide.SetPenWidth(2);
    wide.Rectangle(0, 0, 10, 10);
    EXPECT_EQ(Count(wide, clRed), 100 - 36);
    EXPECT_EQ(Count(wide, clBlue), 36);
}

TEST(ImageCanvas, FillRectAndPixels) {
    ImageCanvas canvas(10, 10);
    canvas.SetBrushColor(clLime);
    canvas.SetPenColor(clRed);
    canvas.FillRect({2, 3, 5, 7});
    EXPECT_EQ(Count(canvas, clLime), 3 * 4);
    Box b = Drawn(canvas);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.top, 3);
    EXPECT_EQ(b.right, 4);
    EXPECT_EQ(b.bottom, 6);
    canvas.FillRect({-100, -100, 100, 100}); // clipped, no crash
    EXPECT_EQ(Count(canvas, clLime), 100);

    canvas.SetPixel(4, 4, RGBColor(1, 2, 3));
    EXPECT_EQ(canvas.GetPixel(4, 4), RGBColor(1, 2, 3));
    canvas.SetPixel(-1, 0, clRed); // outside: ignored
    canvas.SetPixel(10, 0, clRed);
    EXPECT_EQ(canvas.GetPixel(-1, 0), -1);
    EXPECT_EQ(canvas.GetPixel(0, 10), -1);
    EXPECT_EQ(Count(canvas, clRed), 0);
}

TEST(ImageCanvas, LineToLeavesItsEndPixel) {
    struct Case {
        const char* name;
        int x0, y0, x1, y1;
        int pixels;
    };
    const Case cases[] = {
        {"right", 2, 5, 12, 5, 10},  {"left", 12, 5, 2, 5, 10},  {"down", 5, 2, 5, 12, 10},
        {"diagonal", 0, 0, 8, 8, 8}, {"steep", 3, 1, 5, 15, 14}, {"empty", 4, 4, 4, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageCanvas canvas(20, 20);
        canvas.SetPenColor(clBlack);
        canvas.MoveTo(c.x0, c.y0);
        canvas.LineTo(c.x1, c.y1);
        EXPECT_EQ(Count(canvas, clBlack), c.pixels);
        if (c.pixels > 0) {
            EXPECT_EQ(canvas.GetPixel(c.x0, c.y0), clBlack);
        }
        EXPECT_EQ(canvas.GetPixel(c.x1, c.y1), clWhite);
        EXPECT_EQ(canvas.PenPos().x, c.x1);
        EXPECT_EQ(canvas.PenPos().y, c.y1);
    }
    // Joined lines: each end pixel is the next line's first.
    ImageCanvas canvas(20, 20);
    canvas.MoveTo(1, 1);
    canvas.LineTo(10, 1);
    canvas.LineTo(10, 10);
    canvas.LineTo(1, 1);
    EXPECT_EQ(canvas.GetPixel(10, 1), clBlack);
    EXPECT_EQ(canvas.GetPixel(10, 10), clBlack);
    EXPECT_EQ(Count(canvas, clBlack), 9 + 9 + 9);

    // Lines running off the canvas are clipped.
    canvas.MoveTo(-50, 15);
    canvas.LineTo(50, 15);
    EXPECT_EQ(Count(canvas, clBlack), 27 + 20);
}

TEST(ImageCanvas, EllipseFillsItsBoxWithExclusiveEdges) {
    ImageCanvas canvas(30, 30);
    canvas.SetPenColor(clRed);
    canvas.SetBrushColor(clBlue);
    canvas.Ellipse(2, 4, 13, 21);
    Box b = Drawn(canvas);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.top, 4);
    EXPECT_EQ(b.right, 12);
    EXPECT_EQ(b.bottom, 20);
    EXPECT_EQ(canvas.GetPixel(7, 12), clBlue); // centre: brush
    EXPECT_EQ(canvas.GetPixel(2, 4), clWhite); // corner of the box: outside
    EXPECT_EQ(canvas.GetPixel(2, 12), clRed);  // leftmost point: pen
    EXPECT_EQ(canvas.GetPixel(7, 20), clRed);  // lowest point: pen
    EXPECT_EQ(Colours(canvas), (std::set<TColor>{clWhite, clRed, clBlue})); // no antialiasing

    ImageCanvas clear(30, 30);
    clear.SetPenColor(clRed);
    clear.SetBrushStyle(BrushStyle::Clear);
    clear.Ellipse(0, 0, 21, 21);
    EXPECT_EQ(clear.GetPixel(10, 10), clWhite);
    EXPECT_EQ(clear.GetPixel(0, 10), clRed);
    EXPECT_EQ(clear.GetPixel(20, 10), clRed);
    EXPECT_EQ(Drawn(clear).right, 20);
}

TEST(ImageCanvas, PolygonOutlinesThroughItsCornersAndFills) {
    ImageCanvas canvas(30, 30);
    canvas.SetPenColor(clRed);
    canvas.SetBrushColor(clBlue);
    const Point triangle[] = {{2, 2}, {20, 2}, {2, 20}};
    canvas.Polygon(triangle, 3);
    for (const auto& p : triangle)
        EXPECT_EQ(canvas.GetPixel(p.x, p.y), clRed);
    EXPECT_EQ(canvas.GetPixel(6, 6), clBlue);
    EXPECT_EQ(canvas.GetPixel(18, 18), clWhite);
    Box b = Drawn(canvas);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.right, 20);
    EXPECT_EQ(b.bottom, 20);
    EXPECT_EQ(Colours(canvas), (std::set<TColor>{clWhite, clRed, clBlue}));
    canvas.Polygon(nullptr, 0); // nothing to draw
    canvas.Polygon(triangle, 1);
}

TEST(ImageCanvas, ArcRunsCounterClockwiseFromStartToEnd) {
    // Circle about (20, 20) with radius 20; rays through points on the axes.
    struct Case {
        const char* name;
        int x3, y3, x4, y4;
        bool upperRight, upperLeft, lowerLeft, lowerRight;
    };
    const Case cases[] = {
        {"right to top", 40, 20, 20, 0, true, false, false, false},
        {"top to right", 20, 0, 40, 20, false, true, true, true},
        {"below to right", 20, 40, 40, 20, false, false, false, true},
        {"left to below", 0, 20, 20, 40, false, false, true, false},
        {"start equals end: whole ellipse", 40, 20, 40, 20, true, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageCanvas canvas(41, 41);
        canvas.SetPenColor(clBlack);
        canvas.SetBrushColor(clBlue); // an arc never fills
        canvas.Arc(0, 0, 41, 41, c.x3, c.y3, c.x4, c.y4);
        // Count pixels per quadrant, away from the axes where the arc ends.
        int ur = 0, ul = 0, ll = 0, lr = 0;
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 41; ++x) {
                if (canvas.GetPixel(x, y) != clBlack || std::abs(x - 20) < 3 ||
                    std::abs(y - 20) < 3)
                    continue;
                (y < 20 ? (x > 20 ? ur : ul) : (x > 20 ? lr : ll))++;
            }
        EXPECT_EQ(ur > 0, c.upperRight) << ur;
        EXPECT_EQ(ul > 0, c.upperLeft) << ul;
        EXPECT_EQ(ll > 0, c.lowerLeft) << ll;
        EXPECT_EQ(lr > 0, c.lowerRight) << lr;
        EXPECT_EQ(Count(canvas, clBlue), 0);
    }
}

TEST(ImageCanvas, ArcOfAnEllipseEndsOnTheRays) {
    // A wide ellipse: the arc from the ray at 45 degrees up-right to straight
    // up must stop where those rays cross the ellipse, not at the parametric angles.
    ImageCanvas canvas(81, 41);
    canvas.SetPenColor(clBlack);
    canvas.Arc(0, 0, 81, 41, 60, 0, 40, 0);
    // The 45-degree ray crosses x^2/40^2 + y^2/20^2 = 1 at x = y = 17.9.
    int leftmostBelow45 = 1000;
    for (int y = 0; y < 41; ++y)
        for (int x = 40; x < 81; ++x)
            if (canvas.GetPixel(x, y) == clBlack && (20 - y) < (x - 40) - 2)
                leftmostBelow45 = std::min(leftmostBelow45, x);
    EXPECT_EQ(leftmostBelow45, 1000) << "arc drawn below the start ray";
    EXPECT_EQ(canvas.GetPixel(40, 0), clBlack);
    EXPECT_GT(Count(canvas, clBlack), 10);
}

TEST(ImageCanvas, FloodFillStopsAtTheBorderColour) {
    ImageCanvas canvas(30, 30);
    canvas.SetPenColor(clBlack);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.Rectangle(5, 5, 20, 20);
    canvas.SetPixel(10, 10, clBlue); // another colour inside does not stop the fill
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(clRed);
    canvas.FloodFill(12, 12, clBlack);
    EXPECT_EQ(Count(canvas, clRed), 13 * 13);
    EXPECT_EQ(canvas.GetPixel(10, 10), clRed);
    EXPECT_EQ(canvas.GetPixel(4, 4), clWhite);
    EXPECT_EQ(canvas.GetPixel(25, 25), clWhite);
    EXPECT_EQ(Count(canvas, clBlack), 14 * 4);

    // Starting on the border, or outside the canvas, fills nothing.
    canvas.SetBrushColor(clLime);
    canvas.FloodFill(5, 5, clBlack);
    canvas.FloodFill(-1, 3, clBlack);
    EXPECT_EQ(Count(canvas, clLime), 0);

    // A ring: filling between the two circles leaves the middle alone.
    ImageCanvas ring(41, 41);
    ring.SetBrushStyle(BrushStyle::Clear);
    ring.Ellipse(0, 0, 41, 41);
    ring.Ellipse(10, 10, 31, 31);
    ring.SetBrushStyle(BrushStyle::Solid);
    ring.SetBrushColor(clRed);
    ring.FloodFill(20, 4, clBlack);
    EXPECT_EQ(ring.GetPixel(20, 20), clWhite);
    EXPECT_EQ(ring.GetPixel(0, 0), clWhite);
    EXPECT_EQ(ring.GetPixel(20, 35), clRed);

    // Filling with the colour already there terminates.
    ImageCanvas same(50, 50);
    same.SetBrushColor(clWhite);
    same.FloodFill(25, 25, clBlack);
    EXPECT_EQ(Count(same, clWhite), 2500);
}

TEST(ImageCanvas, TextOverAClearBrushLeavesTheBackground) {
    ImageCanvas canvas(200, 60);
    canvas.SetBrushColor(clLime);
    canvas.FillRect({0, 0, 200, 60});
    canvas.SetFontName("MS Sans Serif");
    canvas.SetFontHeight(-16);
    canvas.SetFontColor(clRed);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.TextOut(10, 20, "Brendimor");
    const int w = canvas.TextWidth("Brendimor"), h = canvas.TextHeight("Brendimor");
    EXPECT_GT(w, 40);
    EXPECT_GE(h, 16);
    EXPECT_EQ(Colours(canvas), (std::set<TColor>{clLime, clRed})); // no antialiasing
    Box b = Drawn(canvas, clLime);
    EXPECT_GE(b.left, 10);
    EXPECT_GE(b.top, 20);
    EXPECT_LT(b.right, 10 + w);
    EXPECT_LT(b.bottom, 20 + h);
    EXPECT_LT(b.top, 20 + h / 2); // the point is the top-left, not the baseline
    EXPECT_EQ(canvas.PenPos().x, 10 + w);

    // A solid brush paints the text box first.
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(clBlue);
    canvas.TextOut(0, 0, "X");
    EXPECT_EQ(canvas.GetPixel(0, 0), clBlue);
    EXPECT_EQ(canvas.GetPixel(canvas.TextWidth("X") - 1, canvas.TextHeight("X") - 1), clBlue);
    EXPECT_EQ(canvas.GetPixel(canvas.TextWidth("X"), 0), clLime);
}

TEST(ImageCanvas, FontSizeAndHeightAt96Dpi) {
    ImageCanvas canvas(100, 100);
    canvas.SetFontSize(12);
    EXPECT_EQ(canvas.FontHeight(), -16);
    canvas.SetFontSize(8);
    EXPECT_EQ(canvas.FontHeight(), -11);
    canvas.SetFontHeight(16); // positive: cell height
    EXPECT_EQ(canvas.FontSize(), -12);
    EXPECT_NEAR(canvas.TextHeight("Xg"), 16, 1);
    canvas.SetFontHeight(-16); // negative: character height, the cell is taller
    EXPECT_EQ(canvas.FontSize(), 12);
    EXPECT_GT(canvas.TextHeight("Xg"), 16);
    canvas.SetFontHeight(-1); // tiny fonts still measure
    EXPECT_GE(canvas.TextWidth("X"), 0);
    canvas.SetFontStyle(fsBold | fsItalic);
    canvas.SetFontName("Impact");
    canvas.SetFontHeight(-20);
    EXPECT_GT(canvas.TextWidth("Brendimor"), 0);
}

TEST(ImageCanvas, SystemColoursComeFromThePalette) {
    ImageCanvas canvas(4, 4);
    canvas.SetBrushColor(clBtnFace);
    canvas.FillRect({0, 0, 4, 4});
    QColor button = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(canvas.GetPixel(1, 1), RGBColor(button.red(), button.green(), button.blue()));
    QColor base = QApplication::palette().color(QPalette::Base);
    EXPECT_EQ(ColorToRGB(clWindow), RGBColor(base.red(), base.green(), base.blue()));
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(RedOf(RGBColor(1, 2, 3)), 1);
    EXPECT_EQ(BlueOf(RGBColor(1, 2, 3)), 3);
}

TEST(ImageCanvas, LockCounts) {
    ImageCanvas canvas(4, 4);
    {
        CanvasLock a(canvas);
        CanvasLock b(canvas);
        EXPECT_EQ(canvas.LockCount(), 2);
    }
    EXPECT_EQ(canvas.LockCount(), 0);
    canvas.Unlock(); // unbalanced: stays at 0
    EXPECT_EQ(canvas.LockCount(), 0);
}
