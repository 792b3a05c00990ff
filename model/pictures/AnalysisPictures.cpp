#include "model/pictures/AnalysisPictures.h"

#include "Shared_Software/Mirror/ColorScale.h"
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
// The beam map: a line for its title above the plot, little round it.
constexpr int kMapMargin = 6;
constexpr int kMapTitle = 22;

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

void DrawColourBar(Canvas& canvas, const Rect& bar, TColor (*colour)(double),
                   const std::vector<ColourBarTick>& ticks) {
    const double ratio = canvas.PixelRatio();
    const int barHeight = bar.Height();
    const int barLeft = canvas.DeviceEdge(bar.left);
    std::vector<TColor> row(
        static_cast<std::size_t>(std::max(0, canvas.DeviceEdge(bar.right) - barLeft)));
    for (int y = canvas.DeviceEdge(bar.top); y < canvas.DeviceEdge(bar.bottom); ++y) {
        const double level = 1.0 - ((y + 0.5) / ratio - bar.top) / barHeight;
        std::fill(row.begin(), row.end(), colour(level));
        canvas.SetDevicePixels(barLeft, y, row.data(), static_cast<int>(row.size()));
    }
    canvas.Rectangle(bar.left - 1, bar.top - 1, bar.right + 1, bar.bottom + 1);
    const int textHeight = canvas.TextHeight("0");
    for (const ColourBarTick& tick : ticks) {
        const int y = bar.top + tick.below;
        Line(canvas, bar.right, y, bar.right + 4, y);
        canvas.TextOut(bar.right + 6, y - textHeight / 2, tick.text);
    }
}

std::vector<ColourBarTick> LinearScaleTicks(double low, double high, int height) {
    std::vector<ColourBarTick> ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || height <= 0)
        return ticks;
    const double step = TickStep(high - low);
    for (double t = std::ceil(low / step - 1e-9) * step; t <= high + 1e-9 * step; t += step)
        ticks.push_back({static_cast<int>(std::lround((high - t) / (high - low) * height)),
                         Format("%g", std::fabs(t) < 1e-9 * step ? 0.0 : t)});
    return ticks;
}

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
    std::vector<ColourBarTick> labels;
    for (int d = 0; d <= decades; ++d)
        labels.push_back({static_cast<int>(std::lround(double(d) * l.colourBar.Height() / decades)),
                          d == 0 ? std::string("0") : "-" + std::to_string(d)});
    DrawColourBar(canvas, l.colourBar, LogScaleColour, labels);
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

BeamMapLayout LayoutBeamMap(const Canvas& canvas) {
    BeamMapLayout l;
    const int side =
        std::max(0, std::min(canvas.Width() - 2 * kMapMargin - kBarGap - kBarWidth - kBarLabels,
                             canvas.Height() - kMapTitle - kMapMargin));
    l.plot = {kMapMargin, kMapTitle, kMapMargin + side, kMapTitle + side};
    l.colourBar = {l.plot.right + kBarGap, l.plot.top, l.plot.right + kBarGap + kBarWidth,
                   l.plot.bottom};
    return l;
}

TColor BeamMapColour(double level) {
    const double clamped = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 0.0;
    return LevelColor(static_cast<int>(std::lround(clamped * 255)), 255, 1);
}

void DrawBeamMap(Canvas& canvas, const BeamMapInput& input) {
    const EngineGrid& g = input.grid;
    const std::vector<double>* values = input.values;
    const BeamMapLayout l = LayoutBeamMap(canvas);
    bool usable = values && g.n > 0 && values->size() == g.Points() && g.dx > 0 &&
                  g.beamRadius > 0 && std::isfinite(input.low) && std::isfinite(input.high) &&
                  input.high > input.low && l.plot.Width() >= 8;
    bool anyInBeam = false;
    for (int i = 0; usable && i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            if (g.InBeam(i, j)) {
                anyInBeam = true;
                usable = usable && std::isfinite((*values)[g.Index(i, j)]);
            }
    if (!usable || !anyInBeam) {
        DrawNothingToDisplay(canvas);
        return;
    }
    Prepare(canvas);

    // Each device pixel of the plot shows the sample nearest its place.
    const double ratio = canvas.PixelRatio();
    const double side = l.plot.Width();
    const double radius = g.beamRadius;
    const int left = canvas.DeviceEdge(l.plot.left), right = canvas.DeviceEdge(l.plot.right);
    std::vector<TColor> row(static_cast<std::size_t>(right - left));
    const auto metres = [&](double pixel, int edge) {
        return ((pixel + 0.5) / ratio - edge) / side * 2.0 * radius - radius;
    };
    const double span = input.high - input.low;
    for (int py = canvas.DeviceEdge(l.plot.top); py < canvas.DeviceEdge(l.plot.bottom); ++py) {
        const double y = metres(py, l.plot.top);
        const int j = std::clamp(static_cast<int>(std::lround(y / g.dx)) + g.n / 2, 0, g.n - 1);
        for (int px = left; px < right; ++px) {
            const double x = metres(px, l.plot.left);
            const int i = std::clamp(static_cast<int>(std::lround(x / g.dx)) + g.n / 2, 0, g.n - 1);
            row[static_cast<std::size_t>(px - left)] =
                std::hypot(x, y) <= radius
                    ? BeamMapColour(((*values)[g.Index(i, j)] - input.low) / span)
                    : clWhite;
        }
        canvas.SetDevicePixels(left, py, row.data(), right - left);
    }
    canvas.TextOut(kMapMargin, 4, input.title);

    // The colour bar in nm, ticks at round values.
    DrawColourBar(canvas, l.colourBar, BeamMapColour,
                  LinearScaleTicks(input.low * 1e9, input.high * 1e9, l.colourBar.Height()));
}

} // namespace ostrander
