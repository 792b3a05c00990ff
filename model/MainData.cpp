#include "model/MainData.h"

#include "model/RowGrid.h"

namespace ostrander {

MainData::~MainData() {
    Reset();
}

void MainData::AllocateSurface(int32_t rows) {
    FreeSurface();
    Surface = AllocateRowGrid(rows, rows);
    GridRows = Surface ? rows : 0;
}

void MainData::FreeSurface() {
    FreeRowGrid(Surface, static_cast<int32_t>(GridRows));
    Surface = nullptr;
    GridRows = 0;
}

void MainData::FreeInfluenceFunctions() {
    if (InfluenceFunctions) {
        const auto planes = static_cast<int32_t>(IFActuatorCount) + 2;
        const auto rows = static_cast<int32_t>(IFGridSize) + 1;
        for (int32_t p = 0; p < planes; ++p)
            FreeRowGrid(InfluenceFunctions[p], rows);
        delete[] InfluenceFunctions;
        InfluenceFunctions = nullptr;
    }
    IFActuatorCount = 0;
    IFGridSize = 0;
}

void MainData::AllocateInfluenceFunctions(int32_t count, int32_t n) {
    FreeInfluenceFunctions();
    if (count < 0 || n < 0)
        return;
    const int32_t planes = count + 2;
    InfluenceFunctions = new double**[planes];
    for (int32_t p = 0; p < planes; ++p)
        InfluenceFunctions[p] = AllocateRowGrid(n + 1, n + 1);
    IFActuatorCount = count;
    IFGridSize = n;
}

void MainData::AllocateFarField(int32_t size) {
    FreeFarField();
    if (size <= 0)
        return;
    const auto side = static_cast<int64_t>(size) + 1;
    FarField = new float[2 * side * side]();
    FarFieldSize = size;
}

void MainData::FreeFarField() {
    delete[] FarField;
    FarField = nullptr;
}

void MainData::FreeSavedVoltages() {
    delete[] IFSavedVoltages;
    IFSavedVoltages = nullptr;
    IFSavedVoltageCount = 0;
}

void MainData::Reset() {
    FreeSurface();
    FreeInfluenceFunctions();
    FreeFarField();
    FreeSavedVoltages();
    DmInfo = nullptr;
    FarFieldSize = 0;
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
