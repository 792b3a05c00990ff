#include "model/pictures/ThreeDImage.h"

#include "model/pictures/WireFrame.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

double ThreeDViewValue(double v, double A, const ThreeDOptions& options) {
    if (v == 0.0)
        return 0.0;
    if (!options.RemoveFocus)
        return v;
    if (options.VoltagesAtFloor)
        return 0.0;
    return v * std::log10(std::fabs(v) / A * 9.0 * options.PeakVoltageFraction + 1.0);
}

GridRange DrawThreeDImage(Canvas& canvas, const double* const* surface, int n,
                          const ThreeDOptions& options, Grid<double>& viewGrid) {
    const GridRange range = ScanGrid(surface, n);
    if (!range.finite) {
        DrawNothingToDisplay(canvas);
        return range;
    }
    const double A = std::max(std::fabs(range.max), std::fabs(range.min));
    if (viewGrid.Rows() != n || viewGrid.Cols() != n)
        viewGrid.Assign(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            viewGrid[i][j] = ThreeDViewValue(surface[i][j], A, options);

    if (range.max - range.min == 0.0) {
        DrawNothingToDisplay(canvas);
        return range;
    }
    const int W = canvas.Width(), H = canvas.Height();
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.Rectangle(0, 0, W, H);
    // Heights and colours are scaled by the surface's extremes, not the view's.
    DrawWireFrame(canvas, viewGrid.RowPointers().data(), n, 2, range.min, range.max);

    canvas.SetPenColor(clWhite);
    canvas.SetBrushColor(clWhite);
    canvas.SetFontColor(kLabelColor);
    canvas.SetFontHeight(16);
    canvas.SetFontSize(12);
    DrawPeakToValleyLabel(
        canvas, PeakToValleyText(range.max - range.min, options.Separation_m, options.SnapDown));

    DrawMakersMark(canvas);
    DrawFrame(canvas);
    return range;
}

} // namespace ostrander
