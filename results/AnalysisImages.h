#pragma once
// The analysis pictures of a result, beside the five of the design: the far
// field on a log scale with a colour bar and axes in lambda/D, and the
// encircled-energy curve against the radius in lambda/D.
#include "results/RunDescription.h"

#include "toolkit/Canvas.h"

#include <memory>

namespace ostrander {

struct SimulationResult;

inline constexpr int kAnalysisPictureWidth = 460;
inline constexpr int kAnalysisPictureHeight = 400;

// farfield_log.png: out to 10 lambda/D from the axis, or as far as the
// transform reaches when that is less; an undersampled surface's picture
// says it is aliased.
std::unique_ptr<Canvas> LogFarFieldPicture(const SimulationResult& result, const ResultAnalysis& analysis,
                          const RunGeometry& geometry);
// encircled_energy.png: the curve of encircled_energy.csv.
std::unique_ptr<Canvas> EncircledEnergyPicture(const ResultAnalysis& analysis, const RunGeometry& geometry);

} // namespace ostrander
