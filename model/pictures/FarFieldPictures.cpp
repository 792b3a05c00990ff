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
std::vector<std::uint8_t> SampledLevels(const FarFieldLevels& in, const FarFieldSampling& s,
                                        int S, double pixelsPerSample = 1.0) {
    std::vector<int> element(S);
    for (int p = 0; p < S; ++p)
        element[p] = s.ElementAt(p * pixelsPerSample) - 1;
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(S) * S);
    for (int d = 0; d < S; ++d) {
        std::uint8_t* row = levels.data() + static_cast<std::size_t>(d) * S;
        // Rows of the same element (most of them when zoomed or on a
        // high-density screen) are copied.
        if (d > 0 && element[d] == element[d - 1]) {
            std::copy(row - S, row, row);
            continue;
        }
        const std::uint8_t* column =
            in.levels.data() + static_cast<std::size_t>(element[d]) * in.size;
        for (int c = 0; c < S; ++c)
            row[c] = column[element[c]];
    }
    return levels;
}

// The levels belong to the input's transform: same size, and there when
// they can be shown.
bool Usable(const FarFieldLevels& levels, const FarFieldInput& input) {
    return Showable(levels.largest) && levels.size == input.size && input.size > 0 &&
           levels.levels.size() == static_cast<std::size_t>(input.size) * input.size;
}

} // namespace

FarFieldLevels MakeFarFieldLevels(const FarFieldInput& input) {
    FarFieldLevels out;
    out.size = input.field ? std::max(input.size, 0) : 0;
    out.largest = LargestIntensity(input);
    if (!Showable(out.largest))
        return out;
    const int T = out.size;
    out.levels.resize(static_cast<std::size_t>(T) * T);
    const double scale = 255.0 / out.largest;
    // The transform is read along its rows and the levels written by columns.
    for (int r = 1; r <= T; ++r)
        for (int c = 1; c <= T; ++c)
            out.levels[static_cast<std::size_t>(c - 1) * T + (r - 1)] = static_cast<std::uint8_t>(
                std::clamp(PixelOf(FarFieldIntensity(input.field, T, r, c) * scale), 0, 255));
    return out;
}

void DrawFarFieldImage(Canvas& canvas, const FarFieldInput& input, double outlineHalfSize,
                       bool square, std::string_view title) {
    DrawFarFieldImage(canvas, input, MakeFarFieldLevels(input), outlineHalfSize, square, title);
}

void DrawFarFieldImage(Canvas& canvas, const FarFieldInput& input, const FarFieldLevels& levels,
                       double outlineHalfSize, bool square, std::string_view title) {
    const int W = canvas.Width(), H = canvas.Height();
    const int S = std::min(W, H);
    if (!Usable(levels, input) || S <= 0) {
        DrawNothingToDisplay(canvas);
        return;
    }
    const int z = std::max(input.zoom, 1);
    const FarFieldSampling s(input.size, S, z);
    // The transform is sampled once per device pixel, so that on a
    // high-density screen its elements keep their own edges.
    const int SD = canvas.DeviceEdge(S);
    const std::vector<std::uint8_t> sampled =
        SampledLevels(levels, s, SD, 1.0 / canvas.PixelRatio());
    // A canvas that is not square keeps a white strip beside the picture.
    canvas.SetBrushColor(clWhite);
    canvas.FillRect({S, 0, W, H});
    canvas.FillRect({0, S, W, H});
    std::vector<TColor> row(SD);
    for (int d = 0; d < SD; ++d) {
        for (int c = 0; c < SD; ++c) {
            const int g = sampled[static_cast<std::size_t>(d) * SD + c];
            row[c] = RGBColor(g, g, g);
        }
        canvas.SetDevicePixels(0, d, row.data(), SD);
    }

    // The caption, the cross and the outline are the same on every pass.
    const int c0 = s.AxisPixel();
    std::vector<double> key = {2.0, static_cast<double>(W), static_cast<double>(H),
                               static_cast<double>(input.size), static_cast<double>(z),
                               static_cast<double>(c0), outlineHalfSize, square ? 1.0 : 0.0};
    key.insert(key.end(), title.begin(), title.end());
    canvas.DrawLayer(key, [&](Canvas& c) {
        c.SetFontColor(clRed);
        c.SetBrushColor(clWhite);
        c.TextOut(2, 2, title);

        // Cross at the optical axis, arms a quarter of the picture long.
        const int d0 = c0;
        const double arm = S * 0.25;
        c.SetPenColor(clBlue);
        c.MoveTo(PixelOf(c0 + arm), d0);
        c.LineTo(PixelOf(c0 - arm), d0);
        c.MoveTo(c0, PixelOf(d0 + arm));
        c.LineTo(c0, PixelOf(d0 - arm));

        // Mirror outline at the scale of the transform grid.
        const double sx = static_cast<double>(W) / (input.size + 1);
        const double sy = static_cast<double>(H) / (input.size + 1);
        const double hx = outlineHalfSize * sx * z, hy = outlineHalfSize * sy * z;
        c.SetPenColor(clRed);
        c.SetBrushStyle(BrushStyle::Clear);
        const int x1 = PixelOf(c0 - hx), y1 = PixelOf(d0 - hy);
        const int x2 = PixelOf(c0 + hx), y2 = PixelOf(d0 + hy);
        if (square)
            c.Rectangle(x1, y1, x2, y2);
        else
            c.Ellipse(x1, y1, x2, y2);
        c.SetBrushStyle(BrushStyle::Solid);
    });

    DrawMakersMark(canvas);
    DrawFrame(canvas);
}

GridRange DrawFarFieldPlot(Canvas& canvas, const FarFieldInput& input, bool haveSurface,
                           Grid<double>& grid) {
    return DrawFarFieldPlot(canvas, input, MakeFarFieldLevels(input), haveSurface, grid);
}

GridRange DrawFarFieldPlot(Canvas& canvas, const FarFieldInput& input,
                           const FarFieldLevels& levels, bool haveSurface, Grid<double>& grid) {
    const int W = canvas.Width(), H = canvas.Height();
    const int S = std::min(W, H);
    if (!Usable(levels, input) || S <= 0 || !haveSurface) {
        DrawNothingToDisplay(canvas);
        return {};
    }
    if (grid.Rows() != S || grid.Cols() != S)
        grid.Assign(S, S);
    const FarFieldSampling s(input.size, S, input.zoom);
    const std::vector<std::uint8_t> sampled = SampledLevels(levels, s, S);
    // Brightest points lowest, so that peaks point up in the view.
    for (int i = 0; i < S; ++i)
        for (int j = 0; j < S; ++j)
            grid[i][j] = -sampled[static_cast<std::size_t>(j) * S + i];

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
