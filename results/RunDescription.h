#pragma once
// What a result file needs besides the grids: the geometry and optics of the
// run (sampling, beam, wavelength, far-field scale) and the analysis of the
// corrected surface and its far field.
#include <vector>

namespace ostrander {

struct SimulationResult;

struct RunGeometry {
    int n = 0;                     // surface samples per side
    double dx = 0.0;               // m, surface sample spacing
    double membraneRadius = 0.0;   // m
    double beamRadius = 0.0;       // m, the beam disc that RMS, Zernike terms and checks cover
    double gaussianRadius = 0.0;   // m, 1/e amplitude (1/e^2 intensity) radius of the beam
    double wavelength = 0.0;       // m
    int farFieldSize = 0;          // far-field elements per side

    // Angle between neighbouring far-field elements, radians: wavelength over
    // the transform's extent farFieldSize * dx.
    double PixelScale() const;
    // The diffraction scale wavelength / D, radians, D = 2 gaussianRadius
    // (the beam's 1/e^2 intensity diameter).
    double LambdaOverD() const;
};

struct ResultAnalysis {
    double largestPhaseStep = 0.0; // rad, between neighbouring beam samples
    bool undersampled = false;     // largestPhaseStep above pi
    double beamRms = 0.0;          // m
    std::vector<double> zernike;   // m RMS, Noll terms 1 .. size()
    // Fraction of the far-field energy within k elements of the axis, k = 0 ..
    std::vector<double> encircledEnergy;
};

inline constexpr int kZernikeTerms = 21;

ResultAnalysis AnalyseResult(const SimulationResult& result, const RunGeometry& geometry);

} // namespace ostrander
