#pragma once
// What every result picture shares: the pixel conversion, the scan of a grid
// for its extremes, the peak-to-valley text, the maker's mark, the frame and
// the "Nothing to display." picture and the note on a flat surface.
#include "toolkit/Canvas.h"

#include <cmath>
#include <optional>
#include <string>

namespace ostrander {

// The design's picture sizes, pixels: the surface image, interferogram and
// three-dimensional image, and the two far-field pictures.
inline constexpr int kPictureWidth = 309;
inline constexpr int kPictureHeight = 335;
inline constexpr int kFarFieldPictureSize = 335;

// A coordinate in whole pixels, truncated toward zero. A non-finite value
// gives 0 and values beyond +-32767 are held there, so no picture ever
// converts a NaN or an out-of-range double to an integer.
inline int PixelOf(double value) {
    constexpr double kLimit = 32767.0;
    if (!std::isfinite(value))
        return 0;
    if (value > kLimit)
        return static_cast<int>(kLimit);
    if (value < -kLimit)
        return -static_cast<int>(kLimit);
    return static_cast<int>(value);
}

// Extremes of an n x n grid of row pointers (rows[i][j]), scanned from
// [0][0]. finite is false when the grid is missing (null or n <= 0) or holds
// a NaN or an infinity; min and max are then 0.
struct GridRange {
    bool finite = false;
    double min = 0.0;
    double max = 0.0;
};
GridRange ScanGrid(const double* const* rows, int n);

// "PV(um):" and the peak-to-valley in micrometres as "0.000E-00", with
// " (snap-down)" when it exceeds a third of the separation (both in metres),
// or, when the membrane model gives one, as its own verdict says.
std::string PeakToValleyText(double peakToValley_m, double separation_m,
                             std::optional<bool> snapDown = std::nullopt);

// The peak-to-valley text at (1, 1) in the font and colour set. With the
// snap-down mark it stands on a white box just its size, so that the
// warning reads on any colour of the picture under it; the brush is left as
// it was.
void DrawPeakToValleyLabel(Canvas& canvas, const std::string& text);

// Black-framed white canvas reading "Nothing to display." in red at (1, 1).
void DrawNothingToDisplay(Canvas& canvas);

// Black-framed white canvas with a plain note in dark grey that the surface
// is flat because every pad is at the same voltage: a state, not a fault.
void DrawFlatSurfaceNote(Canvas& canvas);

// "Brendimor" in italic "Impact" at the lower left, a twentieth of the
// height tall, over white; the font style and name are put back afterwards.
void DrawMakersMark(Canvas& canvas);

// Black frame round the whole canvas; the brush is left solid.
void DrawFrame(Canvas& canvas);

// Font and colours of the pictures.
inline constexpr TColor kMakersMarkColor = 0x580800;
inline constexpr TColor kLabelColor = 0x888888;
inline constexpr char kMakersMark[] = "Brendimor";
inline constexpr char kSnapDownMark[] = " (snap-down)";
inline constexpr char kNothingToDisplay[] = "Nothing to display.";
inline constexpr char kFlatSurfaceNote[] = "All pads are at the same voltage:";
inline constexpr char kFlatSurfaceNote2[] = "the membrane is flat.";

} // namespace ostrander
