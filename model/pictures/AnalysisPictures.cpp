#include "model/pictures/AnalysisPictures.h"

#include "model/pictures/PictureCommon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace ostrander {

namespace {

constexpr int kMarginLeft = 52;
constexpr int kMarginTop = 24;
// The log far field has its title and the y axis's name on lines of their own.
constexpr int kLogMarginTop = 40;
constexpr int kMarginBottom = 40;
constexpr int kBarGap = 14;
constexpr int kBarWidth = 16;
constexpr int kBarLabels = 44;

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Tick spacing near a fifth of the span: 1, 2 or 5 times a power of ten.
double TickStep(double span) {
    if (!(span > 0) || !std::isfinite(span))
        return 1.0;
    const double raw = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

void Line(Canvas& canvas, int x1, int y1, int x2, int y2) {
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
}

void CentredText(Canvas& canvas, int x, int y, const std::string& text) {
    canvas.TextOut(x - canvas.TextWidth(text) / 2, y, text);
}

void Prepare(Canvas& canvas) {
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(clWhite);
    canvas.FillRect({0, 0, canvas.Width(), canvas.Height()});
    canvas.SetPenColor(clBlack);
    canvas.SetFontColor(clBlack);
    canvas.SetBrushStyle(BrushStyle::Clear);
}

} // namespace

TColor LogScaleColour(double level) {
    // Black through purple, red and orange to pale yellow.
    static constexpr int kStops[][3] = {
        {0, 0, 4}, {87, 16, 110}, {188, 55, 84}, {249, 142, 9}, {252, 255, 164}};
    constexpr int kLast = 4;
    if (!std::isfinite(level) || level <= 0)
        return RGBColor(kStops[0][0], kStops[0][1], kStops[0][2]);
    if (level >= 1)
        return RGBColor(kStops[kLast][0], kStops[kLast][1], kStops[kLast][2]);
    const double t = level * kLast;
    const int k = std::min(static_cast<int>(t), kLast - 1);
    const double f = t - k;
    int rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] =
            static_cast<int>(std::lround(kStops[k][c] + f * (kStops[k + 1][c] - kStops[k][c])));
    return RGBColor(rgb[0], rgb[1], rgb[2]);
}

LogFarFieldLayout LayoutLogFarField(const Canvas& canvas, const LogFarFieldInput& input) {
    LogFarFieldLayout l;
    const int side =
        std::max(0, std::min(canvas.Width() - kMarginLeft - kBarGap - kBarWidth - kBarLabels,
                             canvas.Height() - kLogMarginTop - kMarginBottom));
    l.plot = {kMarginLeft, kLogMarginTop, kMarginLeft + side, kLogMarginTop + side};
    l.centreX = l.plot.left + side / 2.0;
    l.centreY = l.plot.top + side / 2.0;
    l.pixelsPerLambdaOverD = input.reach > 0 ? side / (2 * input.reach) : 0.0;
    l.colourBar = {l.plot.right + kBarGap, l.plot.top, l.plot.right + kBarGap + kBarWidth,
                   l.plot.bottom};
    return l;
}

