#pragma once
// The clamped membrane on the engine grid: T (-laplacian) w = p at the grid
// points inside the rim, w = 0 on the rim. Next to the rim each arm of the
// five-point star reaches the rim itself at its true distance (as in the
// Shortley-Weller scheme), with the flux through the cut arm divided by the
// full cell size, so the matrix stays symmetric and positive definite and a
// Cholesky factorisation serves both the linear and the nonlinear solves.
// The solution converges at second order in the spacing. Internal to the
// exact membrane model; lengths in metres, pressures in pascals.
#include "model/MembraneGeometry.h"

#include <Eigen/SparseCore>

#include <utility>
#include <vector>

namespace ostrander {

class MembraneFiniteDifference {
public:
    using Matrix = Eigen::SparseMatrix<double>;
    // Grid nodes (by unknown number) with the share of their cell a pad covers.
    using Coverage = std::vector<std::pair<int, double>>;

    MembraneFiniteDifference(const MembraneGeometry& geometry, const EngineGrid& grid);

    int Unknowns() const { return static_cast<int>(pointOfNode_.size()); }
    // Grid point (i * n + j) of each unknown, and the unknown of each grid point or -1.
    const std::vector<int>& PointOfNode() const { return pointOfNode_; }
    const std::vector<int>& NodeOfPoint() const { return nodeOfPoint_; }
    // T times the discrete -laplacian, N/m^3: Stiffness() * w = p.
    const Matrix& Stiffness() const { return stiffness_; }
    // Whether a point lies strictly inside the rim.
    bool Inside(double x, double y) const;

    // The share (0..1) of each node's cell of side dx that the pad covers.
    Coverage PadCoverage(const MembranePad& pad) const;

    // Unknowns back onto the grid (points outside the rim 0), scaled by `scale`.
    void Scatter(const Eigen::VectorXd& w, double scale, std::vector<double>& grid) const;

private:
    // Distance from (x, y) along the direction (dx, dy) (a unit axis step) to the rim.
    double RimDistance(double x, double y, int ax, int ay) const;

    MembraneGeometry geometry_;
    EngineGrid grid_;
    std::vector<int> pointOfNode_;
    std::vector<int> nodeOfPoint_;
    Matrix stiffness_;
};

// Share (0..1) of the axis-aligned square of side h centred at (cx, cy) that
// the pad covers, computed exactly.
double PadCellCoverage(const MembranePad& pad, double cx, double cy, double h);

} // namespace ostrander
