#include "model/pictures/PictureColourBars.h"

#include "Shared_Software/Mirror/ColorScale.h"
#include "model/pictures/AnalysisPictures.h"
#include "model/pictures/SurfaceImages.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

namespace {

constexpr int kBarLeft = 4;
constexpr int kBarWidth = 12;

} // namespace

PictureColourBar SurfaceColourBar(const GridRange& range) {
    PictureColourBar bar;
    if (!range.finite || !(range.max > range.min))
        return bar;
    // The surface picture's levels run over its extremes in the same hot
    // scale as the beam maps.
    bar.colour = BeamMapColour;
    bar.low = range.min * 1e6;
    bar.high = range.max * 1e6;
    bar.unit = "um";
    return bar;
}

PictureColourBar FringeColourBar(double wavelength) {
    if (!std::isfinite(wavelength) || wavelength <= 0)
        wavelength = kInterferogramWavelength;
    return {FringeColour, 0.0, wavelength / 2 * 1e9, "nm"};
}

PictureColourBar FarFieldColourBar() {
    return {FarFieldColour, 0.0, 1.0, "I/Imax"};
}

TColor FringeColour(double level) {
    // The interferogram's grey for a height h is 1 - sin^2(2 pi h / lambda):
    // over half a wavelength it goes from bright through dark to bright.
    const double s = std::isfinite(level) ? std::sin(level * M_PI) : 0.0;
    return LevelColor(PixelOf((1.0 - s * s) * 255.0), 255, 0);
}

TColor FarFieldColour(double level) {
    const int g = std::isfinite(level) ? std::clamp(PixelOf(level * 255.0), 0, 255) : 0;
    return RGBColor(g, g, g);
}

Rect ColourBarPlace(Canvas& canvas, int top, int bottom) {
    const int textHeight = canvas.TextHeight("0");
    top = std::max(top, 0);
    bottom = std::min(bottom, canvas.Height());
    const int barTop = top + textHeight + textHeight / 2 + 4;
    const int barBottom = std::max(barTop, bottom - textHeight / 2 - 2);
    return {kBarLeft, barTop, kBarLeft + kBarWidth, barBottom};
}

void DrawPictureColourBar(Canvas& canvas, const PictureColourBar& bar, int top, int bottom) {
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(clWhite);
    canvas.FillRect({0, 0, canvas.Width(), canvas.Height()});
    if (!bar.colour)
        return;
    canvas.SetPenColor(clBlack);
    canvas.SetFontColor(clBlack);
    canvas.SetBrushStyle(BrushStyle::Clear);
    const Rect place = ColourBarPlace(canvas, top, bottom);
    canvas.TextOut(1, std::max(top, 0) + 1, bar.unit);
    if (place.Height() >= 8)
        DrawColourBar(canvas, place, bar.colour,
                      LinearScaleTicks(bar.low, bar.high, place.Height()));
    canvas.SetBrushStyle(BrushStyle::Solid);
}

} // namespace ostrander