void DrawLogFarField(Canvas& canvas, const LogFarFieldInput& input) {
    const int size = input.size;
    const std::vector<double>* values = input.intensity;
    double peak = 0.0;
    if (values && size > 0 && values->size() >= static_cast<std::size_t>(size) * size)
        for (const double v : *values)
            peak = std::max(peak, v);
    const LogFarFieldLayout l = LayoutLogFarField(canvas, input);
    const int decades = std::clamp(input.decades, 1, 12);
    if (!std::isfinite(peak) || !(peak > 0) || !(input.pixelScale > 0) ||
        !(input.lambdaOverD > 0) || l.plot.Width() < 8 || !std::isfinite(input.reach)) {
        DrawNothingToDisplay(canvas);
        return;
    }
    Prepare(canvas);

    // Each plot pixel shows the element nearest its angle; on a high-density
    // screen each device pixel does.
    const double elementsPerPixel = input.lambdaOverD / input.pixelScale / l.pixelsPerLambdaOverD;
    const double ratio = canvas.PixelRatio();
    const int left = canvas.DeviceEdge(l.plot.left), right = canvas.DeviceEdge(l.plot.right);
    std::vector<TColor> row(static_cast<std::size_t>(right - left));
    for (int py = canvas.DeviceEdge(l.plot.top); py < canvas.DeviceEdge(l.plot.bottom); ++py) {
        const double ey = ((py + 0.5) / ratio - l.centreY) * elementsPerPixel;
        const long j = std::lround(ey) + size / 2;
        for (int px = left; px < right; ++px) {
            const double ex = ((px + 0.5) / ratio - l.centreX) * elementsPerPixel;
            const long i = std::lround(ex) + size / 2;
            double level = 0.0;
            if (i >= 0 && i < size && j >= 0 && j < size) {
                const double v = (*values)[static_cast<std::size_t>(i) * size + j];
                level = v > 0 ? 1.0 + std::log10(v / peak) / decades : 0.0;
            }
            row[static_cast<std::size_t>(px - left)] = LogScaleColour(level);
        }
        canvas.SetDevicePixels(left, py, row.data(), right - left);
    }
    canvas.Rectangle(l.plot.left - 1, l.plot.top - 1, l.plot.right + 1, l.plot.bottom + 1);

    // Axes in lambda/D, ticks both ways from the axis.
    const double step = TickStep(2 * input.reach);
    const int textHeight = canvas.TextHeight("0");
    for (double t = -std::floor(input.reach / step) * step; t <= input.reach + 1e-9; t += step) {
        const int x = static_cast<int>(std::lround(l.centreX + t * l.pixelsPerLambdaOverD));
        const int y = static_cast<int>(std::lround(l.centreY + t * l.pixelsPerLambdaOverD));
        const std::string label = Format("%g", std::fabs(t) < 1e-9 ? 0.0 : t);
        Line(canvas, x, l.plot.bottom, x, l.plot.bottom + 4);
        CentredText(canvas, x, l.plot.bottom + 5, label);
        Line(canvas, l.plot.left - 5, y, l.plot.left - 1, y);
        canvas.TextOut(l.plot.left - 7 - canvas.TextWidth(label), y - textHeight / 2, label);
    }
    CentredText(canvas, (l.plot.left + l.plot.right) / 2, l.plot.bottom + 6 + textHeight,
                "x (lambda/D)   1 lambda/D = " + Format("%.3g", input.lambdaOverD * 1e6) + " urad");
    canvas.TextOut(2, 4, "Far field, log10 of intensity / peak");
    if (!input.note.empty()) {
        canvas.SetFontColor(clRed);
        canvas.TextOut(canvas.Width() - 4 - canvas.TextWidth(input.note), 4, input.note);
        canvas.SetFontColor(clBlack);
    }
    canvas.TextOut(2, l.plot.top - 6 - textHeight, "y (lambda/D)");

    // The colour bar, peak at the top, one label per decade.
    const int barHeight = l.colourBar.Height();
    const int barLeft = canvas.DeviceEdge(l.colourBar.left);
    std::vector<TColor> bar(
        static_cast<std::size_t>(std::max(0, canvas.DeviceEdge(l.colourBar.right) - barLeft)));
    for (int y = canvas.DeviceEdge(l.colourBar.top); y < canvas.DeviceEdge(l.colourBar.bottom);
         ++y) {
        const double level = 1.0 - ((y + 0.5) / ratio - l.colourBar.top) / barHeight;
        std::fill(bar.begin(), bar.end(), LogScaleColour(level));
        canvas.SetDevicePixels(barLeft, y, bar.data(), static_cast<int>(bar.size()));
    }
    canvas.Rectangle(l.colourBar.left - 1, l.colourBar.top - 1, l.colourBar.right + 1,
                     l.colourBar.bottom + 1);
    for (int d = 0; d <= decades; ++d) {
        const int y =
            l.colourBar.top + static_cast<int>(std::lround(double(d) * barHeight / decades));
        Line(canvas, l.colourBar.right, y, l.colourBar.right + 4, y);
        canvas.TextOut(l.colourBar.right + 6, y - textHeight / 2,
                       d == 0 ? std::string("0") : "-" + std::to_string(d));
    }
}

Rect EncircledEnergyPlotArea(const Canvas& canvas) {
    return {kMarginLeft, kMarginTop, canvas.Width() - 16, canvas.Height() - kMarginBottom};
}

void DrawEncircledEnergyPlot(Canvas& canvas, const std::vector<double>& fraction,
                             double lambdaOverDPerElement) {
    const Rect plot = EncircledEnergyPlotArea(canvas);
    if (fraction.size() < 2 || !(lambdaOverDPerElement > 0) ||
        !std::isfinite(lambdaOverDPerElement) || plot.Width() < 8 || plot.Height() < 8) {
        DrawNothingToDisplay(canvas);
        return;
    }
    Prepare(canvas);
    const double reach = (fraction.size() - 1) * lambdaOverDPerElement;
    auto px = [&](double rho) {
        return static_cast<int>(std::lround(plot.left + rho / reach * (plot.Width() - 1)));
    };
    auto py = [&](double f) {
        return static_cast<int>(
            std::lround(plot.bottom - 1 - std::clamp(f, 0.0, 1.0) * (plot.Height() - 1)));
    };
    const int textHeight = canvas.TextHeight("0");
    // Grid lines every 0.2 of the energy and every tick of the radius.
    canvas.SetPenColor(clSilver);
    for (int k = 1; k < 5; ++k)
        Line(canvas, plot.left, py(k * 0.2), plot.right, py(k * 0.2));
    const double step = TickStep(reach);
    for (double t = step; t <= reach + 1e-9; t += step)
        Line(canvas, px(t), plot.top, px(t), plot.bottom);
    canvas.SetPenColor(clBlack);
    canvas.Rectangle(plot.left - 1, plot.top - 1, plot.right + 1, plot.bottom + 1);
    for (int k = 0; k <= 5; ++k) {
        const std::string label = Format("%.1f", k * 0.2);
        canvas.TextOut(plot.left - 6 - canvas.TextWidth(label), py(k * 0.2) - textHeight / 2,
                       label);
    }
    for (double t = 0; t <= reach + 1e-9; t += step)
        CentredText(canvas, px(t), plot.bottom + 4, Format("%g", t));
    CentredText(canvas, (plot.left + plot.right) / 2, plot.bottom + 6 + textHeight,
                "radius (lambda/D)");
    canvas.TextOut(plot.left, 4, "Encircled energy (fraction of the far field)");

    canvas.SetPenColor(clBlue);
    canvas.SetPenWidth(2);
    canvas.MoveTo(px(0), py(fraction[0]));
    for (std::size_t k = 1; k < fraction.size(); ++k)
        canvas.LineTo(px(k * lambdaOverDPerElement), py(fraction[k]));
    canvas.SetPenWidth(1);
    canvas.SetPenColor(clBlack);
}

} // namespace ostrander
