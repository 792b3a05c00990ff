#include "Shared_Software/Mirror/ColorScale.h"

#include "toolkit/Format.h"

#include <cmath>
#include <string>

namespace ostrander {

namespace {

// Truncates toward zero and holds the result within 0..255.
int ClampChannel(double v) {
    if (!(v > 0.0)) // also NaN
        return 0;
    if (v >= 255.0)
        return 255;
    return static_cast<int>(v);
}

// Truncates toward zero and keeps the low 8 bits; values far outside the
// int range (never produced by valid levels) are held at its ends first.
int LowByte(long double v) {
    if (std::isnan(v))
        return 0;
    if (v > 1e15L)
        v = 1e15L;
    if (v < -1e15L)
        v = -1e15L;
    return static_cast<int>(static_cast<long long>(v) & 0xFF);
}

} // namespace

TColor ScaleColor(double value, double minimum, double maximum) {
    const double range = maximum - minimum;
    if (range == 0.0)
        return clWhite;
    const double t = (value - minimum) / range;
    const double s = (1.0 - t) * 1280.0;
    double r = 0, g = 0, b = 0;
    if (s <= 0) {
        r = g = b = 255;
    } else if (s < 255) {
        r = 255;
        g = s;
    } else if (s < 511) {
        r = 511 - s;
        g = 255;
    } else if (s < 767) {
        g = 255;
        b = s - 512;
    } else if (s < 1023) {
        g = 1023 - s;
        b = 255;
    } else if (s < 1279) {
        r = s - 1024;
        b = 255;
    }
    // s >= 1279, and a value that is not a number, stay black.
    return RGBColor(ClampChannel(r), ClampChannel(g), ClampChannel(b));
}

double ColorBrightness(TColor colour) {
    const TColor rgb = ColorToRGB(colour);
    return 0.117 * RedOf(rgb) + 0.601 * GreenOf(rgb) + 0.306 * BlueOf(rgb);
}

TColor LevelColor(int level, int fullScale, int mode) {
    // A zero full scale has no meaningful fraction; treat every level as 0.
    const double t = fullScale != 0 ? static_cast<double>(level) / fullScale : 0.0;
    if (mode == 0) {
        const int g = LowByte(t * 255.0);
        return RGBColor(g, g, g);
    }
    // The band factors 255/0.33 and 255/0.34 are formed once in extended
    // precision, so that the top level reaches exactly 255.
    static constexpr long double kLow = 255.0L * (1.0L / 0.33L);
    static constexpr long double kMiddle = 255.0L * (1.0L / 0.34L);
    const long double x = t;
    if (t < 0.33)
        return RGBColor(LowByte(x * kLow), 0, 0);
    if (t < 0.67)
        return RGBColor(255, LowByte((x - 0.33L) * kMiddle), 0);
    return RGBColor(255, 255, LowByte((x - 0.67L) * kLow));
}

void DrawVoltageLegend(Canvas& canvas, double minimum, double maximum) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    canvas.SetFontName("MS Serif");
    canvas.SetFontSize(7);
    canvas.SetFontColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(clWhite);
    canvas.FillRect(Rect{0, 0, width, height});
    if (maximum == 0)
        maximum = 1;
    if (width > 0) {
        const double step = (maximum - minimum) / width;
        for (int i = 0; i < width; ++i) {
            canvas.SetBrushColor(ScaleColor(minimum + i * step, minimum, maximum));
            canvas.FillRect(Rect{i, 0, i + 1, height});
        }
    }
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.TextOut(5, 0, FormatC("%4.0fV", minimum));
    const std::string top = FormatC("%4.0fV", maximum);
    canvas.TextOut(width - (canvas.TextWidth(top) + 5), 0, top);
    canvas.SetBrushStyle(BrushStyle::Solid);
}

} // namespace ostrander
