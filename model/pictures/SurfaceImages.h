#pragma once
// The surface image (false-colour deflection with two profiles) and the
// interferogram (fringes at 1064 nm), both seen from the front with the
// mirror outline, the actuator outlines and numbers and the peak-to-valley.
#include "model/pictures/PictureCommon.h"

#include <optional>
#include <vector>

namespace ostrander {

class DMInfoClass;

// What the surface pictures need of the mirror model. Lengths in metres,
// actuator centres from the mirror centre.
struct MirrorDrawing {
    struct Actuator {
        // False for a display number that has no actuator (skipped).
        bool present = false;
        double X = 0.0, Y = 0.0;
        double Rinner = 0.0, Router = 0.0;
        double Dcontact_m = 0.0, DcontactY_m = 0.0;
    };
    double Diameter_m = 0.0;
    bool Square = false;
    double Separation_m = 0.0;
    // The membrane model's snap-down verdict; unset: PV over a third of the gap.
    std::optional<bool> SnapDown;
    // 0 circular, 1 rectangular, 2 ring, 3 quarter ring.
    int ActuatorType = 0;
    double QuarterRingGap_m = 0.0;
    // By display number: actuators[k - 1] is display number k.
    std::vector<Actuator> actuators;
};

// What the surface pictures draw of a DM model: display numbers 1 to
// Actuators, each with the first actuator in list order that carries it.
// Auxiliary actuators (electrodes beside the membrane, such as the
// membrane's own) have no place on the membrane and are left out.
MirrorDrawing MirrorDrawingFrom(const DMInfoClass& model);

// Wavelength of the interferogram unless the grid gives another, metres.
inline constexpr double kInterferogramWavelength = 1.064e-6;

// An n x n surface grid (metres, rows[i][j], i along x, j along y) whose
// mirror diameter spans n x fill - 2 samples.
struct SurfaceGrid {
    const double* const* rows = nullptr;
    int n = 0;
    double fill = 0.97;
    double wavelength = kInterferogramWavelength; // metres, of the interferogram
};

// Each draws on the whole canvas and returns the extremes of the surface;
// finite false when the grid is missing or holds a non-finite value.
// "Nothing to display." is shown then and when the surface is flat.
GridRange DrawSurfaceImage(Canvas& canvas, const SurfaceGrid& surface, const MirrorDrawing& mirror);
GridRange DrawInterferogram(Canvas& canvas, const SurfaceGrid& surface,
                            const MirrorDrawing& mirror);

} // namespace ostrander
