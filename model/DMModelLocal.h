#pragma once
// The user's working selection behind ModelLocal: the selected mirror, the
// engine's copy of the voltages and the display options of the main window.
// The application owns the one instance; tests make their own.
#include "model/EngineGrid.h"
#include "model/FarFieldLevels.h"
#include "model/Grid.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ostrander {

class MirrorInfoClass;
class MirrorClass;

class DMModelLocal {
public:
    DMModelLocal();
    // Destroys the mirror (which drives every channel to 0 V), then the
    // mirror description.
    ~DMModelLocal();
    DMModelLocal(const DMModelLocal&) = delete;
    DMModelLocal& operator=(const DMModelLocal&) = delete;

    // Replaces the selected mirror (destroying the old mirror, then the old
    // description, before taking the new ones), sets MirrorIndex and makes
    // ActuatorVoltages the given count of zeros.
    void SelectMirror(int32_t index, std::unique_ptr<MirrorInfoClass> info,
                      std::unique_ptr<MirrorClass> mirror, int32_t actuatorCount);
    // Destroys the selected mirror, then its description, if any.
    void ReleaseMirror();
    // Makes ActuatorVoltages count zeros (none for a count below 1).
    void ResetActuatorVoltages(int32_t count);

    // Counts mirror selections, so that a run can tell that the mirror it
    // started with was replaced.
    uint64_t MirrorGeneration = 0;
    // Index of the selected mirror in the device list; -1 for none.
    int32_t MirrorIndex = -1;
    // The selected mirror's description; null means no mirror.
    std::unique_ptr<MirrorInfoClass> MirrorInfo;
    // The mirror object through which all voltages are read and set.
    std::unique_ptr<MirrorClass> Mirror;
    // Influence functions are ready: the idle pass recomputes all results.
    bool DisplaysValid = false;
    // The voltage (V) the engine last set on each actuator during a run,
    // indexed by display number - 1. ActuatorVoltageCount is its size, kept
    // by SelectMirror and ResetActuatorVoltages.
    std::vector<double> ActuatorVoltages;
    int32_t ActuatorVoltageCount = 0;
    // "Remove Focus and Piston".
    bool RemoveFocus = false;
    // Far-field zoom factor, 1 to 100.
    int32_t FarFieldZoom = 1;
    // Working grid of the far-field plot, kept between draws.
    Grid<double> FarFieldPlotGrid;
    // The grey levels both far-field pictures sample, of the latest far field.
    FarFieldLevels FarFieldPictureLevels;
    // Fraction of the mirror diameter covered by the beam.
    double BeamFraction = kEngineBeamFraction;
    // Samples per side the user asked for, for models that take a finer
    // grid; 0 leaves it to the mirror file (or the standard grid).
    int32_t GridSamples = 0;
    // Working grid of the three-dimensional image, kept between draws.
    Grid<double> ThreeDImageGrid;
    // No actuator exceeded 0.1 V at the last idle pass, so all were set to it.
    bool VoltagesAtFloor = false;
    // Largest actuator voltage (V) at the last idle pass, and it over 350 V.
    double PeakVoltage = 0.0;
    double PeakVoltageFraction = 0.0;
    // Far-field focus slider value, -1.0 to +2.0.
    double FocusAdjust = 0.0;
    // The membrane model's own snap-down verdict for the present voltages
    // (the exact model's pull-in), judged on the physical surface; unset,
    // the pictures mark a PV over a third of the gap.
    std::optional<bool> SnapDownVerdict;
    // Wavelength of the far field and the interferogram, metres. The window
    // keeps the default; the command-line tool may choose another.
    double Wavelength = kEngineWavelength;
};

} // namespace ostrander
