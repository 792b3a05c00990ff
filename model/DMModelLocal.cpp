#include "model/DMModelLocal.h"

#include "model/RowGrid.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"

namespace ostrander {

DMModelLocal::DMModelLocal() = default;

DMModelLocal::~DMModelLocal() {
    ReleaseMirror();
    delete[] ActuatorVoltages;
    ActuatorVoltages = nullptr;
    ActuatorVoltageCount = 0;
    ReleaseFarFieldPlotGrid();
    ReleaseThreeDImageGrid();
}

void DMModelLocal::ReleaseMirror() {
    delete Mirror;
    delete MirrorInfo;
    Mirror = nullptr;
    MirrorInfo = nullptr;
}

void DMModelLocal::SelectMirror(int32_t index, MirrorInfoClass* info, MirrorClass* mirror,
                                int32_t actuatorCount) {
    ReleaseMirror();
    ++MirrorGeneration;
    MirrorInfo = info;
    Mirror = mirror;
    MirrorIndex = index;
    delete[] ActuatorVoltages;
    ActuatorVoltageCount = actuatorCount > 0 ? actuatorCount : 0;
    ActuatorVoltages = ActuatorVoltageCount > 0 ? new double[ActuatorVoltageCount]() : nullptr;
}

void DMModelLocal::ReleaseFarFieldPlotGrid() {
    FreeRowGrid(FarFieldPlotGrid, FarFieldPlotGridRows);
    FarFieldPlotGrid = nullptr;
    FarFieldPlotGridRows = 0;
}

void DMModelLocal::ReleaseThreeDImageGrid() {
    FreeRowGrid(ThreeDImageGrid, ThreeDImageGridRows);
    ThreeDImageGrid = nullptr;
    ThreeDImageGridRows = 0;
}

} // namespace ostrander
