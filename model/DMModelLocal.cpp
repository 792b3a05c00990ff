#include "model/DMModelLocal.h"

#include "model/RowGrid.h"

#if __has_include("Shared_Software/Mirror/MirrorInfoClass.h")
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#define OSTRANDER_HAVE_MIRROR_INFO 1
#endif
#if __has_include("Shared_Software/Mirror/MirrorClass.h")
#include "Shared_Software/Mirror/MirrorClass.h"
#define OSTRANDER_HAVE_MIRROR 1
#endif

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
#ifdef OSTRANDER_HAVE_MIRROR
    delete Mirror;
#endif
#ifdef OSTRANDER_HAVE_MIRROR_INFO
    delete MirrorInfo;
#endif
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
