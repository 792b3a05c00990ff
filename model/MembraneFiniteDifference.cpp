#include "model/MembraneFiniteDifference.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

namespace {

// Smallest share of a step kept between a node and the rim, so that a node
// almost on the rim gives a large but finite diagonal.
constexpr double kMinimumArm = 1e-6;

double Overlap(double lo1, double hi1, double lo2, double hi2) {
    return std::max(0.0, std::min(hi1, hi2) - std::max(lo1, lo2));
}

// Area of the disc of radius a about (cx, cy) inside [x0,x1] x [y0,y1],
// exactly: the chord height is integrated piece by piece between the places
// where the circle meets the rectangle's edges (integral of sqrt(a^2 - u^2)
// is (u sqrt(a^2 - u^2) + a^2 asin(u / a)) / 2).
double DiscRectangleArea(double cx, double cy, double a, double x0, double x1, double y0,
                         double y1) {
    if (!(a > 0) || x1 <= x0 || y1 <= y0)
        return 0.0;
    const double lo = std::max(x0, cx - a), hi = std::min(x1, cx + a);
    if (hi <= lo)
        return 0.0;
    auto chord = [a](double u) { return std::sqrt(std::max(0.0, a * a - u * u)); };
    auto chordIntegral = [a, &chord](double u) {
        const double t = std::clamp(u / a, -1.0, 1.0);
        return (u * chord(u) + a * a * std::asin(t)) / 2;
    };
    // Break points: where the upper or lower half of the circle crosses y0 or y1.
    double cuts[6] = {lo, hi};
    int count = 2;
    for (double y : {y0, y1}) {
        const double dy = y - cy;
        if (std::abs(dy) < a) {
            const double u = chord(dy);
            for (double x : {cx - u, cx + u})
                if (x > lo && x < hi)
                    cuts[count++] = x;
        }
    }
    // (A plain insertion sort: six values at most.)
    for (int k = 1; k < count; ++k)
        for (int m = k; m > 0 && cuts[m] < cuts[m - 1]; --m)
            std::swap(cuts[m], cuts[m - 1]);
    double area = 0;
    for (int k = 0; k + 1 < count; ++k) {
        const double xa = cuts[k], xb = cuts[k + 1];
        if (xb <= xa)
            continue;
        const double s = chord((xa + xb) / 2 - cx);
        // Within a piece the top is either y1 or the upper circle, the bottom
        // either y0 or the lower circle, and which one does not change.
        const bool topIsEdge = y1 <= cy + s, bottomIsEdge = y0 >= cy - s;
        const double top = topIsEdge ? y1 : cy + s, bottom = bottomIsEdge ? y0 : cy - s;
        if (top <= bottom)
            continue;
        const double width = xb - xa;
        const double circle = chordIntegral(xb - cx) - chordIntegral(xa - cx);
        area += (topIsEdge ? y1 * width : cy * width + circle) -
                (bottomIsEdge ? y0 * width : cy * width - circle);
    }
    return std::max(0.0, area);
}

} // namespace

double PadCellCoverage(const MembranePad& pad, double cx, double cy, double h) {
    double x0 = cx - h / 2, x1 = cx + h / 2, y0 = cy - h / 2, y1 = cy + h / 2;
    double area = 0;
    switch (pad.shape) {
    case PadShape::None:
        return 0.0;
    case PadShape::Rectangle:
        area = Overlap(x0, x1, pad.x - pad.width / 2, pad.x + pad.width / 2) *
               Overlap(y0, y1, pad.y - pad.height / 2, pad.y + pad.height / 2);
        break;
    case PadShape::Disc:
        area = DiscRectangleArea(pad.x, pad.y, pad.width / 2, x0, x1, y0, y1);
        break;
    case PadShape::QuarterRing:
        // The quadrant on the side of the signs of the centre (0 counts as
        // positive) clips the cell to a smaller rectangle.
        if (pad.x >= 0)
            x0 = std::max(x0, pad.x);
        else
            x1 = std::min(x1, pad.x);
        if (pad.y >= 0)
            y0 = std::max(y0, pad.y);
        else
            y1 = std::min(y1, pad.y);
        [[fallthrough]];
    case PadShape::Ring:
        area = DiscRectangleArea(pad.x, pad.y, pad.outerRadius, x0, x1, y0, y1) -
               DiscRectangleArea(pad.x, pad.y, pad.innerRadius, x0, x1, y0, y1);
        break;
    }
    return std::clamp(area / (h * h), 0.0, 1.0);
}

