#include "model/pictures/WireFrame.h"

#include "model/pictures/PictureCommon.h"

#include <cmath>

namespace ostrander {

namespace {

// Projection rows of the fixed view: R = K x M for azimuth theta and
// elevation phi; only the first two rows reach the screen.
struct View {
    double R[2][3];
    double low[2];
    double high[2];
};

View MakeView() {
    const double theta = 4.71238898038469;
    const double phi = 0.5235987755982988;
    const double a = std::cos(theta), b = std::sin(theta), c = std::cos(phi);
    const double e = std::sqrt(a * a + b * b);
    const double f = std::sqrt(a * a + b * b + c * c);
    const double M[3][3] = {{-b / e, a / e, 0.0}, {-a / e, -b / e, 0.0}, {0.0, 0.0, 1.0}};
    const double K[3][3] = {{1.0, 0.0, 0.0}, {0.0, c / f, e / f}, {-e / f, c / f, 1.0}};
    View v{};
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) {
            double sum = 0.0;
            for (int n = 0; n < 3; ++n)
                sum += K[i][n] * M[n][j];
            v.R[i][j] = sum;
        }
        // Extremes over the corners of the unit cube.
        for (int j = 0; j < 3; ++j) {
            if (v.R[i][j] >= 0.0)
                v.high[i] += v.R[i][j];
            else
                v.low[i] += v.R[i][j];
        }
    }
    return v;
}

const View& TheView() {
    static const View view = MakeView();
    return view;
}

// Maps grid points to the screen for one draw.
struct Projection {
    Projection(int S, double min, double max, int W, int H) : view(TheView()), S(S), min(min) {
        const double span = max - min;
        heightScale = span > 0.0 ? 0.9 / span : 1.0;
        levelScale = span > 0.0 ? 255.0 / span : 0.0;
        const double spanX = view.high[0] - view.low[0];
        const double spanY = view.high[1] - view.low[1];
        scaleX = spanX != 0.0 ? W / spanX : 1.0;
        scaleY = spanY != 0.0 ? H / spanY : 1.0;
    }

    Point At(int i, int j, double v) const {
        const double x = static_cast<double>(i) / S;
        const double y = static_cast<double>(j) / S;
        const double z = (v - min) * heightScale + 0.09999999999999998;
        const double* r0 = view.R[0];
        const double* r1 = view.R[1];
        return {PixelOf((r0[0] * x + r0[1] * y + r0[2] * z - view.low[0]) * scaleX),
                PixelOf((r1[0] * x + r1[1] * y + r1[2] * z - view.low[1]) * scaleY)};
    }

    TColor ColorOf(double v) const {
        if (v == 0.0)
            return clRed;
        const int level = PixelOf((v - min) * levelScale) & 0xFF;
        return RGBColor(0, 255 - level, level);
    }

    const View& view;
    int S;
    double min;
    double heightScale, levelScale, scaleX, scaleY;
};

} // namespace

Point WireFramePoint(int i, int j, double v, int S, double min, double max, int W, int H) {
    return Projection(S, min, max, W, H).At(i, j, v);
}

void DrawWireFrame(Canvas& canvas, const double* const* rows, int S, int stride, double min,
                   double max) {
    if (!rows || S <= 0 || stride < 1)
        return;
    const Projection p(S, min, max, canvas.Width(), canvas.Height());
    auto visit = [&](int i, int j, bool first) {
        const double v = rows[i][j];
        const TColor color = p.ColorOf(v);
        canvas.SetPenColor(color);
        canvas.SetBrushColor(color);
        const Point pt = p.At(i, j, v);
        if (first)
            canvas.MoveTo(pt.x, pt.y);
        else
            canvas.LineTo(pt.x, pt.y);
    };
    for (int i = 0; i < S; i += stride)
        for (int j = 0; j < S; j += stride)
            visit(i, j, j == 0);
    for (int j = 0; j < S; j += stride)
        for (int i = 0; i < S; i += stride)
            visit(i, j, i == 0);
}

} // namespace ostrander
