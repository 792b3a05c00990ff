#pragma once
// The record of the membrane model: grid size, surface grid and its extremes,
// influence-function store and run state, far-field buffer.
//
// Lengths in metres. Grids are values (model/Grid.h): element [i][j] lies at
// x = (i - N/2) dx, y = (j - N/2) dx, N = GridSize, with
// dx = Diameter_m / (N * GridFill - 2). The record holds its grids and
// buffers by value and records their sizes beside them (GridRows;
// IFActuatorCount and IFGridSize; FarFieldSize).
#include "model/EngineGrid.h"
#include "model/Grid.h"

#include <cstdint>
#include <vector>

namespace ostrander {

class DMInfoClass;

struct MainData {
    MainData() = default;
    MainData(const MainData&) = delete;
    MainData& operator=(const MainData&) = delete;

    // The DM model of the selected mirror; not owned (it belongs to the
    // mirror description), refreshed by every engine operation.
    DMInfoClass* DmInfo = nullptr;
    // Far-field complex buffer, 2 x (FarFieldSize + 1)^2 floats; empty
    // before the first far field. Element (r, c), both 1-based up to
    // FarFieldSize, has its real part at index 2((r-1) FarFieldSize + c) - 1
    // and its imaginary part at the next index; index 0 is unused. The
    // transform and the pictures address it flat: use FarFieldIndex below.
    std::vector<float> FarField;
    int32_t FarFieldSize = 0;
    // Counts the changes of FarField (each transform, clearing, allocating),
    // so that what is derived from it can tell whether it is still current.
    uint64_t FarFieldGeneration = 0;
    // Membrane deflection in metres, GridRows x GridRows; empty before the
    // first surface.
    Grid<double> Surface;
    double SurfaceMax = 0.0;
    double SurfaceMin = 0.0;
    // Rows of Surface as allocated; a surface made under another GridSize
    // is not used.
    int32_t GridRows = 0;
    // (IFActuatorCount + 2) planes of (IFGridSize + 1) x (IFGridSize + 1)
    // doubles; plane p holds the deflection of the actuator with display
    // number p + 1 alone at the run voltage. Empty when there is no store.
    std::vector<Grid<double>> InfluenceFunctions;
    // Force in newtons of the largest pad at the run voltage.
    double IFReferenceForce = 0.0;
    // Actuator count and grid size the store was allocated for.
    int32_t IFActuatorCount = 0;
    int32_t IFGridSize = 0;
    bool MirrorParameterChanged = false;
    int32_t GridSize = 0;
    double GridFill = kEngineGridFill;
    bool IFCancelRequested = false;
    int32_t IFCurrentActuator = -1;
    bool IFStepReady = false;
    // Voltages at the start of the run, one per actuator; empty when no run
    // has voltages to put back.
    std::vector<double> IFSavedVoltages;
    // Largest actuator voltage at the start of the run: the run voltage (V).
    double IFMaxVoltage = 0.0;
    // The mirror selection the run was started for (DMModelLocal's
    // MirrorGeneration and MirrorInfo); a run whose mirror was replaced is
    // cancelled. Never dereferenced.
    uint64_t IFMirrorGeneration = 0;
    const void* IFMirrorInfo = nullptr;

    // Index of the real part of far-field element (r, c), both 1-based.
    int64_t FarFieldIndex(int32_t r, int32_t c) const {
        return 2 * ((static_cast<int64_t>(r) - 1) * FarFieldSize + c) - 1;
    }

    // Makes Surface rows x rows zeros and records rows in GridRows.
    void AllocateSurface(int32_t rows);
    void FreeSurface();
    // Drops the influence-function store; IFActuatorCount and IFGridSize 0.
    void FreeInfluenceFunctions();
    // Makes a zeroed store for count actuators on an n x n grid and records
    // count and n (nothing for a negative count or size).
    void AllocateInfluenceFunctions(int32_t count, int32_t n);
    // Makes FarField 2 (size + 1)^2 zeroed floats (empty for size <= 0) and
    // records size.
    void AllocateFarField(int32_t size);
    void FreeFarField();
    void FreeSavedVoltages();
    // Drops everything and returns to the start state.
    void Reset();
};

} // namespace ostrander
