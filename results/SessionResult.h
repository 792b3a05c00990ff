#pragma once
// The result of the voltages an engine session's mirror holds now: the idle
// pass (the 0.1 V floor, synthesis, far field) run afresh under the display
// options, the five pictures and the actuator map drawn into images, and the
// figures, surface and far field collected. ostrander-cli applies its
// requested voltages first; the main window's export takes the voltages and
// choices the user has set. Both then write the same files from this.
#include "model/EngineGrid.h"
#include "model/pictures/PictureCommon.h"
#include "results/RunDescription.h"
#include "results/RunWarnings.h"

#include <QImage>

#include <limits>
#include <string>
#include <vector>

namespace ostrander {

class EngineSession;

struct DisplayOptions {
    bool removeFocus = false;
    double focusAdjust = 0.0; // -1 .. 2, used with removeFocus
    int zoom = 1;             // far-field zoom, 1 .. 100
    // Surface image, interferogram and three-dimensional image, pixels.
    int width = kPictureWidth;
    int height = kPictureHeight;
    // Exact model: the surface of the result is the nonlinear equilibrium
    // (when the voltages have one) instead of the corrected linear surface.
    bool nonlinear = false;
    double wavelength = kEngineWavelength; // m, far field and interferogram
    // Draw the pictures; without them only the grids and figures are made.
    bool pictures = true;
};

struct SimulationResult {
    // Volts held by the mirror, by display number - 1, after the floor rule.
    std::vector<double> voltages;
    bool voltagesAtFloor = false;
    // Requested voltages that the mirror's rules changed, and how many were asked.
    int changedByRules = 0;
    int requested = 0;
    std::vector<VoltageChange> changes; // by display number
    double runVoltage = 0.0;  // V
    double peakVoltage = 0.0; // V, largest held voltage
    double meanVoltage = 0.0; // V, the mean that the mirror's limit applies to
    double pv = 0.0;          // m, peak-to-valley of the corrected surface
    // The membrane model's own verdict: the classic model's PV over a third
    // of the gap, the exact model's pull-in factor at or below 1.
    bool snapDown = false;
    std::string model;
    // Exact model: the largest scale of these voltages that still has an
    // equilibrium (infinite when nothing pulls); NaN with the classic model.
    double pullInFactor = std::numeric_limits<double>::quiet_NaN();
    // Largest deflection of the physical surface (before tilt, piston and
    // focus come off), m; the nonlinear one when `surface` holds it.
    double maxDeflection = 0.0;
    bool nonlinearSurface = false; // `surface` is the raw nonlinear equilibrium
    double pupilMin = 0.0, pupilMax = 0.0, pupilRms = 0.0; // m, over the beam
    double strehl = 0.0;
    // The corrected surface, n x n metres, row i at [i * n].
    int n = 0;
    std::vector<double> surface;
    // Far-field intensities, size x size, element (r, c) (1-based) at
    // [(r - 1) * size + c - 1], zero frequency at (size/2 + 1, size/2 + 1).
    int farFieldSize = 0;
    std::vector<double> farField;
    QImage surfaceImage, interferogram, threeD, farFieldImage, farFieldPlot, mirrorMap;
};

// The display options the session holds now (the window's choices): "Remove
// Focus and Piston", the focus kept, the far-field zoom and the wavelength;
// pictures at their design sizes.
DisplayOptions PresentDisplayOptions(const EngineSession& session);

// The sampling, beam and far-field scale of the selected mirror's results.
RunGeometry SessionGeometry(const EngineSession& session);

// Computes the results of the voltages the session's mirror holds, under the
// options (which the working state then keeps), and fills result with them
// (the requested-voltage fields stay empty: they are the caller's). False
// with the reason when there is nothing to compute.
// The engine's surface may be left uncorrected afterwards: a window marks its
// results stale so that its next pass computes them again.
bool CollectSessionResult(EngineSession& session, const DisplayOptions& options,
                          SimulationResult& result, std::string& error);

} // namespace ostrander
