#include "model/pictures/ActuatorDisplayClass.h"

#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "toolkit/IntegerConversion.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

namespace {

// Pixel coordinates are truncated toward zero and kept within a range that
// no drawing arithmetic can overflow.
constexpr int kPixelLimit = 1000000;
int Pixel(double v) {
    return std::clamp(TruncToInt(v), -kPixelLimit, kPixelLimit);
}

// Text over a colour is black when the colour is bright, else white.
TColor TextColourOver(TColor background) {
    return ColorBrightness(background) > 140 ? clBlack : clWhite;
}

// Points of the arc of the ellipse inscribed in the box (a, b) (right and
// bottom edges exclusive), counter-clockwise on the screen from the ray
// through `from` to the ray through `to`, appended to `out`.
void AppendArc(Point a, Point b, Point from, Point to, bool backwards, std::vector<Point>& out) {
    const double cx = (a.x + b.x - 1) / 2.0, cy = (a.y + b.y - 1) / 2.0;
    const double rx = std::max(0.0, (std::abs(a.x - b.x) - 1) / 2.0);
    const double ry = std::max(0.0, (std::abs(a.y - b.y) - 1) / 2.0);
    const double a1 = std::atan2(-(from.y - cy), from.x - cx);
    const double a2 = std::atan2(-(to.y - cy), to.x - cx);
    double span = a2 - a1;
    while (span <= 0)
        span += 2 * M_PI;
    // About one vertex every two pixels of arc.
    const int n = std::clamp(static_cast<int>(std::max(rx, ry) * span / 2), 1, 2000);
    std::vector<Point> arc;
    for (int i = 0; i <= n; ++i) {
        const double t = a1 + span * i / n;
        arc.push_back({static_cast<int>(std::lround(cx + rx * std::cos(t))),
                       static_cast<int>(std::lround(cy - ry * std::sin(t)))});
    }
    if (backwards)
        std::reverse(arc.begin(), arc.end());
    out.insert(out.end(), arc.begin(), arc.end());
}

} // namespace

std::vector<Point> ActuatorDisplayClass::QuarterRingOutline(const std::vector<Point>& p) {
    std::vector<Point> outline;
    if (p.size() < 6)
        return outline;
    AppendArc(p[0], p[1], p[4], p[5], false, outline);
    AppendArc(p[2], p[3], p[4], p[5], true, outline);
    return outline;
}

