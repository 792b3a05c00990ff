#include "model/ClassicMembraneModel.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/DMModelMain.h"

namespace ostrander {

RunStart ClassicMembraneModel::CheckActuators(const DMInfoClass& model) const {
    if (model.ActuatorType_circ_rect_ring == 1) {
        for (const DmActuatorInfoClass* a = model.ActuatorList.first; a; a = a->next)
            if (a->Dcontact_m != a->DcontactY_m)
                return RunStart::RectangularPads;
    } else if (model.ActuatorType_circ_rect_ring == 2 || model.ActuatorType_circ_rect_ring == 3) {
        return RunStart::RingPads;
    }
    return RunStart::Started;
}

void ClassicMembraneModel::ComputeSurface(DMModelMain& engine) {
    engine.PrepareGrid();
    engine.ComputeAnalyticSurface();
}

SynthesisStatus ClassicMembraneModel::Synthesize(DMModelMain& engine) {
    return engine.SynthesizeSurface();
}

} // namespace ostrander
