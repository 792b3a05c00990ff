#include "model/ResultFigures.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"

#include <numbers>
#include <span>

namespace ostrander {

std::optional<BeamGrid> EngineBeamGrid(const MainData& data, const DMModelLocal& local) {
    const DMInfoClass* dm = local.MirrorInfo ? local.MirrorInfo->Model.get() : nullptr;
    if (!dm || data.GridSize <= 0)
        return std::nullopt;
    return MakeEngineGrid(dm->Diameter_m, local.BeamFraction, data.GridSize, data.GridFill);
}

std::vector<double> FarFieldIntensities(const MainData& data) {
    const int size = data.FarFieldSize;
    std::vector<double> out;
    if (size <= 0 || data.FarField.size() < 2 * static_cast<std::size_t>(size + 1) * (size + 1))
        return out;
    out.reserve(static_cast<std::size_t>(size) * size);
    const float* field = data.FarField.data();
    for (int r = 1; r <= size; ++r)
        for (int c = 1; c <= size; ++c) {
            const float* e = field + data.FarFieldIndex(r, c);
            out.push_back(double(e[0]) * e[0] + double(e[1]) * e[1]);
        }
    return out;
}

std::optional<ResultFigures> MeasureResults(const MainData& data, const DMModelLocal& local) {
    const std::optional<BeamGrid> grid = EngineBeamGrid(data, local);
    if (!grid || data.Surface.empty() || data.GridRows != grid->n ||
        data.Surface.Rows() != grid->n || data.Surface.Cols() != grid->n)
        return std::nullopt;
    const std::vector<double> intensity = FarFieldIntensities(data);
    if (intensity.empty())
        return std::nullopt;
    const std::span<const double> surface(data.Surface.data(), data.Surface.size());
    ResultFigures figures;
    figures.beamRms = BeamRms(surface, *grid);
    figures.largestPhaseStep = LargestPhaseStep(surface, *grid, DMModelMain::kWavelength);
    figures.undersampled = figures.largestPhaseStep > std::numbers::pi;
    figures.strehl = StrehlRatio(intensity, FlatMirrorPeak(*grid, DMModelMain::kBeamRadius));
    return figures;
}

} // namespace ostrander
