// Colour scale: rainbow band edges, brightness, level scales and the legend.
#include "Shared_Software/Mirror/ColorScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace ostrander {
namespace {

struct Rgb {
    int r, g, b;
};
void ExpectColour(TColor c, Rgb want) {
    EXPECT_EQ(RedOf(c), want.r);
    EXPECT_EQ(GreenOf(c), want.g);
    EXPECT_EQ(BlueOf(c), want.b);
    EXPECT_EQ(c & ~0xFFFFFF, 0);
}

// The scale over 0..1280 V puts s = 1280 - value, so each value below is an s.
TEST(ScaleColor, BandsAndEdges) {
    struct Case {
        double s;
        Rgb want;
    } cases[] = {
        {-5, {255, 255, 255}},   // above the maximum
        {0, {255, 255, 255}},    // the maximum
        {0.5, {255, 0, 0}},      // just below the maximum: red
        {254.9, {255, 254, 0}},  // end of red-yellow
        {255, {255, 255, 0}},    // 511 - 255 = 256 held at 255
        {400, {111, 255, 0}},    // yellow to green
        {510.5, {0, 255, 0}},    // 0.5 truncates to 0
        {511, {0, 255, 0}},      // 511 - 512 = -1 held at 0
        {640, {0, 255, 128}},    // the midpoint
        {766.9, {0, 255, 254}},  // end of green-cyan
        {767.5, {0, 255, 255}},  // 1023 - 767.5 = 255.5 held at 255
        {1000, {0, 23, 255}},    // cyan to blue
        {1023, {0, 0, 255}},     // 1023 - 1024 = -1 held at 0
        {1200, {176, 0, 255}},   // blue to magenta
        {1278.9, {254, 0, 255}}, // end of blue-magenta
        {1279.5, {0, 0, 0}},     // black from 1279 on
        {1280, {0, 0, 0}},       // the minimum
        {2000, {0, 0, 0}},       // below the minimum
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s);
        ExpectColour(ScaleColor(1280 - c.s, 0, 1280), c.want);
    }
}

TEST(ScaleColor, RangesOtherThanTheBands) {
    ExpectColour(ScaleColor(150, 0, 300), {0, 255, 128}); // midpoint of any range
    ExpectColour(ScaleColor(-20, -20, 80), {0, 0, 0});
    ExpectColour(ScaleColor(80, -20, 80), {255, 255, 255});
    // An empty range is white whatever the value.
    ExpectColour(ScaleColor(5, 7, 7), {255, 255, 255});
    ExpectColour(ScaleColor(-1e300, 0, 0), {255, 255, 255});
    // A reversed range turns the scale round: the low end is white.
    ExpectColour(ScaleColor(0, 300, 0), {255, 255, 255});
    // A value that is not a number gives a defined colour (black).
    ExpectColour(ScaleColor(std::numeric_limits<double>::quiet_NaN(), 0, 1), {0, 0, 0});
}

TEST(ColorBrightness, WeightsRedLowestBlueThird) {
    EXPECT_NEAR(ColorBrightness(RGBColor(255, 0, 0)), 29.835, 1e-9);
    EXPECT_NEAR(ColorBrightness(RGBColor(0, 255, 0)), 153.255, 1e-9);
    EXPECT_NEAR(ColorBrightness(RGBColor(0, 0, 255)), 78.03, 1e-9);
    EXPECT_NEAR(ColorBrightness(clWhite), 261.12, 1e-9);
    EXPECT_EQ(ColorBrightness(clBlack), 0.0);
    // System colours are resolved first (window colour: white by default).
    EXPECT_NEAR(ColorBrightness(clWindow), ColorBrightness(ColorToRGB(clWindow)), 1e-12);
}

TEST(LevelColor, GreyAndHot) {
    struct Case {
        int level, mode;
        Rgb want;
    } cases[] = {
        {0, 0, {0, 0, 0}},         {128, 0, {128, 128, 128}}, {255, 0, {255, 255, 255}},
        {0, 1, {0, 0, 0}},         {84, 1, {254, 0, 0}}, // 84/255 * 255/0.33 = 254.5
        {85, 1, {255, 2, 0}}, // red band ends: (t - 0.33) * 255/0.34 = 2.5
        {128, 1, {255, 128, 0}},   {170, 1, {255, 252, 0}},   {171, 1, {255, 255, 0}},
        {255, 1, {255, 255, 255}}, {200, 7, {255, 255, 88}}, // any non-zero mode is hot
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " mode " << c.mode);
        ExpectColour(LevelColor(c.level, 255, c.mode), c.want);
    }
    // Out-of-range input keeps the low byte and never traps.
    ExpectColour(LevelColor(1000, 0, 1), {0, 0, 0});
    ExpectColour(LevelColor(511, 255, 0), {255, 255, 255}); // trunc(511) & 0xFF
}

