#pragma once
// The user's working selection behind ModelLocal: the selected mirror, the
// engine's copy of the voltages and the display options of the main window.
// The application owns the one instance; tests make their own.
#include <cstdint>
#include <memory>

namespace ostrander {

class MirrorInfoClass;
class MirrorClass;

class DMModelLocal {
public:
    DMModelLocal();
    // Destroys the mirror description and the mirror (which drives every
    // channel to 0 V) and releases the arrays and working grids.
    ~DMModelLocal();
    DMModelLocal(const DMModelLocal&) = delete;
    DMModelLocal& operator=(const DMModelLocal&) = delete;

    // Replaces the selected mirror (destroying the old description and
    // mirror), sets MirrorIndex and reallocates ActuatorVoltages (zeroed) to
    // the given actuator count. Takes ownership of info and mirror.
    void SelectMirror(int32_t index, MirrorInfoClass* info, MirrorClass* mirror,
                      int32_t actuatorCount);
    // Destroys the selected mirror description and mirror, if any.
    void ReleaseMirror();
    void ReleaseFarFieldPlotGrid();
    void ReleaseThreeDImageGrid();

    // Counts mirror selections, so that a run can tell that the mirror it
    // started with was replaced.
    uint64_t MirrorGeneration = 0;
    // Index of the selected mirror in the device list; -1 for none.
    int32_t MirrorIndex = -1;
    // The selected mirror's description, owned; null means no mirror.
    MirrorInfoClass* MirrorInfo = nullptr;
    // The mirror object through which all voltages are read and set, owned.
    MirrorClass* Mirror = nullptr;
    // Influence functions are ready: the idle pass recomputes all results.
    bool DisplaysValid = false;
    // The voltage (V) the engine last set on each actuator during a run,
    // indexed by display number - 1; owned.
    double* ActuatorVoltages = nullptr;
    int32_t ActuatorVoltageCount = 0;
    // "Remove Focus and Piston".
    bool RemoveFocus = false;
    // Far-field zoom factor, 1 to 100.
    int32_t FarFieldZoom = 1;
    // Working grid of the far-field plot (row pointers), owned.
    double** FarFieldPlotGrid = nullptr;
    int32_t FarFieldPlotGridRows = 0;
    // Fraction of the mirror diameter covered by the beam.
    double BeamFraction = 0.8;
    // Working grid of the three-dimensional image (row pointers), owned.
    double** ThreeDImageGrid = nullptr;
    int32_t ThreeDImageGridRows = 0;
    // No actuator exceeded 0.1 V at the last idle pass, so all were set to it.
    bool VoltagesAtFloor = false;
    // Largest actuator voltage (V) at the last idle pass, and it over 350 V.
    double PeakVoltage = 0.0;
    double PeakVoltageFraction = 0.0;
    // Far-field focus slider value, -1.0 to +2.0.
    double FocusAdjust = 0.0;
};

} // namespace ostrander
