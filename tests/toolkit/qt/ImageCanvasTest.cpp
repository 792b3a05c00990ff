#include "toolkit/qt/ImageCanvas.h"
#include "support/ImageChecks.h"

#include <QApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

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

// Two circles outlined in black on a 41 x 41 canvas, and the space between
// them flood-filled red from a point on the ring.
void FillRing(ImageCanvas& ring) {
    ring.SetBrushStyle(BrushStyle::Clear);
    ring.Ellipse(0, 0, 41, 41);
    ring.Ellipse(10, 10, 31, 31);
    ring.SetBrushStyle(BrushStyle::Solid);
    ring.SetBrushColor(clRed);
    ring.FloodFill(20, 4, clBlack);
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
    FillRing(ring);
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

// At a pixel ratio above 1 the coordinates stay logical and every shape is
// drawn on the device pixels.
namespace {

constexpr double kRatios[] = {1.0, 1.5, 2.0};

// Device edge of logical edge x, rounded to the nearest.
int Edge(int x, double ratio) {
    return static_cast<int>(std::floor(x * ratio + 0.5));
}

TColor Device(const ImageCanvas& c, int x, int y) {
    return ImageCanvas::FromQRgb(c.Image().pixel(x, y));
}

int DeviceCount(const ImageCanvas& c, TColor colour) {
    int n = 0;
    for (int y = 0; y < c.Image().height(); ++y)
        for (int x = 0; x < c.Image().width(); ++x)
            n += Device(c, x, y) == colour;
    return n;
}

using testing_support::PixelDoubled;

} // namespace

TEST(ImageCanvasRatio, LogicalSizeOverDevicePixels) {
    for (const double r : kRatios) {
        SCOPED_TRACE(r);
        ImageCanvas c(21, 10, r);
        EXPECT_EQ(c.Width(), 21);
        EXPECT_EQ(c.Height(), 10);
        EXPECT_EQ(c.PixelRatio(), r);
        EXPECT_EQ(c.Image().width(), Edge(21, r));
        EXPECT_EQ(c.Image().height(), Edge(10, r));
        EXPECT_EQ(c.Image().devicePixelRatio(), r);
        EXPECT_EQ(c.DeviceWidth(), Edge(21, r));
        c.Resize(7, 3); // keeps the ratio
        EXPECT_EQ(c.Image().width(), Edge(7, r));
        EXPECT_EQ(c.Width(), 7);
    }
    // Ratios that cannot be drawn at are taken as 1 (or held at 8).
    for (const double bad : {0.0, -2.0, 0.5, std::nan(""), HUGE_VAL, 100.0}) {
        ImageCanvas c(5, 5, bad);
        EXPECT_EQ(c.Image().width(), bad == 100.0 || bad == HUGE_VAL ? 40 : 5) << bad;
    }
}

TEST(ImageCanvasRatio, AdjacentCellsCoverTheirDevicePixelsWithoutGapsOrOverlaps) {
    // Cells of uneven widths side by side, drawn as fills and as the
    // surface pictures draw them (a rectangle with pen and brush alike).
    const int edges[] = {0, 1, 2, 3, 5, 8, 9, 13, 17, 18, 23};
    const int n = static_cast<int>(std::size(edges)) - 1;
    auto colour = [](int i, int j) { return RGBColor(10 * i + 1, 10 * j + 1, (i + j) % 2 * 200); };
    for (const double r : kRatios)
        for (const bool rectangles : {false, true}) {
            SCOPED_TRACE(std::to_string(r) + (rectangles ? " rectangles" : " fills"));
            ImageCanvas c(24, 24, r);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    c.SetBrushColor(colour(i, j));
                    c.SetPenColor(colour(i, j));
                    if (rectangles)
                        c.Rectangle(edges[i], edges[j], edges[i + 1], edges[j + 1]);
                    else
                        c.FillRect({edges[i], edges[j], edges[i + 1], edges[j + 1]});
                }
            int wrong = 0;
            for (int Y = 0; Y < c.Image().height(); ++Y)
                for (int X = 0; X < c.Image().width(); ++X) {
                    TColor expected = clWhite;
                    for (int i = 0; i < n; ++i)
                        for (int j = 0; j < n; ++j)
                            if (X >= Edge(edges[i], r) && X < Edge(edges[i + 1], r) &&
                                Y >= Edge(edges[j], r) && Y < Edge(edges[j + 1], r))
                                expected = colour(i, j);
                    wrong += Device(c, X, Y) != expected;
                }
            EXPECT_EQ(wrong, 0);
        }

    // A framed rectangle: the outline is the device pixels of its logical
    // border, the brush fills the rest.
    for (const double r : kRatios) {
        SCOPED_TRACE(r);
        ImageCanvas c(12, 12, r);
        c.SetPenColor(clBlack);
        c.SetBrushColor(clRed);
        c.Rectangle(2, 3, 9, 10);
        const int l = Edge(2, r), t = Edge(3, r), right = Edge(9, r), b = Edge(10, r);
        const int inner = (Edge(8, r) - Edge(3, r)) * (Edge(9, r) - Edge(4, r));
        EXPECT_EQ(DeviceCount(c, clRed), inner);
        EXPECT_EQ(DeviceCount(c, clBlack), (right - l) * (b - t) - inner);
        EXPECT_EQ(c.GetPixel(2, 3), clBlack);
        EXPECT_EQ(c.GetPixel(3, 4), clRed);
        EXPECT_EQ(c.GetPixel(9, 9), clWhite);
    }
}

