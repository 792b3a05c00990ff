#include "model/ExactMembraneModel.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"

#include <algorithm>

namespace ostrander {

RunStart ExactMembraneModel::CheckActuators(const DMInfoClass&) const {
    return RunStart::Started;
}

std::shared_ptr<const ExactMembrane> ExactMembraneModel::Membrane(DMModelMain& engine) {
    const DMModelLocal& local = engine.Local();
    const DMInfoClass* dm = local.MirrorInfo ? local.MirrorInfo->Model.get() : nullptr;
    const MainData& data = engine.Data();
    if (!dm || data.GridSize <= 0)
        return nullptr;
    EngineGrid grid;
    grid.n = data.GridSize;
    grid.dx = EngineStep(dm->Diameter_m, data.GridSize, data.GridFill);
    const Key key{dm, dm->Diameter_m, dm->Stress_Pa, dm->Thickness_m, dm->Separation_m, grid.dx,
                  grid.n};
    if (!membrane_ || !(key == key_)) {
        membrane_ = std::make_shared<const ExactMembrane>(MembraneGeometryFromModel(*dm), grid);
        key_ = key;
    }
    return membrane_;
}

void ExactMembraneModel::ComputeSurface(DMModelMain& engine) {
    engine.PrepareGrid();
    MainData& data = engine.Data();
    const DMInfoClass* dm = data.DmInfo;
    MirrorClass* mirror = engine.Local().Mirror.get();
    // A run's first step makes a fresh solver: the pads may have been
    // renumbered or reshaped since the last one.
    if (data.IFCurrentActuator == 0)
        membrane_.reset();
    const std::shared_ptr<const ExactMembrane> membrane = Membrane(engine);
    if (!dm || !mirror || !mirror->IsValid() || !membrane || data.Surface.empty())
        return;
    const std::vector<double> volts = VoltagesByModelIndex(
        *dm, [mirror](int displayIndex) { return mirror->GetVoltage(displayIndex); });
    const std::vector<double> w = membrane->LinearSurface(volts);
    const int n = data.GridSize;
    if (w.size() != static_cast<std::size_t>(n) * static_cast<std::size_t>(n))
        return;
    for (int i = 0; i < n; ++i)
        std::copy(w.begin() + static_cast<std::ptrdiff_t>(i) * n,
                  w.begin() + static_cast<std::ptrdiff_t>(i + 1) * n, data.Surface[i]);
    const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
    data.SurfaceMin = *lo;
    data.SurfaceMax = *hi;
}

SynthesisStatus ExactMembraneModel::Synthesize(DMModelMain& engine) {
    return engine.SynthesizeSurface(DMModelMain::ForceLaw::Square);
}

} // namespace ostrander