// Records what the legend paints.
class RecordingCanvas : public Canvas {
public:
    RecordingCanvas(int w, int h) : w_(w), h_(h) {}
    int Width() const override { return w_; }
    int Height() const override { return h_; }
    void Rectangle(int, int, int, int) override {}
    void FillRect(const Rect& r) override { fills.push_back({r, brushColor_}); }
    void Ellipse(int, int, int, int) override {}
    void Polygon(const Point*, int) override {}
    void Arc(int, int, int, int, int, int, int, int) override {}
    void LineTo(int x, int y) override { MoveTo(x, y); }
    void FloodFill(int, int, TColor) override {}
    TColor GetPixel(int, int) const override { return -1; }
    void SetPixel(int, int, TColor) override {}
    void TextOut(int x, int y, std::string_view text) override {
        texts.push_back({x, y, std::string(text), fontColor_, brushStyle_});
    }
    int TextWidth(std::string_view text) override { return 6 * static_cast<int>(text.size()); }
    int TextHeight(std::string_view) override { return 9; }

    struct Fill {
        Rect r;
        TColor colour;
    };
    struct Text {
        int x, y;
        std::string text;
        TColor colour;
        BrushStyle brush;
    };
    std::vector<Fill> fills;
    std::vector<Text> texts;

private:
    int w_, h_;
};

TEST(DrawVoltageLegend, ColumnsAndEndTexts) {
    RecordingCanvas c(100, 12);
    DrawVoltageLegend(c, 0, 300);
    ASSERT_EQ(c.fills.size(), 101u); // background, then one per column
    EXPECT_EQ(c.fills[0].r.right, 100);
    EXPECT_EQ(c.fills[0].r.bottom, 12);
    EXPECT_EQ(c.fills[0].colour, clWhite);
    for (int i = 0; i < 100; ++i) {
        const auto& f = c.fills[static_cast<std::size_t>(i) + 1];
        ASSERT_EQ(f.r.left, i);
        ASSERT_EQ(f.r.right, i + 1);
        ASSERT_EQ(f.r.bottom, 12);
        ASSERT_EQ(f.colour, ScaleColor(i * 3.0, 0, 300));
    }
    ExpectColour(c.fills[1].colour, {0, 0, 0});      // column 0: the minimum
    ExpectColour(c.fills[100].colour, {255, 12, 0}); // column 99: 297 V, s = 12.8
    ASSERT_EQ(c.texts.size(), 2u);
    EXPECT_EQ(c.texts[0].text, "   0V");
    EXPECT_EQ(c.texts[0].x, 5);
    EXPECT_EQ(c.texts[1].text, " 300V");
    EXPECT_EQ(c.texts[1].x, 100 - (30 + 5));
    for (const auto& t : c.texts) {
        EXPECT_EQ(t.y, 0);
        EXPECT_EQ(t.colour, clWhite);
        EXPECT_EQ(t.brush, BrushStyle::Clear);
    }
    EXPECT_EQ(c.GetBrushStyle(), BrushStyle::Solid);
    EXPECT_EQ(c.FontName(), "MS Serif");
    EXPECT_EQ(c.FontSize(), 7);
}

TEST(DrawVoltageLegend, ZeroMaximumAndZeroWidth) {
    RecordingCanvas c(10, 5);
    DrawVoltageLegend(c, 0, 0); // maximum taken as 1
    ASSERT_EQ(c.fills.size(), 11u);
    EXPECT_EQ(c.fills[1].colour, clBlack);
    EXPECT_EQ(c.fills[10].colour, ScaleColor(0.9, 0, 1));
    EXPECT_EQ(c.texts[1].text, "   1V");

    RecordingCanvas empty(0, 5);
    DrawVoltageLegend(empty, 0, 300);
    EXPECT_EQ(empty.fills.size(), 1u);
    EXPECT_EQ(empty.texts.size(), 2u);
}

} // namespace
} // namespace ostrander