TEST(ImageCanvasRatio, LinesAreDrawnAtDeviceResolution) {
    for (const double r : kRatios) {
        SCOPED_TRACE(r);
        // Level and upright lines cover the device pixels of their logical
        // pixels, end pixel left out, for a 1- and a 2-pixel pen.
        for (const int pen : {1, 2}) {
            ImageCanvas c(30, 30, r);
            c.SetPenWidth(pen);
            c.MoveTo(3, 5);
            c.LineTo(20, 5);
            EXPECT_EQ(DeviceCount(c, clBlack),
                      (Edge(20 + pen / 2, r) - Edge(3 - (pen - 1) / 2, r)) *
                          (Edge(6 + pen / 2, r) - Edge(5 - (pen - 1) / 2, r)));
            EXPECT_EQ(c.GetPixel(19, 5), clBlack);
            EXPECT_EQ(c.GetPixel(20 + pen / 2, 5), clWhite);
            ImageCanvas v(30, 30, r);
            v.MoveTo(7, 25);
            v.LineTo(7, 4);
            EXPECT_EQ(DeviceCount(v, clBlack), (Edge(8, r) - Edge(7, r)) * (Edge(26, r) - Edge(5, r)));
            EXPECT_EQ(v.GetPixel(7, 4), clWhite);
        }

        // A slanted line is a device-resolution staircase a pen wide: it
        // stays within a pixel of the logical line, and at ratio 2 it is
        // not made of 2 x 2 blocks.
        ImageCanvas logical(30, 30), c(30, 30, r);
        for (ImageCanvas* k : {&logical, &c}) {
            k->MoveTo(2, 3);
            k->LineTo(25, 14);
        }
        int black = 0;
        for (int Y = 0; Y < c.Image().height(); ++Y)
            for (int X = 0; X < c.Image().width(); ++X) {
                if (Device(c, X, Y) != clBlack)
                    continue;
                ++black;
                const int x = static_cast<int>(X / r), y = static_cast<int>(Y / r);
                bool near = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        near = near || logical.GetPixel(x + dx, y + dy) == clBlack;
                EXPECT_TRUE(near) << X << "," << Y;
            }
        // About a pen's width of device pixels per device column.
        const int columns = Edge(25, r) - Edge(2, r);
        EXPECT_GE(black, columns * std::lround(r));
        EXPECT_LE(black, columns * (std::lround(r) + 1));
        if (r == 2.0) {
            EXPECT_FALSE(PixelDoubled(c.Image()));
        }
    }
}

