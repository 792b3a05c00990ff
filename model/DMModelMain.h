#pragma once
// The membrane engine: analytic deflection, influence-function run, surface
// synthesis with the Zernike tools, and the far field. It works on the model
// record and the working state it is given and reaches the window through the
// host; of its own it keeps only tables of pupil geometry that depend on the
// grid and the mirror diameter. It shows no messages: operations that can be
// refused return a status (model/EngineStatus.h). Everything runs on the UI
// thread.
#include "model/EngineGrid.h"
#include "model/EngineStatus.h"
#include "model/EngineZernike.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrander {

struct MainData;
class DMModelLocal;
class DMInfoClass;
class MembraneModel;
class ModelHost;

class DMModelMain {
public:
    // Puts the record into its start state (frees what it held).
    DMModelMain(MainData& data, DMModelLocal& local, ModelHost& host);

    MainData& Data() { return data_; }
    DMModelLocal& Local() { return local_; }
    ModelHost& Host() { return host_; }

    // The membrane model each run step computes its actuator with (not
    // owned; null: the analytic model, ComputeAnalyticSurface).
    void SetMembraneModel(MembraneModel* model) { model_ = model; }

    // Deflection model.
    void PrepareGrid();
    void ComputeAnalyticSurface();
    static double EdgeDistance(double px, double py, double rhoA, double thetaA, double R);
    // EdgeDistance for a point and actuator centre given in Cartesian form.
    static double EdgeDistanceFrom(double px, double py, double ax, double ay, double R);
    static bool LiesBetween(double a, double b, double c);
    void ClearBeyondPupil();

    // Influence-function run, one actuator per run-timer tick.
    RunStart CalculateInfluenceFunctions();
    RunStart RequestInfluenceFunctions();
    RunStart StartInfluenceFunctions();
    RunTick InfluenceFunctionStep();
    void StopInfluenceFunctions();

    // Synthesis and the pupil tools. Each stored function is scaled by its
    // voltage as the force law says: SignedSquare V |V| (the analytic model
    // without a membrane electrode), Square V^2 (the force itself; always with
    // a membrane electrode, where V is relative to it), Linear V (measured
    // functions declared linear in the command; V relative to an electrode).
    enum class ForceLaw { SignedSquare, Square, Linear };
    SynthesisStatus SynthesizeSurface(ForceLaw law = ForceLaw::SignedSquare);
    static void ZernikeIndex(int term, int& n, int& m) { EngineZernikeIndex(term, n, m); }
    static double ZernikeValue(int n, int m, double rho, double theta) {
        return EngineZernikeValue(n, m, rho, theta);
    }
    // Least-squares coefficient of a term over the pupil; RemoveZernikeTerm
    // subtracts a times the term at the pupil's points only,
    // RemoveZernikeTermOverMembrane at every point of the membrane (rho
    // still measured in pupil radii), so a correction fitted over the beam
    // leaves no step at the beam's edge.
    double FitZernikeTerm(int term);
    void RemoveZernikeTerm(int term, double a);
    void RemoveZernikeTermOverMembrane(int term, double a);
    void PupilStatistics(double& min, double& max, double& rms);

    // The corrections the far field starts with, on the surface in place:
    // tilt always; with "Remove Focus and Piston" the samples beyond the
    // pupil, piston and the chosen part of the focus. Done, NoMirror or
    // NoSurface.
    FarFieldStatus CorrectSurface();
    // Far field of the reflected Gaussian beam into MainData::FarField; the
    // far-field pictures are drawn through the host.
    FarFieldStatus ComputeFarField();

    // Samples per side of the grid for this mirror under the present model:
    // the standard grid, or for a model that takes a finer one the user's
    // choice, else the mirror file's GridSamples.
    int32_t GridSizeFor(const DMInfoClass& dm) const;

    // How to use the program, as the information box shows it after a run
    // (an item starts with "-- ", its continuation lines with five blanks).
    static const std::vector<std::string>& HelpLines();

    // Fixed values of the model.
    static constexpr int32_t kGridSize = kEngineGridSize;
    static constexpr double kWavelength = kEngineWavelength; // m
    static constexpr double kBeamRadius = kEngineBeamRadius; // m, amplitude 1/e
    static constexpr double kPiEpsilon0 = 2.7815661354884025e-11;
    static constexpr double kEpsilon0 = 8.854e-12; // F/m

private:
    // Grid points in the pupil with their polar coordinates, and the Zernike
    // terms evaluated on them, for one grid size, beam fraction and diameter.
    struct PupilPoint {
        int32_t i;
        int32_t j;
        double rho;
        double theta;
    };
    struct PupilTable {
        int32_t n = 0;
        double diameter = 0.0;
        double beamFraction = 0.0;
        double gridFill = 0.0;
        bool valid = false;
        std::vector<PupilPoint> points;
        std::vector<std::vector<double>> terms; // by term number; empty until used
        // Every point of the membrane (r < D/2), rho in pupil radii, and the
        // low terms on them, filled when first used.
        std::vector<PupilPoint> membranePoints;
        std::vector<std::vector<double>> membraneTerms;
    };

    // Refreshes DmInfo from the selected mirror and sets GridSize; null when
    // no mirror description (or no DM model) is selected.
    DMInfoClass* RefreshModel();
    double GridStep(const DMInfoClass& dm) const;
    const PupilTable& Pupil(const DMInfoClass& dm);
    const std::vector<double>& TermValues(const DMInfoClass& dm, int term);
    // Makes sure Surface is an N x N grid (allocating a zeroed one if not).
    void EnsureSurface();
    // Mirror access by display number.
    double Voltage(int32_t displayIndex) const;
    void SetVoltage(int32_t displayIndex, double volts);
    void CancelRun();
    void FillFinishingLines();

    PupilTable pupil_;
    std::vector<double> termScratch_; // values of a term beyond the kept ones
    // Gaussian amplitude of the beam at each grid point (far field).
    std::vector<double> amplitude_;
    int32_t amplitudeN_ = 0;
    double amplitudeDiameter_ = 0.0;

    MainData& data_;
    DMModelLocal& local_;
    ModelHost& host_;
    MembraneModel* model_ = nullptr;
};

} // namespace ostrander
