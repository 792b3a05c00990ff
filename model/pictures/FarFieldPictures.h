#pragma once
// The far-field image (grey levels, the optical axis cross, the mirror
// outline) and the far-field plot (the same intensity as a wire-frame
// relief), both sampling the central part of the centred transform enlarged
// by the zoom factor.
#include "model/FarFieldLevels.h"
#include "model/Grid.h"
#include "model/pictures/PictureCommon.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrander {

// The centred transform: size x size complex elements in the 1-based
// interleaved layout (element (r, c) has its real part at index
// 2((r-1) size + c) - 1 and its imaginary part at the next), zero frequency
// at (size/2 + 1, size/2 + 1).
struct FarFieldInput {
    const float* field = nullptr;
    int size = 0;
    // Zoom factor; values below 1 are taken as 1.
    int zoom = 1;
};

// Which transform element each of S picture columns (or rows) shows:
// element = trunc(pixel x step + 1 + offset), step = ((T-1)/S)/zoom,
// offset = T/2 - (T/2)/zoom.
struct FarFieldSampling {
    FarFieldSampling(int size, int S, int zoom);
    // 1-based element shown at picture column (or row) pixel; ElementAt
    // takes a logical position between pixels (a device pixel's left edge).
    int Element(int pixel) const { return ElementAt(pixel); }
    int ElementAt(double pixel) const;
    // Picture column (and row) of the zero frequency.
    int AxisPixel() const;

    int size;
    double step;
    double offset;
};

// Intensity re^2 + im^2 of element (r, c), both 1-based.
inline double FarFieldIntensity(const float* field, int size, int r, int c) {
    const std::int64_t k = 2 * (static_cast<std::int64_t>(r - 1) * size + c) - 1;
    const double re = field[k], im = field[k + 1];
    return re * re + im * im;
}

// The grey levels of the transform: intensity x 255 / largest intensity,
// truncated, per element (model/FarFieldLevels.h).
FarFieldLevels MakeFarFieldLevels(const FarFieldInput& input);

// Draws the far-field image on the whole canvas. outlineHalfSize is half the
// mirror size in transform elements (one element per surface sample), drawn
// as a square or a circle round the axis. Shows "Nothing to display." when
// there is no transform or its largest intensity is 0 or not finite.
void DrawFarFieldImage(Canvas& canvas, const FarFieldInput& input, double outlineHalfSize,
                       bool square, std::string_view title);
// The same from the levels made of input's transform, which the plot shares.
void DrawFarFieldImage(Canvas& canvas, const FarFieldInput& input, const FarFieldLevels& levels,
                       double outlineHalfSize, bool square, std::string_view title);

// Draws the far-field plot; grid is the working grid kept between draws, made again (all 0) when the sampled size changes.
// Returns the extremes of the plot grid, finite false when nothing was
// sampled. Shows "Nothing to display." when there is no transform, its
// largest intensity is 0 or not finite, haveSurface is false, or every
// sample has the same level.
GridRange DrawFarFieldPlot(Canvas& canvas, const FarFieldInput& input, bool haveSurface,
                           Grid<double>& grid);
GridRange DrawFarFieldPlot(Canvas& canvas, const FarFieldInput& input,
                           const FarFieldLevels& levels, bool haveSurface, Grid<double>& grid);

} // namespace ostrander
