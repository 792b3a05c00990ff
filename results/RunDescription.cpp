#include "results/RunDescription.h"

#include "results/SessionResult.h"
#include "model/BeamAnalysis.h"

#include <algorithm>
#include <numbers>

namespace ostrander {

double RunGeometry::PixelScale() const {
    return farFieldSize > 0 && dx > 0 ? wavelength / (farFieldSize * dx) : 0.0;
}

double RunGeometry::LambdaOverD() const {
    return gaussianRadius > 0 ? wavelength / (2 * gaussianRadius) : 0.0;
}

ResultAnalysis AnalyseResult(const SimulationResult& result, const RunGeometry& geometry) {
    ResultAnalysis analysis;
    const BeamGrid grid{result.n, geometry.dx, geometry.beamRadius};
    analysis.largestPhaseStep = LargestPhaseStep(result.surface, grid, geometry.wavelength);
    analysis.undersampled = analysis.largestPhaseStep > std::numbers::pi;
    analysis.beamRms = BeamRms(result.surface, grid);
    analysis.zernike = NollZernikeCoefficients(result.surface, grid, kZernikeTerms);
    // Out to 20 lambda/D, within the transform.
    const double perElement = geometry.PixelScale() / std::max(geometry.LambdaOverD(), 1e-300);
    const int reach = perElement > 0 ? static_cast<int>(std::min(20.0 / perElement,
                                                                 result.farFieldSize / 2.0))
                                     : result.farFieldSize / 2;
    analysis.encircledEnergy = EncircledEnergy(result.farField, result.farFieldSize, reach);
    return analysis;
}

} // namespace ostrander
