#pragma once
// The oblique wire-frame view shared by the three-dimensional image and the
// far-field plot: a square grid seen from the front (azimuth 270 degrees)
// and 30 degrees above, scaled to fill the canvas.
#include "toolkit/Canvas.h"

namespace ostrander {

// Draws the S x S grid rows[i][j] on the whole canvas: columns i run left to
// right, rows j downward, larger values lie lower. Heights and colours are
// scaled by min..max; every stride-th line of each family is drawn, each
// segment in the colour of its end point (green at min to blue at max, red
// where the value is exactly 0). Draws nothing for a missing grid or a
// stride below 1.
void DrawWireFrame(Canvas& canvas, const double* const* rows, int S, int stride, double min,
                   double max);

// The screen point of grid point (i, j) with value v, as DrawWireFrame
// places it on a W x H canvas.
Point WireFramePoint(int i, int j, double v, int S, double min, double max, int W, int H);

} // namespace ostrander