MembraneFiniteDifference::MembraneFiniteDifference(const MembraneGeometry& geometry,
                                                   const EngineGrid& grid)
    : geometry_(geometry), grid_(grid) {
    const int n = grid_.n;
    const double h = grid_.dx;
    nodeOfPoint_.assign(grid_.Points(), -1);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (Inside(grid_.X(i), grid_.X(j))) {
                nodeOfPoint_[static_cast<std::size_t>(i * n + j)] = Unknowns();
                pointOfNode_.push_back(i * n + j);
            }

    const double T = geometry_.Tension();
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(pointOfNode_.size() * 5);
    const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int node = 0; node < Unknowns(); ++node) {
        const int i = pointOfNode_[static_cast<std::size_t>(node)] / n;
        const int j = pointOfNode_[static_cast<std::size_t>(node)] % n;
        double diagonal = 0;
        for (const auto& s : steps) {
            const int ni = i + s[0], nj = j + s[1];
            const int neighbour = (ni >= 0 && ni < n && nj >= 0 && nj < n)
                                      ? nodeOfPoint_[static_cast<std::size_t>(ni * n + nj)]
                                      : -1;
            if (neighbour >= 0) {
                diagonal += T / (h * h);
                entries.emplace_back(node, neighbour, -T / (h * h));
            } else {
                // The arm ends on the rim, where w = 0.
                const double arm =
                    std::max(RimDistance(grid_.X(i), grid_.X(j), s[0], s[1]), kMinimumArm * h);
                diagonal += T / (h * arm);
            }
        }
        entries.emplace_back(node, node, diagonal);
    }
    stiffness_.resize(Unknowns(), Unknowns());
    stiffness_.setFromTriplets(entries.begin(), entries.end());
}

bool MembraneFiniteDifference::Inside(double x, double y) const {
    if (geometry_.square)
        return std::abs(x) < geometry_.diameter_m / 2 && std::abs(y) < geometry_.yExtent_m / 2;
    const double R = geometry_.diameter_m / 2;
    return x * x + y * y < R * R;
}

double MembraneFiniteDifference::RimDistance(double x, double y, int ax, int ay) const {
    if (geometry_.square) {
        const double a = geometry_.diameter_m / 2, b = geometry_.yExtent_m / 2;
        if (ax != 0)
            return ax > 0 ? a - x : a + x;
        return ay > 0 ? b - y : b + y;
    }
    const double R = geometry_.diameter_m / 2;
    // Along x: (x + t)^2 + y^2 = R^2; along y likewise.
    const double along = ax != 0 ? x * ax : y * ay;
    const double across = ax != 0 ? y : x;
    return -along + std::sqrt(std::max(0.0, R * R - across * across));
}

MembraneFiniteDifference::Coverage
MembraneFiniteDifference::PadCoverage(const MembranePad& pad) const {
    Coverage out;
    if (pad.shape == PadShape::None)
        return out;
    double halfX = 0, halfY = 0;
    switch (pad.shape) {
    case PadShape::Disc:
        halfX = halfY = pad.width / 2;
        break;
    case PadShape::Rectangle:
        halfX = pad.width / 2;
        halfY = pad.height / 2;
        break;
    default:
        halfX = halfY = pad.outerRadius;
        break;
    }
    const double h = grid_.dx;
    const int n = grid_.n;
    // Grid columns whose cells can touch the pad's bounding box.
    // (Clamped as doubles first: a pad far off the grid must not overflow the cast.)
    auto first = [&](double lo) {
        const double i = std::floor((lo - h / 2) / h) + n / 2;
        return static_cast<int>(std::clamp(i, 0.0, static_cast<double>(n)));
    };
    auto last = [&](double hi) {
        const double i = std::ceil((hi + h / 2) / h) + n / 2;
        return static_cast<int>(std::clamp(i, -1.0, static_cast<double>(n - 1)));
    };
    if (!std::isfinite(halfX) || !std::isfinite(halfY) || !std::isfinite(pad.x) ||
        !std::isfinite(pad.y))
        return out;
    const int i0 = first(pad.x - halfX), i1 = last(pad.x + halfX);
    const int j0 = first(pad.y - halfY), j1 = last(pad.y + halfY);
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) {
            const int node = nodeOfPoint_[static_cast<std::size_t>(i * n + j)];
            if (node < 0)
                continue;
            const double share = PadCellCoverage(pad, grid_.X(i), grid_.X(j), h);
            if (share > 0)
                out.emplace_back(node, share);
        }
    return out;
}

void MembraneFiniteDifference::Scatter(const Eigen::VectorXd& w, double scale,
                                       std::vector<double>& grid) const {
    grid.assign(grid_.Points(), 0.0);
    for (int node = 0; node < Unknowns(); ++node)
        grid[static_cast<std::size_t>(pointOfNode_[static_cast<std::size_t>(node)])] =
            scale * w[node];
}

} // namespace ostrander
