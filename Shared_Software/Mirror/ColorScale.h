#pragma once
// The colour scales of the false-colour pictures: the rainbow voltage scale,
// its legend strip, a brightness measure for choosing black or white text,
// and the grey and hot level scales. Pure functions; colours are 0x00BBGGRR.
#include "toolkit/Canvas.h"
#include "toolkit/TColor.h"

namespace ostrander {

// Rainbow scale: the maximum (and above) is white, the minimum (and below)
// black, in between magenta, blue, cyan, green, yellow, red from low to high.
// An empty range (maximum == minimum) gives white for every value.
TColor ScaleColor(double value, double minimum, double maximum);

// Weighted brightness 0.117 red + 0.601 green + 0.306 blue of the colour's
// plain RGB value (system colours resolved first). Text over a colour is
// black when this exceeds 140, else white.
double ColorBrightness(TColor colour);

// Level scale for a level 0..fullScale: mode 0 grey, any other mode hot
// (black, red, yellow, white).
TColor LevelColor(int level, int fullScale, int mode);

// Paints the legend of the rainbow scale over the whole canvas: the scale
// from minimum (left) to maximum (right), the two ends written in white.
void DrawVoltageLegend(Canvas& canvas, double minimum, double maximum);

} // namespace ostrander
