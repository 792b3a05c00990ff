#include "model/pictures/FarFieldPictures.h"

#include "model/pictures/WireFrame.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

FarFieldSampling::FarFieldSampling(int size, int S, int zoom) : size(size) {
    const double z = std::max(zoom, 1);
    step = S > 0 ? (static_cast<double>(size - 1) / S) / z : 0.0;
    offset = size / 2.0 - (size / 2.0) / z;
}

int FarFieldSampling::ElementAt(double pixel) const {
    return std::clamp(PixelOf(pixel * step + 1.0 + offset), 1, std::max(size, 1));
}

int FarFieldSampling::AxisPixel() const {
    return step > 0.0 ? PixelOf((size / 2 + 1 - offset) / step) : 0;
}

namespace {

// Largest intensity of the whole transform; 0 when there is none, NaN when
// an element is not finite.
double LargestIntensity(const FarFieldInput& in) {
    if (!in.field || in.size <= 0)
        return 0.0;
    double largest = 0.0;
    for (int r = 1; r <= in.size; ++r)
        for (int c = 1; c <= in.size; ++c) {
            const double v = FarFieldIntensity(in.field, in.size, r, c);
            if (!std::isfinite(v))
                return NAN;
            largest = std::max(largest, v);
        }
    return largest;
}

bool Showable(double largest) {
    return std::isfinite(largest) && largest > 0.0;
}

// Grey level 0..255 of every sampled element, row by row: levels[d S + c]
// for picture column c (the first index of the transform) and row d (the
// second). Sample p lies at logical pixel p * pixelsPerSample: 1 samples
// every logical pixel, 1 / ratio every device pixel.
std::vector<int> SampledLevels(const FarFieldInput& in, const FarFieldSampling& s, int S,
                               double largest, double pixelsPerSample = 1.0) {
    std::vector<int> element(S);
    for (int p = 0; p < S; ++p)
        element[p] = s.ElementAt(p * pixelsPerSample);
    std::vector<int> levels(static_cast<std::size_t>(S) * S);
    const double scale = 255.0 / largest;
    for (int d = 0; d < S; ++d) {
        int* row = levels.data() + static_cast<std::size_t>(d) * S;
        // Rows of the same element (most of them when zoomed or on a
        // high-density screen) are copied.
        if (d > 0 && element[d] == element[d - 1]) {
            std::copy(row - S, row, row);
            continue;
        }
        for (int c = 0; c < S; ++c)
            row[c] = PixelOf(FarFieldIntensity(in.field, in.size, element[c], element[d]) * scale);
    }
    return levels;
}

} // namespace

void DrawFarFieldImage(Canvas& canvas, const FarFieldInput& input, double outlineHalfSize,
                       bool square, std::string_view title) {
    const int W = canvas.Width(), H = canvas.Height();
    const int S = std::min(W, H);
    const double largest = LargestIntensity(input);
    if (!Showable(largest) || S <= 0) {
        DrawNothingToDisplay(canvas);
        return;
    }
    const int z = std::max(input.zoom, 1);
    const FarFieldSampling s(input.size, S, z);
    // The transform is sampled once per device pixel, so that on a
    // high-density screen its elements keep their own edges.
    const int SD = canvas.DeviceEdge(S);
    const std::vector<int> levels =
        SampledLevels(input, s, SD, largest, 1.0 / canvas.PixelRatio());
    // A canvas that is not square keeps a white strip beside the picture.
    canvas.SetBrushColor(clWhite);
    canvas.FillRect({S, 0, W, H});
    canvas.FillRect({0, S, W, H});
    std::vector<TColor> row(SD);
    for (int d = 0; d < SD; ++d) {
        for (int c = 0; c < SD; ++c) {
            const int g = levels[static_cast<std::size_t>(d) * SD + c];
            row[c] = RGBColor(g, g, g);
        }
        canvas.SetDevicePixels(0, d, row.data(), SD);
    }

    canvas.SetFontColor(clRed);
    canvas.SetBrushColor(clWhite);
    canvas.TextOut(2, 2, title);

    // Cross at the optical axis, arms a quarter of the picture long.
    const int c0 = s.AxisPixel(), d0 = c0;
    const double arm = S * 0.25;
    canvas.SetPenColor(clBlue);
    canvas.MoveTo(PixelOf(c0 + arm), d0);
    canvas.LineTo(PixelOf(c0 - arm), d0);
    canvas.MoveTo(c0, PixelOf(d0 + arm));
    canvas.LineTo(c0, PixelOf(d0 - arm));

    // Mirror outline at the scale of the transform grid.
    const double sx = static_cast<double>(W) / (input.size + 1);
    const double sy = static_cast<double>(H) / (input.size + 1);
    const double hx = outlineHalfSize * sx * z, hy = outlineHalfSize * sy * z;
    canvas.SetPenColor(clRed);
    canvas.SetBrushStyle(BrushStyle::Clear);
    const int x1 = PixelOf(c0 - hx), y1 = PixelOf(d0 - hy);
    const int x2 = PixelOf(c0 + hx), y2 = PixelOf(d0 + hy);
    if (square)
        canvas.Rectangle(x1, y1, x2, y2);
    else
        canvas.Ellipse(x1, y1, x2, y2);
    canvas.SetBrushStyle(BrushStyle::Solid);

    DrawMakersMark(canvas);
    DrawFrame(canvas);
}

GridRange DrawFarFieldPlot(Canvas& canvas, const FarFieldInput& input, bool haveSurface,
                           Grid<double>& grid) {
    const int W = canvas.Width(), H = canvas.Height();
    const int S = std::min(W, H);
    const double largest = LargestIntensity(input);
    if (!Showable(largest) || S <= 0 || !haveSurface) {
        DrawNothingToDisplay(canvas);
        return {};
    }
    if (grid.Rows() != S || grid.Cols() != S)
        grid.Assign(S, S);
    const FarFieldSampling s(input.size, S, input.zoom);
    const std::vector<int> levels = SampledLevels(input, s, S, largest);
    // Brightest points lowest, so that peaks point up in the view.
    for (int i = 0; i < S; ++i)
        for (int j = 0; j < S; ++j)
            grid[i][j] = -levels[static_cast<std::size_t>(j) * S + i];

    const std::vector<const double*> rows = grid.RowPointers();
    const GridRange range = ScanGrid(rows.data(), S);
    if (range.max - range.min == 0.0) {
        DrawNothingToDisplay(canvas);
        return range;
    }

    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.Rectangle(0, 0, W, H);
    const int stride = std::max(2, PixelOf(S * 0.02 + 0.5));
    DrawWireFrame(canvas, rows.data(), S, stride, range.min, range.max);

    DrawMakersMark(canvas);
    DrawFrame(canvas);
    return range;
}

} // namespace ostrander