ActuatorDisplayClass::ActuatorDisplayClass(const DmActuatorInfoClass* actuator, double x0,
                                           double y0, double k, Canvas& mirrorCanvas,
                                           Canvas& auxiliaryCanvas)
    : mirrorCanvas_(&mirrorCanvas), auxiliaryCanvas_(&auxiliaryCanvas) {
    if (!actuator)
        return;
    Label = actuator->Label;
    Shape = actuator->Shape;
    Auxiliary = actuator->Auxilary;
    DisplayIndex = actuator->DisplayIndex;
    Colour = &actuator->VoltageColour;
    VoltageText = &actuator->VoltageText;

    if (Auxiliary) {
        CanvasLock lock(auxiliaryCanvas);
        auxiliaryCanvas.SetFontSize(8);
        FontHeight = auxiliaryCanvas.FontHeight();
        // The bar's row; far-off rows are simply not visible.
        Points = {Point{0, std::clamp(TruncToInt(actuator->Y), -kPixelLimit, kPixelLimit)}};
        PointCount = 1;
        return;
    }

    const double X = actuator->X, Y = actuator->Y;
    auto px = [&](double x) { return Pixel(x0 + k * x + 0.5); };
    auto py = [&](double y) { return Pixel(y0 + k * y + 0.5); };
    CentreX = x0 + k * X + 0.5;
    CentreY = y0 + k * Y + 0.5;
    const double a = actuator->Dpad_m / 2, b = actuator->DpadY_m / 2;

    Canvas& canvas = mirrorCanvas;
    CanvasLock lock(canvas);
    // The font fills the pad: the height of an "X" as wide as the pad,
    // limited by the pad's height.
    const int wX = canvas.TextWidth("X"), hX = canvas.TextHeight("X");
    const double f = wX > 0 ? (double(hX) / wX) * a : b;
    const double g = std::min(f, b);
    FontHeight = TruncToInt(-(k * g + 0.45 - 4));
    if (FontHeight >= 0)
        FontHeight = -1;
    // The widest voltage text must still fit across the pad: the face that
    // stands in for the design's may have wider digits, for its "X", than
    // the original, and the texts would run into the neighbours.
    if (Shape == ActuatorShape::Circular || Shape == ActuatorShape::Rectangular) {
        const double across = 2 * k * a - 2;
        for (; FontHeight < -1; ++FontHeight) {
            canvas.SetFontHeight(FontHeight);
            if (canvas.TextWidth("350V") <= across)
                break;
        }
    }
    canvas.SetFontHeight(FontHeight);

    const std::string voltage = *VoltageText;
    int lw = canvas.TextWidth(Label);
    int vw = canvas.TextWidth(voltage), vh = canvas.TextHeight(voltage);
    LabelX = CentreX - lw / 2;
    LabelY = CentreY;
    VoltageX = Pixel(x0 + k * X - 0.5 - vw / 2);
    VoltageY = Pixel(y0 + k * Y - 0.5 - vh);

    switch (Shape) {
    case ActuatorShape::Circular: {
        const double h = b * 0.5 / std::tan(M_PI / 6);
        Points = {{px(X - a / 2), py(Y - h)}, {px(X + a / 2), py(Y - h)}, {px(X + a), py(Y)},
                  {px(X + a / 2), py(Y + h)}, {px(X - a / 2), py(Y + h)}, {px(X - a), py(Y)}};
        LabelY = CentreY - 1;
        VoltageX = Pixel(CentreX - vw / 2);
        VoltageY = Pixel(CentreY + 1 - vh);
        PointCount = static_cast<int>(Points.size());
        FitTexts(canvas, -FontHeight, CentreY - 1, 2);
        break;
    }
    case ActuatorShape::Rectangular:
        Points = {{px(X + a), py(Y - b)}, {px(X - a), py(Y + b)}};
        PointCount = static_cast<int>(Points.size());
        FitTexts(canvas, -FontHeight, CentreY, -1);
        break;
    case ActuatorShape::Ring: {
        const double ro = actuator->Router, ri = actuator->Rinner;
        Points = {{px(X + ro), py(Y - ro)},
                  {px(X - ro), py(Y + ro)},
                  {px(X + ri), py(Y - ri)},
                  {px(X - ri), py(Y + ri)}};
        PointCount = static_cast<int>(Points.size());
        FitTexts(canvas, -FontHeight, CentreY, -1);
        break;
    }
    case ActuatorShape::QuarterRing: {
        const double ro = actuator->Router, ri = actuator->Rinner;
        const double m = (ri + ro) / 2, s = std::sin(M_PI / 4);
        // Quadrant on the screen: right (sx 1) or left, below (sy 1) or above.
        const int sx = X >= 0 ? 1 : -1, sy = Y >= 0 ? 1 : -1;
        // Arc ends, counter-clockwise on the screen.
        Point start, end;
        if (sx > 0 && sy > 0) {
            start = {px(X), py(Y + ro)};
            end = {px(X + ro), py(Y)};
        } else if (sx > 0) {
            start = {px(X + ro), py(Y)};
            end = {px(X), py(Y - ro)};
        } else if (sy > 0) {
            start = {px(X - ro), py(Y)};
            end = {px(X), py(Y + ro)};
        } else {
            start = {px(X), py(Y - ro)};
            end = {px(X - ro), py(Y)};
        }
        const int offset = Pixel(k * m * s + 0.5);
        const Point fill{Pixel(CentreX + sx * offset), Pixel(CentreY + sy * offset)};
        Points = {{px(X + ro), py(Y - ro)},
                  {px(X - ro), py(Y + ro)},
                  {px(X + ri), py(Y - ri)},
                  {px(X - ri), py(Y + ri)},
                  start,
                  end,
                  {px(X + sx * ri), py(Y)},
                  {px(X + sx * ro), py(Y)},
                  {px(X), py(Y + sy * ro)},
                  {px(X), py(Y + sy * ri)},
                  fill};
        canvas.SetFontSize(8);
        FontHeight = canvas.FontHeight();
        lw = canvas.TextWidth(Label);
        vw = canvas.TextWidth(voltage);
        vh = canvas.TextHeight(voltage);
        LabelX = fill.x - lw / 2;
        LabelY = fill.y;
        VoltageX = fill.x - vw / 2;
        VoltageY = fill.y - vh;
        PointCount = static_cast<int>(Points.size());
        FitTexts(canvas, -FontHeight, fill.y, 0, fill.x);
        break;
    }
    default:
        break; // unknown shape: nothing to draw
    }
    if (!fitted_)
        VoltageCentreX = VoltageX + vw / 2.0;
    PointCount = static_cast<int>(Points.size());
}

