#pragma once
// The three-dimensional image: the mirror surface as a wire-frame seen
// obliquely from the front and above, with the peak-to-valley label.
#include "model/Grid.h"
#include "model/pictures/PictureCommon.h"

#include <cstdint>
#include <optional>

namespace ostrander {

struct ThreeDOptions {
    // "Remove Focus and Piston": heights are shrunk logarithmically so that
    // small deflections recede, the more so at low voltage.
    bool RemoveFocus = false;
    // All voltages sit at the 0.1 V floor (with RemoveFocus the view is flat).
    bool VoltagesAtFloor = false;
    // Largest actuator voltage over 350 V.
    double PeakVoltageFraction = 0.0;
    // Electrode gap in metres: a peak-to-valley above a third of it is
    // labelled " (snap-down)".
    double Separation_m = 0.0;
    // The membrane model's snap-down verdict; unset: the rule above.
    std::optional<bool> SnapDown;
};

// The height shown for a surface value v, A being the largest magnitude of
// the surface.
double ThreeDViewValue(double v, double A, const ThreeDOptions& options);

// Draws the n x n surface (metres, rows[i][j]) on the whole canvas. viewGrid
// is the working grid kept between draws, made again (all 0) when n changes. Returns the extremes of the surface, finite false
// when the grid is missing or not finite; "Nothing to display." is shown
// then and when the surface is flat.
GridRange DrawThreeDImage(Canvas& canvas, const double* const* surface, int n,
                          const ThreeDOptions& options, Grid<double>& viewGrid);

} // namespace ostrander