TEST(ImageCanvasRatio, ShapesAndTextAreDrawnAtDeviceResolution) {
    for (const double r : {1.5, 2.0}) {
        SCOPED_TRACE(r);
        ImageCanvas c(40, 40, r);
        c.SetPenColor(clRed);
        c.SetBrushColor(clBlue);
        c.Ellipse(2, 4, 33, 31);
        const Point triangle[] = {{20, 32}, {38, 32}, {20, 39}};
        c.Polygon(triangle, 3);
        // Within the device box of the logical box, touching its edges.
        int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
        for (int Y = 0; Y < Edge(32, r); ++Y)
            for (int X = 0; X < c.Image().width(); ++X)
                if (Device(c, X, Y) != clWhite) {
                    left = std::min(left, X), right = std::max(right, X);
                    top = std::min(top, Y), bottom = std::max(bottom, Y);
                }
        EXPECT_EQ(left, Edge(2, r));
        EXPECT_EQ(top, Edge(4, r));
        EXPECT_GE(right, Edge(33, r) - 2);
        EXPECT_LT(right, Edge(33, r));
        EXPECT_GE(bottom, Edge(31, r) - 2);
        EXPECT_LT(bottom, Edge(31, r));
        EXPECT_EQ(c.GetPixel(17, 17), clBlue);
        for (const Point& p : triangle)
            EXPECT_EQ(c.GetPixel(p.x, p.y), clRed);
        EXPECT_EQ(c.GetPixel(24, 34), clBlue);
        EXPECT_EQ(Colours(c), (std::set<TColor>{clWhite, clRed, clBlue}));

        // Text keeps its logical measures and is drawn in a font of device
        // size, inside its device box.
        ImageCanvas plain(200, 40), t(200, 40, r);
        for (ImageCanvas* k : {&plain, &t}) {
            k->SetFontHeight(-16);
            k->SetFontColor(clBlack);
            k->SetBrushStyle(BrushStyle::Clear);
            k->TextOut(10, 5, "Brendimor 0.123");
        }
        EXPECT_EQ(t.TextWidth("Brendimor 0.123"), plain.TextWidth("Brendimor 0.123"));
        EXPECT_EQ(t.TextHeight("X"), plain.TextHeight("X"));
        EXPECT_EQ(t.PenPos().x, plain.PenPos().x);
        const int w = t.TextWidth("Brendimor 0.123"), h = t.TextHeight("X");
        int inside = 0, outside = 0;
        for (int Y = 0; Y < t.Image().height(); ++Y)
            for (int X = 0; X < t.Image().width(); ++X)
                if (Device(t, X, Y) == clBlack)
                    (X >= Edge(10, r) && X < Edge(10 + w, r) + 2 && Y >= Edge(5, r) &&
                             Y < Edge(5 + h, r) + 2
                         ? inside
                         : outside)++;
        EXPECT_GT(inside, DeviceCount(plain, clBlack) * r * r / 2);
        EXPECT_EQ(outside, 0);
        if (r == 2.0) {
            EXPECT_FALSE(PixelDoubled(t.Image()));
            ImageCanvas e(40, 40, r);
            e.SetBrushStyle(BrushStyle::Clear);
            e.Ellipse(2, 4, 33, 31);
            EXPECT_FALSE(PixelDoubled(e.Image()));
        }
    }
}

