#pragma once
// The engine session driven without a window: a mirror is selected and its
// influence functions computed as loading it in the program does, with the
// run-timer ticks called back to back; then each simulation applies voltages
// through the mirror's rules, runs the session's idle pass (the 0.1 V floor,
// synthesis, far field), draws the pictures and collects the figures of the
// result. The session's statuses become the tool's error texts.
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "cli/RunDescription.h"
#include "cli/RunWarnings.h"

#include <QImage>

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace ostrander {

class DMInfoClass;
class MirrorClass;

struct DisplayOptions {
    bool removeFocus = false;
    double focusAdjust = 0.0; // -1 .. 2, used with removeFocus
    int zoom = 1;             // far-field zoom, 1 .. 100
    // Surface image, interferogram and three-dimensional image, pixels.
    int width = 309;
    int height = 335;
    // Exact model: the surface of the result is the nonlinear equilibrium
    // (when the voltages have one) instead of the corrected linear surface.
    bool nonlinear = false;
    double wavelength = DMModelMain::kWavelength; // m, far field and interferogram
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

class BatchSimulation {
public:
    BatchSimulation();
    ~BatchSimulation();
    BatchSimulation(const BatchSimulation&) = delete;
    BatchSimulation& operator=(const BatchSimulation&) = delete;

    // Selects the mirror of an info file (a device-folder name such as
    // "..\Devices\Hex19.ini", or an absolute path).
    bool Load(const std::string& infoFile, std::string& error);
    // The membrane model of the runs that follow; false for an unknown name.
    bool UseModel(const std::string& name);
    // Computes the influence functions; progress(done, total) after each
    // actuator. False with the reason when the run is refused.
    bool RunInfluenceFunctions(const std::function<void(int, int)>& progress, std::string& error);
    // Applies the voltages and computes the results and pictures.
    bool Simulate(const VoltageRequest& request, const DisplayOptions& options,
                  SimulationResult& result, std::string& error);

    // The influence functions per volt squared, as the synthesis weighs
    // them: plane k - 1 (display number k) holds the deflection in metres of
    // the membrane when pad k alone pulls with 1 V relative to the membrane
    // electrode, element (i, j) with i along x at [((k - 1) n + i) n + j].
    // Any voltages give the surface sum over k of (V_k - V_electrode)^2
    // times plane k - 1. The electrode's own plane is zero: it acts through
    // every pad's voltage. Empty before the influence functions.
    std::vector<double> InfluencePerVoltSquared() const;
    // The membrane electrode's display number, 0 when the mirror has none.
    int MembraneElectrode() const;
    // The mirror's model description (null before Load).
    const DMInfoClass* Model() const;

    std::string DeviceName() const;
    // The model's actuator count: display numbers run 1 .. this.
    int ActuatorCount() const;
    double Separation() const; // m
    // The sampling, beam and far-field scale of the runs.
    RunGeometry Geometry() const;
    // The actuator map file the mirror info file names (empty before Load).
    std::string MapFile() const;

    MainData& Data() { return data_; }
    DMModelLocal& Local() { return local_; }
    DMModelMain& Engine() { return session_.Engine(); }
    EngineSession& Session() { return session_; }

    // The error text for a refused run.
    static std::string RunRefusal(RunStart status);

private:
    // Runs the far-field pictures when the engine asks for them.
    class Host : public RecordingModelHost {
    public:
        void DrawFarFieldPictures() override {
            RecordingModelHost::DrawFarFieldPictures();
            if (drawFarField)
                drawFarField();
        }
        std::function<void()> drawFarField;
    };

    // Largest far-field intensity of a flat surface with this beam and grid.
    double FlatMirrorPeak();

    MainData data_;
    DMModelLocal local_;
    Host host_;
    EngineSession session_{data_, local_, host_};
    double flatPeak_ = 0.0;
};

} // namespace ostrander
