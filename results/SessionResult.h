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

#include "toolkit/Canvas.h"

#include <limits>
#include <memory>
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
    // (when the voltages have one) instead of the linear surface; the same
    // corrections come off it.
    bool nonlinear = false;
    double wavelength = kEngineWavelength; // m, far field and interferogram
    // Draw the pictures; without them only the grids and figures are made.
    bool pictures = true;
    // The grids (surface, far field) as CSV, as FITS images, or both.
    bool csvGrids = true;
    bool fitsGrids = true;
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
    // Every figure, grid and picture below comes from one surface: the
    // linear one, or with `nonlinear` asked and an equilibrium found, the
    // exact model's nonlinear equilibrium (nonlinearSurface). Tilt (and with
    // removeFocus piston and the chosen focus) is fitted over the beam and
    // taken off the whole membrane.
    double pv = 0.0;          // m, peak-to-valley of the corrected surface over the beam
    double membranePv = 0.0;  // m, the same over the whole membrane disc
    // The membrane model's own verdict: the classic model's peak-to-valley
    // over the whole grid (as the pictures' label) above a third of the gap,
    // the exact model's pull-in factor at or below 1.
    bool snapDown = false;
    std::string model;
    // Exact model: the largest scale of these voltages that still has an
    // equilibrium (infinite when nothing pulls); NaN with the classic model.
    double pullInFactor = std::numeric_limits<double>::quiet_NaN();
    // Largest deflection of the physical surface (before tilt, piston and
    // focus come off), m; the nonlinear one when `surface` holds it.
    double maxDeflection = 0.0;
    bool nonlinearSurface = false; // the surface is the nonlinear equilibrium
    bool focusRemoved = false;     // piston and focus were taken off as well as tilt
    // The nonlinear surface was asked for, but the voltages are past pull-in:
    // there is none, and everything here is of the linear surface.
    bool pulledIn = false;
    double pupilMin = 0.0, pupilMax = 0.0, pupilRms = 0.0; // m, over the beam
    // Peak of the far field (of the Gaussian beam over the whole grid) over a
    // flat mirror's.
    double strehl = 0.0;
    // The corrected surface, n x n metres, row i at [i * n].
    int n = 0;
    std::vector<double> surface;
    // Far-field intensities, size x size, element (r, c) (1-based) at
    // [(r - 1) * size + c - 1], zero frequency at (size/2 + 1, size/2 + 1),
    // over the peak of a flat mirror's far field with the same beam and grid:
    // a flat mirror's peak is 1 and the peak is the Strehl ratio.
    int farFieldSize = 0;
    std::vector<double> farField;
    double flatMirrorPeak = 0.0; // the engine's raw intensity that became 1
    // The pictures, drawn with the installed picture backend (none without
    // options.pictures; mirrorMap none as well for a mirror without a map).
    std::shared_ptr<const Canvas> surfaceImage, interferogram, threeD, farFieldImage, farFieldPlot,
        mirrorMap;
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
