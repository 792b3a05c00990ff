#pragma once
// Pictures of the analysis that optics tools show: the far field on a log
// scale with a colour bar and angular axes, the encircled-energy curve, and
// a map of a grid over the beam in false colour on a scale of the caller's.
// Each draws on the whole canvas; none touches the five result pictures.
#include "model/EngineGrid.h"
#include "toolkit/Canvas.h"

#include <string>
#include <vector>

namespace ostrander {

// A vertical colour bar over `bar`, level 1 at the top and 0 at the bottom,
// each row in colour(level), framed, with a tick and a label at each tick
// (`below` pixels below the bar's top). The drawing state on entry is used
// for the frame, ticks and labels (a clear brush leaves the labels' ground).
struct ColourBarTick {
    int below = 0;
    std::string text;
};
void DrawColourBar(Canvas& canvas, const Rect& bar, TColor (*colour)(double),
                   const std::vector<ColourBarTick>& ticks);
// Ticks at round values (1, 2 or 5 times a power of ten) of the linear
// scale from low (the bar's bottom) to high (its top) over a bar `height`
// pixels high; none for an empty or non-finite scale.
std::vector<ColourBarTick> LinearScaleTicks(double low, double high, int height);

// The far field in the engine's layout: size x size intensities, element
// (i, j) at [i * size + j] with i along x and j along y, the optical axis at
// (size/2, size/2). pixelScale and lambdaOverD in radians.
struct LogFarFieldInput {
    const std::vector<double>* intensity = nullptr;
    int size = 0;
    double pixelScale = 0.0;
    double lambdaOverD = 0.0;
    double reach = 10.0; // half-width shown, in lambda/D
    int decades = 6;     // the colour scale runs from 10^-decades to 1 of the peak
    std::string note;    // in red at the top right, such as why not to trust the picture
};

// The plot area, its centre and its scale, in canvas pixels.
struct LogFarFieldLayout {
    Rect plot;
    double centreX = 0.0;
    double centreY = 0.0;
    double pixelsPerLambdaOverD = 0.0;
    Rect colourBar;
};
LogFarFieldLayout LayoutLogFarField(const Canvas& canvas, const LogFarFieldInput& input);

// The colour of a level from 0 (10^-decades of the peak and below) to 1 (the peak).
TColor LogScaleColour(double level);

// x grows to the right and y downwards, as in the other pictures. Shows
// "Nothing to display." when the input has no finite, positive peak or no
// scale.
void DrawLogFarField(Canvas& canvas, const LogFarFieldInput& input);

// The plot area of the encircled-energy curve: radius 0 at its left edge,
// the last radius at its right edge less one pixel, fraction 1 on its top row.
Rect EncircledEnergyPlotArea(const Canvas& canvas);

// The fraction of the energy against the radius in lambda/D, fraction[k] at
// k * lambdaOverDPerElement; "Nothing to display." for no points or no scale.
void DrawEncircledEnergyPlot(Canvas& canvas, const std::vector<double>& fraction,
                             double lambdaOverDPerElement);

// A grid over the beam (wavefronts, surfaces) in the surface map's false
// colour on the scale low .. high, which several maps can share: the beam
// disc fills a square plot (x to the right, y downwards), white round it,
// the title above and a colour bar in nm at the right.
struct BeamMapInput {
    const std::vector<double>* values = nullptr; // grid.n x grid.n, engine layout, m
    EngineGrid grid;
    double low = 0.0, high = 0.0; // m
    std::string title;
};

// The plot (the beam's bounding square) and the colour bar, in canvas pixels.
struct BeamMapLayout {
    Rect plot;
    Rect colourBar;
};
BeamMapLayout LayoutBeamMap(const Canvas& canvas);

// The colour of a value at a level from 0 (low and below) to 1 (high and above).
TColor BeamMapColour(double level);

// "Nothing to display." without a grid of the grid's size, a beam, a finite
// value in it or a scale (high above low, both finite).
void DrawBeamMap(Canvas& canvas, const BeamMapInput& input);

} // namespace ostrander
