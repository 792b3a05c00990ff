#pragma once
// The record of the membrane model: grid size, surface grid and its extremes,
// influence-function store and run state, far-field buffer.
//
// Lengths in metres. Grids are row-pointer arrays (model/RowGrid.h): element
// [i][j] lies at x = (i - N/2) dx, y = (j - N/2) dx, N = GridSize, with
// dx = Diameter_m / (N * GridFill - 2). The record owns its grids and frees
// them by their recorded sizes (GridRows; IFActuatorCount and IFGridSize).
#include <cstdint>

namespace ostrander {

class DMInfoClass;

struct MainData {
    MainData() = default;
    ~MainData();
    MainData(const MainData&) = delete;
    MainData& operator=(const MainData&) = delete;

    // The DM model of the selected mirror; not owned (it belongs to the
    // mirror description), refreshed by every engine operation.
    DMInfoClass* DmInfo = nullptr;
    // Far-field complex buffer, 2 x (FarFieldSize + 1)^2 floats, owned.
    // Element (r, c), both 1-based up to FarFieldSize, has its real part at
    // index 2((r-1) FarFieldSize + c) - 1 and its imaginary part at the next
    // index; index 0 is unused. Use FarFieldIndex below.
    float* FarField = nullptr;
    int32_t FarFieldSize = 0;
    // Membrane deflection in metres, GridRows x GridSize, owned.
    double** Surface = nullptr;
    double SurfaceMax = 0.0;
    double SurfaceMin = 0.0;
    // Rows now allocated in Surface (used when freeing).
    double GridRows = 0.0;
    // (IFActuatorCount + 2) planes of (IFGridSize + 1) x (IFGridSize + 1)
    // doubles; plane p holds the deflection of the actuator with display
    // number p + 1 alone at the run voltage. Owned.
    double*** InfluenceFunctions = nullptr;
    // Force in newtons of the largest pad at the run voltage.
    double IFReferenceForce = 0.0;
    double IFActuatorCount = 0.0;
    double IFGridSize = 0.0;
    bool MirrorParameterChanged = false;
    int32_t GridSize = 0;
    double GridFill = 0.97;
    bool IFCancelRequested = false;
    int32_t IFCurrentActuator = -1;
    bool IFStepReady = false;
    // Voltages at the start of the run, one per actuator, owned.
    double* IFSavedVoltages = nullptr;
    int32_t IFSavedVoltageCount = 0;
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

    // Frees Surface (GridRows rows) and allocates rows x rows zeros.
    void AllocateSurface(int32_t rows);
    void FreeSurface();
    // Frees the influence-function store by IFActuatorCount and IFGridSize.
    void FreeInfluenceFunctions();
    // Allocates a zeroed store for count actuators on an n x n grid and
    // records count and n.
    void AllocateInfluenceFunctions(int32_t count, int32_t n);
    // Frees FarField and allocates 2 (size + 1)^2 zeroed floats.
    void AllocateFarField(int32_t size);
    void FreeFarField();
    void FreeSavedVoltages();
    // Frees everything and returns to the start state.
    void Reset();
};

} // namespace ostrander