void ActuatorDisplayClass::FitTexts(Canvas& canvas, int fitted, double anchorY, int voltageDrop,
                                    std::optional<double> anchorX) {
    const double ax = anchorX.value_or(CentreX);
    fitted_ = true;
    VoltageCentreX = ax;
    // The widest voltage the map shows.
    const std::string widest = "350V";
    const int start = std::max(fitted, MinTextPixels);
    for (int pixels = start; pixels >= MinTextPixels; --pixels) {
        canvas.SetFontHeight(-pixels);
        const int lw = canvas.TextWidth(Label), lh = canvas.TextHeight(Label);
        const int vw = canvas.TextWidth(widest), vh = canvas.TextHeight(widest);
        const double labelX = ax - lw / 2, labelY = anchorY;
        const double voltageX = ax - vw / 2, voltageY = anchorY + voltageDrop - vh;
        if (ContainsBox(labelX, labelY, lw, lh) && ContainsBox(voltageX, voltageY, vw, vh)) {
            FontHeight = -pixels;
            LabelX = labelX;
            LabelY = labelY;
            LabelWidth = lw;
            LabelHeight = lh;
            VoltageX = Pixel(voltageX);
            VoltageY = Pixel(voltageY);
            return;
        }
    }
    // No room for both: the label alone, centred on the anchor.
    voltageFits_ = false;
    for (int pixels = start; pixels >= MinTextPixels; --pixels) {
        canvas.SetFontHeight(-pixels);
        const int lw = canvas.TextWidth(Label), lh = canvas.TextHeight(Label);
        const double labelX = ax - lw / 2, labelY = anchorY - lh / 2;
        if (ContainsBox(labelX, labelY, lw, lh)) {
            FontHeight = -pixels;
            LabelX = labelX;
            LabelY = labelY;
            LabelWidth = lw;
            LabelHeight = lh;
            VoltageY = Pixel(anchorY - canvas.TextHeight(widest) / 2);
            return;
        }
    }
    // Not even the label is readable here: the pad keeps its fill only.
    LabelShown = false;
    VoltageShown = false;
}

bool ActuatorDisplayClass::Contains(double x, double y) const {
    if (Auxiliary || PointCount <= 0)
        return false;
    const std::vector<Point>& p = Points;
    switch (Shape) {
    case ActuatorShape::Circular: {
        if (p.size() < 6)
            return false;
        bool inside = false;
        for (std::size_t i = 0, j = 5; i < 6; j = i++)
            if ((p[i].y > y) != (p[j].y > y) &&
                x < double(p[j].x - p[i].x) * (y - p[i].y) / double(p[j].y - p[i].y) + p[i].x)
                inside = !inside;
        return inside;
    }
    case ActuatorShape::Rectangular:
        return p.size() >= 2 && x >= std::min(p[0].x, p[1].x) && x <= std::max(p[0].x, p[1].x) &&
               y >= std::min(p[0].y, p[1].y) && y <= std::max(p[0].y, p[1].y);
    case ActuatorShape::Ring:
    case ActuatorShape::QuarterRing: {
        if (p.size() < 4)
            return false;
        const double cx = (p[0].x + p[1].x) / 2.0, cy = (p[0].y + p[1].y) / 2.0;
        const double outer = std::abs(p[0].x - p[1].x) / 2.0;
        const double r = std::hypot(x - cx, y - cy);
        if (Shape == ActuatorShape::Ring)
            return r <= outer;
        if (p.size() < 11)
            return false;
        // The quadrant is the one the point inside the segment lies in.
        const double inner = std::abs(p[2].x - p[3].x) / 2.0;
        const double sx = p[10].x >= cx ? 1 : -1, sy = p[10].y >= cy ? 1 : -1;
        return r >= inner && r <= outer && (x - cx) * sx >= -0.5 && (y - cy) * sy >= -0.5;
    }
    default:
        return false;
    }
}

bool ActuatorDisplayClass::ContainsBox(double x, double y, double width, double height) const {
    // A pixel of the text cell's edge may touch the outline.
    const double left = x + 1, top = y + 1, right = x + width - 2, bottom = y + height - 2;
    return Contains(left, top) && Contains(right, top) && Contains(left, bottom) &&
           Contains(right, bottom) && Contains((left + right) / 2, top) &&
           Contains((left + right) / 2, bottom);
}

