#pragma once
// The colour keys that can stand beside the window's surface map,
// interferogram and far-field image: each picture's own colours against
// what they show, drawn with the analysis pictures' colour bar on a narrow
// canvas of their own, so the pictures themselves are left as they are.
#include "model/pictures/PictureCommon.h"
#include "toolkit/Canvas.h"

#include <string>

namespace ostrander {

// A picture's colour scale: colour(level) for levels 0 (low) to 1 (high),
// low and high in the unit written above the bar. No colour: nothing to
// key (no surface, a level one), and the strip stays blank.
struct PictureColourBar {
    TColor (*colour)(double) = nullptr;
    double low = 0.0;
    double high = 0.0;
    std::string unit;
};

// The surface map's hot scale over the surface's extremes (metres), in
// micrometres as its peak-to-valley; none for a flat or non-finite range.
PictureColourBar SurfaceColourBar(const GridRange& range);
// The interferogram's grey against the surface height over one fringe: a
// bright fringe every half wavelength (metres; not positive or finite: the
// interferogram's 1064 nm), in nm.
PictureColourBar FringeColourBar(double wavelength);
// The far-field image's grey against the intensity relative to the peak.
PictureColourBar FarFieldColourBar();

// The grey of the interferogram for a surface height of `level` fringes.
TColor FringeColour(double level);
// The grey of the far-field image for an intensity `level` of the peak.
TColor FarFieldColour(double level);

// The width a window keeps for a bar's strip.
inline constexpr int kColourBarStripWidth = 58;

// The bar's place on a strip whose picture spans rows top..bottom-1 beside
// it: the unit on a line above the bar, room for the half labels at its ends.
Rect ColourBarPlace(Canvas& canvas, int top, int bottom);
// Draws the whole strip: white, then (with a colour) the unit and the bar
// with ticks at round values, at ColourBarPlace(canvas, top, bottom).
void DrawPictureColourBar(Canvas& canvas, const PictureColourBar& bar, int top, int bottom);

} // namespace ostrander
