#include "model/MainData.h"

namespace ostrander {

void MainData::AllocateSurface(int32_t rows) {
    Surface.Assign(rows, rows);
    GridRows = Surface.Rows();
}

void MainData::FreeSurface() {
    Surface.clear();
    GridRows = 0;
}

void MainData::FreeInfluenceFunctions() {
    InfluenceFunctions = {};
    IFActuatorCount = 0;
    IFGridSize = 0;
}

void MainData::AllocateInfluenceFunctions(int32_t count, int32_t n) {
    FreeInfluenceFunctions();
    if (count < 0 || n < 0)
        return;
    // Each plane made where it lives (no copies of a template plane).
    InfluenceFunctions.resize(static_cast<std::size_t>(count) + 2);
    for (Grid<double>& plane : InfluenceFunctions)
        plane.Assign(n + 1, n + 1);
    IFActuatorCount = count;
    IFGridSize = n;
}

void MainData::AllocateFarField(int32_t size) {
    FreeFarField();
    if (size <= 0)
        return;
    const auto side = static_cast<std::size_t>(size) + 1;
    FarField.assign(2 * side * side, 0.0f);
    FarFieldSize = size;
    ++FarFieldGeneration;
}

void MainData::FreeFarField() {
    FarField = {};
    FarFieldSize = 0;
    ++FarFieldGeneration;
}

void MainData::FreeSavedVoltages() {
    IFSavedVoltages = {};
}

void MainData::Reset() {
    FreeSurface();
    FreeInfluenceFunctions();
    FreeFarField();
    FreeSavedVoltages();
    DmInfo = nullptr;
    SurfaceMax = SurfaceMin = 0.0;
    IFReferenceForce = 0.0;
    MirrorParameterChanged = false;
    GridSize = 0;
    GridFill = 0.97;
    IFCancelRequested = false;
    IFCurrentActuator = -1;
    IFStepReady = false;
    IFMaxVoltage = 0.0;
    IFMirrorGeneration = 0;
    IFMirrorInfo = nullptr;
}

} // namespace ostrander
