#include "model/MeasuredMembraneModel.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

const char* ResponseLawName(ResponseLaw law) {
    return law == ResponseLaw::Linear ? "linear" : "quadratic";
}

RunStart MeasuredMembraneModel::CheckActuators(const DMInfoClass&) const {
    // Without functions nothing can be simulated (the session says why).
    return influence_ ? RunStart::Started : RunStart::UnusableMirror;
}

std::string MeasuredMembraneModel::Problem(DMModelMain& engine) const {
    const MeasuredInfluence* f = influence_.get();
    if (!f)
        return "no measured influence functions are given (ostrander-cli: --influence FILE)";
    engine.PrepareGrid();
    const MainData& data = engine.Data();
    const DMInfoClass* dm = data.DmInfo;
    if (!dm)
        return "no mirror";
    const double dx = EngineStep(dm->Diameter_m, data.GridSize, data.GridFill);
    if (f->n != data.GridSize || !(std::fabs(f->dx - dx) <= 1e-9 * std::fabs(dx)))
        return "the measured influence functions of " + f->source +
               " were resampled onto another grid than this mirror's; read them again";
    if (f->actuators != dm->Actuators)
        return "the measured influence functions of " + f->source + " have " +
               std::to_string(f->actuators) + " planes, the mirror " +
               std::to_string(dm->Actuators) + " actuators";
    if (f->planes.size() != static_cast<std::size_t>(f->n) * f->n * f->actuators)
        return "the measured influence functions of " + f->source + " are incomplete";
    return {};
}

void MeasuredMembraneModel::ComputeSurface(DMModelMain& engine) {
    engine.PrepareGrid();
    MainData& data = engine.Data();
    const DMInfoClass* dm = data.DmInfo;
    MirrorClass* mirror = engine.Local().Mirror.get();
    if (!dm || !mirror || !mirror->IsValid() || data.Surface.empty() || !Problem(engine).empty())
        return;
    const MeasuredInfluence& f = *influence_;
    const int n = f.n;
    double surfaceVolts = 0.0;
    int electrode = 0;
    for (const DmActuatorInfoClass* a = dm->ActuatorList.first; a; a = a->next)
        if (a->Surface) {
            electrode = a->DisplayIndex;
            surfaceVolts = mirror->GetVoltage(electrode);
            break;
        }
    Grid<double>& z = data.Surface;
    z.Fill(0.0);
    const auto plane = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    for (int k = 1; k <= f.actuators; ++k) {
        if (k == electrode)
            continue;
        const double v = mirror->GetVoltage(k) - surfaceVolts;
        const double scale = f.law == ResponseLaw::Linear ? v : v * v;
        if (scale == 0.0)
            continue;
        const double* source = f.planes.data() + plane * static_cast<std::size_t>(k - 1);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                z[i][j] += scale * source[static_cast<std::size_t>(i) * n + j];
    }
    data.SurfaceMin = data.SurfaceMax = z[0][0];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            data.SurfaceMin = std::min(data.SurfaceMin, z[i][j]);
            data.SurfaceMax = std::max(data.SurfaceMax, z[i][j]);
        }
}

SynthesisStatus MeasuredMembraneModel::Synthesize(DMModelMain& engine) {
    const bool linear = influence_ && influence_->law == ResponseLaw::Linear;
    const SynthesisStatus status = engine.SynthesizeSurface(
        linear ? DMModelMain::ForceLaw::Linear : DMModelMain::ForceLaw::Square);
    MainData& data = engine.Data();
    const int n = data.GridSize;
    const bool done = status == SynthesisStatus::Done || status == SynthesisStatus::DoneParameterChanged;
    if (done && influence_ && n == influence_->n &&
        influence_->flat.size() == static_cast<std::size_t>(n) * n && data.GridRows == n)
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                data.Surface[i][j] += influence_->flat[static_cast<std::size_t>(i) * n + j];
    return status;
}

} // namespace ostrander