double ActuatorDisplayClass::DistanceTo(double x, double y) const {
    return std::hypot(CentreX - x, CentreY - y);
}

void ActuatorDisplayClass::Paint() {
    if (PointCount <= 0 || Points.empty() || !VoltageText)
        return;
    LastText = *VoltageText;
    if (LastText.empty())
        return;
    const TColor colour = Colour ? *Colour : clWhite;
    if (Auxiliary)
        PaintAuxiliary(*auxiliaryCanvas_, colour);
    else
        PaintOnMap(*mirrorCanvas_, colour);
}

void ActuatorDisplayClass::PaintTexts(Canvas& canvas, TColor background, int labelX, int labelY,
                                      int voltageX, int voltageY) {
    canvas.SetFontHeight(FontHeight);
    if (canvas.FontSize() <= 2)
        return;
    const TColor ink = TextColourOver(background);
    const BrushStyle style = canvas.GetBrushStyle();
    canvas.SetBrushStyle(BrushStyle::Clear);
    if (Shape == ActuatorShape::Ring) {
        // A ring's texts sit over its white hole as well as over the ring:
        // a one-pixel edge of the other colour keeps them readable on both.
        canvas.SetFontColor(ink == clWhite ? clBlack : clWhite);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx != 0 || dy != 0) {
                    if (LabelShown)
                        canvas.TextOut(labelX + dx, labelY + dy, Label);
                    if (VoltageShown)
                        canvas.TextOut(voltageX + dx, voltageY + dy, LastText);
                }
    }
    canvas.SetFontColor(ink);
    if (LabelShown)
        canvas.TextOut(labelX, labelY, Label);
    if (VoltageShown)
        canvas.TextOut(voltageX, voltageY, LastText);
    canvas.SetBrushStyle(style);
}

void ActuatorDisplayClass::PaintAuxiliary(Canvas& canvas, TColor colour) {
    CanvasLock lock(canvas);
    const int top = AuxiliaryRow() * AuxiliaryRowHeight;
    const int W = canvas.Width();
    canvas.SetFontHeight(FontHeight);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(colour);
    canvas.Rectangle(1, top + 1, W - 2, top + 26);
    const int lw = canvas.TextWidth(Label);
    const int vw = canvas.TextWidth(LastText), vh = canvas.TextHeight(LastText);
    PaintTexts(canvas, colour, (W - lw) / 2, top + 14, (W - vw) / 2, top + 13 - vh - 1);
}

void ActuatorDisplayClass::PaintOnMap(Canvas& canvas, TColor colour) {
    CanvasLock lock(canvas);
    const Point* p = Points.data();
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(colour);
    switch (Shape) {
    case ActuatorShape::Circular:
        canvas.Polygon(p, 6);
        break;
    case ActuatorShape::Rectangular:
        canvas.Rectangle(p[0].x, p[0].y, p[1].x, p[1].y);
        break;
    case ActuatorShape::Ring:
        canvas.Ellipse(p[0].x, p[0].y, p[1].x, p[1].y);
        canvas.SetBrushColor(clWhite);
        canvas.Ellipse(p[2].x, p[2].y, p[3].x, p[3].y);
        break;
    case ActuatorShape::QuarterRing: {
        // The arcs and edges as one closed polygon: a flood fill from the
        // fill point would leak wherever the rasterised arcs and edges fail
        // to meet, and would stop at any black already on the map.
        const std::vector<Point> outline = QuarterRingOutline(Points);
        canvas.Polygon(outline.data(), static_cast<int>(outline.size()));
        canvas.SetBrushColor(clWhite);
        break;
    }
    default:
        return;
    }
    // The voltage text changes: centre it as it is now, and leave it to the
    // tooltip when it is wider than the pad has room for.
    canvas.SetFontHeight(FontHeight);
    const int vw = canvas.TextWidth(LastText);
    VoltageX = Pixel(VoltageCentreX - vw / 2.0);
    VoltageShown = LabelShown && voltageFits_ &&
                   (!fitted_ || ContainsBox(VoltageX, VoltageY, vw, canvas.TextHeight(LastText)));
    PaintTexts(canvas, colour, Pixel(LabelX), Pixel(LabelY), VoltageX, VoltageY);
}

} // namespace ostrander
