#pragma once
// The engine's square sampling grid, the one home of its geometry: size,
// step, membrane and beam discs, sample coordinates and masks. Every picture,
// file writer, reader and analysis takes it from here.
//
// Sample (i, j) lies at x = (i - n/2) dx, y = (j - n/2) dx (n/2 rounded
// down); i runs along x, j along y, and a grid of values holds sample (i, j)
// at [i * n + j]. The step follows from the membrane diameter D and the fill
// factor f: dx = D / (n f - 2), so the membrane's rim lies two steps inside
// the grid's edge.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

// Samples per side of the engine grid, and the share of it the membrane fills.
inline constexpr int kEngineGridSize = 100;
inline constexpr double kEngineGridFill = 0.97;
// The finer grids a model may take instead (the exact membrane): samples per
// side from the standard grid up to this many.
inline constexpr int kEngineGridSizeMax = 400;
// The share of the membrane's diameter the beam figures cover.
inline constexpr double kEngineBeamFraction = 0.8;
// The laser of the far field and the interferogram: wavelength and the 1/e
// amplitude radius of its Gaussian beam, m.
inline constexpr double kEngineWavelength = 1.064e-6;
inline constexpr double kEngineBeamRadius = 0.003;

struct EngineGrid {
    int n = 0;                   // samples per side
    double dx = 0.0;             // m, sample spacing
    double beamRadius = 0.0;     // m, the disc that beam figures cover
    double membraneRadius = 0.0; // m

    // The engine's spacing for a membrane of this diameter, n points a side,
    // nothing else set; for the membrane solvers, which need no beam.
    static EngineGrid ForDiameter(double diameter_m, int n = kEngineGridSize);

    std::size_t Index(int i, int j) const {
        return static_cast<std::size_t>(i) * static_cast<std::size_t>(n) + static_cast<std::size_t>(j);
    }
    // n x n, 0 for an empty grid.
    std::size_t Points() const {
        return n > 0 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n) : 0u;
    }
    // Coordinate (m) of sample index k along either axis.
    double X(int k) const { return (k - n / 2) * dx; }
    bool InBeam(int i, int j) const;
    bool InMembrane(int i, int j) const;
    // 1 where a sample lies in the beam (membrane), 0 elsewhere, at Index(i, j).
    std::vector<std::uint8_t> BeamMask() const;
    std::vector<std::uint8_t> MembraneMask() const;
};

// The grid spacing for a membrane of this diameter, D / (n fill - 2), as it
// comes out (the engine's own arithmetic, unchecked).
inline double EngineStep(double diameter_m, int n, double fill) {
    return diameter_m / (n * fill - 2);
}
// The same, none when that is not a positive finite step.
std::optional<double> EngineGridStep(double diameter_m, int n = kEngineGridSize,
                                     double fill = kEngineGridFill);

// The engine grid of a membrane of this diameter lit over beamFraction of it;
// none when the diameter or the grid gives no positive step.
std::optional<EngineGrid> MakeEngineGrid(double diameter_m, double beamFraction,
                                         int n = kEngineGridSize, double fill = kEngineGridFill);

// Why n cannot be the samples per side of a finer grid ("the grid must have
// 100 to 400 samples a side, not 50"); empty when it can.
std::string EngineGridSizeProblem(long long n);

} // namespace ostrander