TEST(ImageCanvasRatio, FloodFillStopsAtDeviceResolutionBorders) {
    for (const double r : kRatios) {
        SCOPED_TRACE(r);
        // A box cut in two by a slanted line: the fill stays on its side.
        ImageCanvas c(30, 30, r);
        c.SetBrushStyle(BrushStyle::Clear);
        c.Rectangle(5, 5, 25, 25);
        c.MoveTo(5, 22);
        c.LineTo(24, 7);
        c.SetBrushStyle(BrushStyle::Solid);
        c.SetBrushColor(clRed);
        c.FloodFill(8, 8, clBlack);
        EXPECT_EQ(c.GetPixel(8, 8), clRed);
        EXPECT_EQ(c.GetPixel(10, 12), clRed);
        EXPECT_EQ(c.GetPixel(20, 20), clWhite);
        EXPECT_EQ(c.GetPixel(2, 2), clWhite);
        // Every device pixel of the upper part is filled, none of the lower.
        int red = 0;
        for (int Y = Edge(6, r); Y < Edge(24, r); ++Y)
            for (int X = Edge(6, r); X < Edge(24, r); ++X)
                if (Device(c, X, Y) == clRed)
                    ++red;
        const int area = (Edge(24, r) - Edge(6, r)) * (Edge(24, r) - Edge(6, r));
        EXPECT_EQ(DeviceCount(c, clRed), red);
        EXPECT_GT(red, area / 3);
        EXPECT_LT(red, area * 2 / 3);

        // A ring between two circles.
        ImageCanvas ring(41, 41, r);
        FillRing(ring);
        EXPECT_EQ(ring.GetPixel(20, 20), clWhite);
        EXPECT_EQ(ring.GetPixel(0, 0), clWhite);
        EXPECT_EQ(ring.GetPixel(20, 35), clRed);
        EXPECT_EQ(ring.GetPixel(35, 20), clRed);
    }
}

TEST(ImageCanvasRatio, PixelsAtLogicalCoordinates) {
    const std::vector<TColor> run = {clRed, clBlue, clLime, clYellow, 0x123456, clBlack};
    for (const double r : kRatios) {
        SCOPED_TRACE(r);
        ImageCanvas c(10, 10, r);
        c.SetPixel(3, 4, clBlue);
        EXPECT_EQ(c.GetPixel(3, 4), clBlue);
        EXPECT_EQ(c.GetPixel(4, 4), clWhite);
        EXPECT_EQ(DeviceCount(c, clBlue), (Edge(4, r) - Edge(3, r)) * (Edge(5, r) - Edge(4, r)));
        c.SetPixel(9, 9, clRed);
        c.SetPixel(10, 9, clLime); // outside: nothing
        EXPECT_EQ(Device(c, c.Image().width() - 1, c.Image().height() - 1), clRed);
        EXPECT_EQ(DeviceCount(c, clLime), 0);
        EXPECT_EQ(c.GetPixel(10, 0), -1);
        EXPECT_EQ(c.GetPixel(0, -1), -1);

        // A run sets what single pixels would, clipped at the edges.
        for (const int x : {-2, 0, 6}) {
            ImageCanvas row(10, 10, r), single(10, 10, r);
            row.SetPixels(x, 3, run.data(), static_cast<int>(run.size()));
            for (int n = 0; n < static_cast<int>(run.size()); ++n)
                single.SetPixel(x + n, 3, run[n]);
            EXPECT_EQ(row.Image(), single.Image()) << x;
        }
        // Device pixels are written one by one.
        ImageCanvas d(10, 10, r);
        d.SetDevicePixels(d.Image().width() - 3, 1, run.data(), static_cast<int>(run.size()));
        EXPECT_EQ(Device(d, d.Image().width() - 1, 1), clLime);
        EXPECT_EQ(DeviceCount(d, clRed) + DeviceCount(d, clBlue) + DeviceCount(d, clLime), 3);
        d.SetDevicePixels(0, d.Image().height(), run.data(), 6);
        d.SetDevicePixels(2147483600, 1, run.data(), 2000000000);
        EXPECT_EQ(DeviceCount(d, clWhite), d.Image().width() * d.Image().height() - 3);
    }
}
