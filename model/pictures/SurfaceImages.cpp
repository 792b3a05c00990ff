#include "model/pictures/SurfaceImages.h"

#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/DMInfoClass.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ostrander {

namespace {

// Pixel geometry of a surface picture: cells of cw x ch pixels, the mirror
// centre at (W/2, H/2), metres turned into samples by the grid spacing.
struct Layout {
    Layout(const Canvas& canvas, const SurfaceGrid& g, double diameter)
        : W(canvas.Width()), H(canvas.Height()), cw((W - 2.0) / (g.n + 1)),
          ch((H - 2.0) / (g.n + 1)), centreX(W / 2), centreY(H / 2),
          samplesPerMetre((g.n * g.fill - 2.0) / diameter) {}

    double Samples(double metres) const { return metres * samplesPerMetre; }
    double X(double metres) const { return centreX + Samples(metres) * cw; }
    double Y(double metres) const { return centreY + Samples(metres) * ch; }

    int W, H;
    double cw, ch;
    int centreX, centreY;
    double samplesPerMetre;
};

// LevelColor over a full scale of 255 for one mode, looked up: the cells ask
// for it ten thousand times per picture.
class LevelTable {
public:
    explicit LevelTable(int mode) : mode_(mode) {
        for (int level = 0; level < 256; ++level)
            colors_[level] = LevelColor(level, 255, mode);
    }
    TColor operator()(int level) const {
        return level >= 0 && level < 256 ? colors_[level] : LevelColor(level, 255, mode_);
    }

private:
    int mode_;
    TColor colors_[256];
};

// Outline of a box given by its centre and half sizes in pixels.
Rect Box(double x, double y, double halfWidth, double halfHeight) {
    return {PixelOf(x - halfWidth), PixelOf(y - halfHeight), PixelOf(x + halfWidth),
            PixelOf(y + halfHeight)};
}

void DrawMirrorOutline(Canvas& canvas, const Layout& L, const MirrorDrawing& mirror) {
    canvas.SetPenColor(clRed);
    canvas.SetBrushStyle(BrushStyle::Clear);
    const double r = L.Samples(mirror.Diameter_m / 2.0);
    const Rect box = Box(L.centreX, L.centreY, r * L.cw, r * L.ch);
    if (mirror.Square)
        canvas.Rectangle(box);
    else
        canvas.Ellipse(box.left, box.top, box.right, box.bottom);
    canvas.SetBrushStyle(BrushStyle::Solid);
}

// Outlines and numbers of the actuators; leaves the brush clear.
void DrawActuatorOverlay(Canvas& canvas, const Layout& L, const MirrorDrawing& mirror) {
    canvas.SetPenColor(clBlue);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.SetFontColor(clLime);
    const double cw = L.cw, ch = L.ch;
    int quarter = 1;
    // Rings beside one another (a ring of rings) rather than about the
    // mirror's centre: each is numbered in its own middle.
    bool ringOfRings = false;
    for (const MirrorDrawing::Actuator& a : mirror.actuators)
        ringOfRings = ringOfRings || (a.present && std::hypot(a.X, a.Y) >= a.Rinner);
    for (std::size_t index = 0; index < mirror.actuators.size(); ++index) {
        const MirrorDrawing::Actuator& a = mirror.actuators[index];
        if (!a.present)
            continue;
        canvas.SetFontSize(12);
        const double cx = L.X(a.X), cy = L.Y(a.Y);
        const double halfX = L.Samples(a.Dcontact_m / 2.0) * cw;
        const double halfY = L.Samples(a.DcontactY_m / 2.0) * cw;
        double labelX = cx - halfX, labelY = cy + halfX;
        switch (mirror.ActuatorType) {
        case 1:
            canvas.Rectangle(Box(cx, cy, halfX, halfY));
            labelY = cy + halfY;
            break;
        case 2: {
            // A ring whose hole holds the mirror's centre is drawn about
            // it; one beside it about its own centre.
            const bool aroundCentre = std::hypot(a.X, a.Y) < a.Rinner;
            const double ox = aroundCentre ? L.centreX : cx, oy = aroundCentre ? L.centreY : cy;
            for (double radius : {a.Rinner, a.Router}) {
                const double r = L.Samples(radius) * cw;
                const Rect b = Box(ox, oy, r, r);
                canvas.Ellipse(b.left, b.top, b.right, b.bottom);
            }
            if (!ringOfRings) {
                labelX = ox - halfX;
                labelY = oy + halfX;
            } else {
                const std::string number = std::to_string(index + 1);
                labelX = ox - canvas.TextWidth(number) / 2.0;
                labelY = oy - canvas.TextHeight(number) / 2.0;
            }
            break;
        }
        case 3: {
            const double ri = L.Samples(a.Rinner), ro = L.Samples(a.Router);
            const double mid = (ro + ri) / 2.0, width = (ro - ri) / 2.0;
            const double gap = L.Samples(mirror.QuarterRingGap_m / 2.0);
            if (quarter == 1)
                for (double r : {ri, ro}) {
                    const Rect b = Box(L.centreX, L.centreY, r * cw, r * ch);
                    canvas.Ellipse(b.left, b.top, b.right, b.bottom);
                }
            // Gap box on the mid-circle: right, below, left, above.
            static constexpr int kDirection[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
            const int dx = kDirection[quarter - 1][0], dy = kDirection[quarter - 1][1];
            const double across = dx != 0 ? width : gap, along = dx != 0 ? gap : width;
            canvas.Rectangle(
                Box(L.centreX + dx * mid * cw, L.centreY + dy * mid * ch, across * cw, along * ch));
            quarter = quarter % 4 + 1;
            // (X, Y) is either a place on the segment or, when it lies well
            // inside the ring, only the ring's offset by half the gap: the
            // number then goes to the middle of the segment's own sector,
            // on the diagonal of its quadrant.
            double px = cx, py = cy;
            const double middle = (a.Rinner + a.Router) / 2.0;
            if (std::hypot(a.X, a.Y) < middle / 2.0) {
                const double d = L.Samples(middle) / std::sqrt(2.0);
                px = cx + (a.X < 0 ? -d : d) * cw;
                py = cy + (a.Y < 0 ? -d : d) * ch;
                const int size = std::clamp(PixelOf(width * cw), 8, 12);
                canvas.SetFontSize(size);
                labelX = px - canvas.TextWidth(std::to_string(index + 1)) / 2.0;
                labelY = py - canvas.TextHeight(std::to_string(index + 1)) / 2.0;
                break;
            }
            labelX = px - width * cw;
            labelY = py - width * cw;
            break;
        }
        default: {
            const Rect b = Box(cx, cy, halfX, halfX);
            canvas.Ellipse(b.left, b.top, b.right, b.bottom);
            break;
        }
        }
        canvas.TextOut(PixelOf(labelX), PixelOf(labelY), std::to_string(index + 1));
    }
}

// Everything the outlines and numbers of the mirror and its actuators
// depend on besides the canvas, for Canvas::DrawLayer.
std::vector<double> OverlayKey(const Layout& L, const MirrorDrawing& mirror) {
    std::vector<double> key = {1.0, static_cast<double>(L.W), static_cast<double>(L.H), L.cw, L.ch,
                               static_cast<double>(L.centreX), static_cast<double>(L.centreY),
                               L.samplesPerMetre, mirror.Diameter_m, mirror.Square ? 1.0 : 0.0,
                               static_cast<double>(mirror.ActuatorType), mirror.QuarterRingGap_m};
    key.reserve(key.size() + 7 * mirror.actuators.size());
    for (const MirrorDrawing::Actuator& a : mirror.actuators)
        key.insert(key.end(), {a.present ? 1.0 : 0.0, a.X, a.Y, a.Rinner, a.Router, a.Dcontact_m,
                               a.DcontactY_m});
    return key;
}

// Cross-section profiles through the middle column and the middle row.
void DrawProfiles(Canvas& canvas, const Layout& L, const SurfaceGrid& g, const GridRange& range) {
    const double pv = range.max - range.min;
    if (!(pv > 0.0))
        return;
    canvas.SetPenColor(clFuchsia);
    const int middle = g.n / 2;
    for (int j = 0; j < g.n; ++j) {
        const int x = PixelOf(std::fabs(L.W / pv * (g.rows[middle][j] - range.min)));
        const int y = PixelOf(j * L.ch);
        if (j == 0)
            canvas.MoveTo(x, y);
        else
            canvas.LineTo(x, y);
    }
    for (int i = 0; i < g.n; ++i) {
        const int x = PixelOf(i * L.cw);
        const int y = PixelOf(L.H - std::fabs(L.H / pv * (g.rows[i][middle] - range.min)));
        if (i == 0)
            canvas.MoveTo(x, y);
        else
            canvas.LineTo(x, y);
    }
}

// The steps both pictures share around their cells.
template <class DrawCells>
GridRange DrawSurfacePicture(Canvas& canvas, const SurfaceGrid& g, const MirrorDrawing& mirror,
                             bool profiles, DrawCells drawCells) {
    const GridRange range = ScanGrid(g.rows, g.n);
    if (!range.finite || range.max - range.min == 0.0) {
        DrawNothingToDisplay(canvas);
        return range;
    }
    const Layout L(canvas, g, mirror.Diameter_m);
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.Rectangle(0, 0, L.W, L.H);

    drawCells(L, range);

    // The same outlines and numbers on every pass: drawn once per size. The
    // colours the last cell left are replaced, so that the layer's starting
    // state is the same on every pass too.
    canvas.SetPenColor(clRed);
    canvas.SetBrushColor(clWhite);
    canvas.DrawLayer(OverlayKey(L, mirror), [&](Canvas& c) {
        DrawMirrorOutline(c, L, mirror);
        DrawActuatorOverlay(c, L, mirror);
    });

    if (profiles)
        DrawProfiles(canvas, L, g, range);

    // Over the profiles: the label (and its snap-down box) stays whole.
    canvas.SetFontColor(kLabelColor);
    canvas.SetFontHeight(16);
    canvas.SetFontSize(12);
    canvas.SetBrushStyle(BrushStyle::Clear);
    DrawPeakToValleyLabel(
        canvas, PeakToValleyText(range.max - range.min, mirror.Separation_m, mirror.SnapDown));
    canvas.SetBrushStyle(BrushStyle::Solid);
    DrawMakersMark(canvas);
    DrawFrame(canvas);
    return range;
}

} // namespace

MirrorDrawing MirrorDrawingFrom(const DMInfoClass& model) {
    MirrorDrawing m;
    m.Diameter_m = model.Diameter_m;
    m.Square = model.Square;
    m.Separation_m = model.Separation_m;
    m.ActuatorType = model.ActuatorType_circ_rect_ring;
    m.QuarterRingGap_m = model.QuarterRingGap_m;
    // One pass over the list, keeping the first entry of each number, gives
    // what looking each number up would; the table only reaches the largest
    // number in use, however large Actuators claims to be.
    int largest = 0;
    for (const DmActuatorInfoClass* e = model.ActuatorList.first; e; e = e->next)
        if (e->DisplayIndex >= 1 && e->DisplayIndex <= model.Actuators)
            largest = std::max(largest, e->DisplayIndex);
    m.actuators.resize(largest);
    std::vector<bool> seen(largest, false);
    for (const DmActuatorInfoClass* e = model.ActuatorList.first; e; e = e->next) {
        if (e->DisplayIndex < 1 || e->DisplayIndex > largest || seen[e->DisplayIndex - 1])
            continue;
        seen[e->DisplayIndex - 1] = true;
        if (e->Auxilary)
            continue;
        m.actuators[e->DisplayIndex - 1] = {true,      e->X,          e->Y,          e->Rinner,
                                            e->Router, e->Dcontact_m, e->DcontactY_m};
    }
    return m;
}

GridRange DrawSurfaceImage(Canvas& canvas, const SurfaceGrid& surface,
                           const MirrorDrawing& mirror) {
    return DrawSurfacePicture(
        canvas, surface, mirror, true, [&](const Layout& L, const GridRange& range) {
            static const LevelTable hot(1);
            const double scale = 255.0 / (range.max - range.min);
            for (int i = 0; i < surface.n; ++i)
                for (int j = 0; j < surface.n; ++j) {
                    const int level = PixelOf((surface.rows[i][j] - range.min) * scale);
                    const TColor color = hot(level);
                    canvas.SetPenColor(color);
                    canvas.SetBrushColor(color);
                    canvas.Rectangle(PixelOf(i * L.cw + 1), PixelOf(j * L.ch),
                                     PixelOf((i + 1) * L.cw + 2), PixelOf((j + 1) * L.ch));
                }
        });
}

GridRange DrawInterferogram(Canvas& canvas, const SurfaceGrid& surface,
                            const MirrorDrawing& mirror) {
    return DrawSurfacePicture(
        canvas, surface, mirror, false, [&](const Layout& L, const GridRange&) {
            static const LevelTable grey(0);
            const double wavelength = std::isfinite(surface.wavelength) && surface.wavelength > 0
                                          ? surface.wavelength
                                          : kInterferogramWavelength;
            const double k = 2.0 * M_PI / wavelength;
            for (int i = 0; i < surface.n; ++i)
                for (int j = 0; j < surface.n; ++j) {
                    const double s = std::sin(surface.rows[i][j] * k);
                    const int level = PixelOf((1.0 - s * s) * 255.0);
                    const TColor color = grey(level);
                    canvas.SetPenColor(color);
                    canvas.SetBrushColor(color);
                    canvas.Rectangle(PixelOf(i * L.cw + 1), PixelOf(j * L.ch),
                                     PixelOf((i + 1) * L.cw + 1), PixelOf((j + 1) * L.ch + 1));
                }
        });
}

} // namespace ostrander
