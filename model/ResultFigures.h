#pragma once
// The figures of the present results that the main window's status line and
// ostrander-cli report: the RMS of the corrected surface over the beam, the
// Strehl ratio of its far field, and the sampling check (the reflected phase
// stepping by more than pi between neighbouring beam samples). Computed with
// model/BeamAnalysis.h on the engine's grids.
#include "model/BeamAnalysis.h"

#include <optional>
#include <vector>

namespace ostrander {

struct MainData;
class DMModelLocal;

struct ResultFigures {
    double beamRms = 0.0;          // m, about the mean over the beam
    double strehl = 0.0;           // peak far-field intensity over a flat mirror's
    double largestPhaseStep = 0.0; // rad of reflected phase, between beam neighbours
    bool undersampled = false;     // largestPhaseStep above pi: pictures aliased
};

// The engine's sampling and beam disc for the selected mirror: spacing
// Diameter_m / (N GridFill - 2), beam radius BeamFraction x Diameter_m / 2.
// None without a mirror description and grid size.
std::optional<BeamGrid> EngineBeamGrid(const MainData& data, const DMModelLocal& local);

// The far-field intensities, element (r, c) (1-based) at
// [(r - 1) size + c - 1]; empty before the first far field.
std::vector<double> FarFieldIntensities(const MainData& data);

// The figures of the surface and far field the engine holds (the surface as
// the far field corrected it). None when there is no mirror, surface or far
// field to measure.
std::optional<ResultFigures> MeasureResults(const MainData& data, const DMModelLocal& local);

} // namespace ostrander
