#include "model/EngineGrid.h"

#include <cmath>

namespace ostrander {

namespace {

double Radius(const EngineGrid& g, int i, int j) {
    const double x = g.X(i);
    const double y = g.X(j);
    return std::sqrt(x * x + y * y);
}

std::vector<std::uint8_t> Mask(const EngineGrid& g, bool (EngineGrid::*inside)(int, int) const) {
    std::vector<std::uint8_t> mask(g.n > 0 ? g.Points() : 0, 0);
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            mask[g.Index(i, j)] = (g.*inside)(i, j) ? 1 : 0;
    return mask;
}

} // namespace

bool EngineGrid::InBeam(int i, int j) const {
    return Radius(*this, i, j) < beamRadius;
}

bool EngineGrid::InMembrane(int i, int j) const {
    return Radius(*this, i, j) < membraneRadius;
}

std::vector<std::uint8_t> EngineGrid::BeamMask() const {
    return Mask(*this, &EngineGrid::InBeam);
}

std::vector<std::uint8_t> EngineGrid::MembraneMask() const {
    return Mask(*this, &EngineGrid::InMembrane);
}

EngineGrid EngineGrid::ForDiameter(double diameter_m, int n) {
    EngineGrid grid;
    grid.n = n;
    grid.dx = EngineStep(diameter_m, n, kEngineGridFill);
    return grid;
}

std::optional<double> EngineGridStep(double diameter_m, int n, double fill) {
    if (!(n * fill - 2 > 0.0) || !(diameter_m > 0.0) || !std::isfinite(diameter_m))
        return std::nullopt;
    const double dx = EngineStep(diameter_m, n, fill);
    if (!(dx > 0.0) || !std::isfinite(dx))
        return std::nullopt;
    return dx;
}

std::optional<EngineGrid> MakeEngineGrid(double diameter_m, double beamFraction, int n,
                                         double fill) {
    const std::optional<double> dx = EngineGridStep(diameter_m, n, fill);
    if (!dx || n <= 0)
        return std::nullopt;
    return EngineGrid{n, *dx, diameter_m * beamFraction / 2, diameter_m / 2};
}

std::string EngineGridSizeProblem(long long n) {
    if (n >= kEngineGridSize && n <= kEngineGridSizeMax)
        return {};
    return "the grid must have " + std::to_string(kEngineGridSize) + " to " +
           std::to_string(kEngineGridSizeMax) + " samples a side, not " + std::to_string(n);
}

} // namespace ostrander
