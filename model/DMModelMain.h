#pragma once
// The membrane engine: analytic deflection, influence-function run, surface
// synthesis with the Zernike tools, and the far field. It keeps no data of its
// own: it works on the model record and the working state it is given and
// reaches the window through the host. Everything runs on the UI thread.
#include <cstdint>

namespace ostrander {

struct MainData;
class DMModelLocal;
class ModelHost;

class DMModelMain {
public:
    // Puts the record into its start state (frees what it held).
    DMModelMain(MainData& data, DMModelLocal& local, ModelHost& host);

    MainData& Data() { return data_; }
    DMModelLocal& Local() { return local_; }

    // Deflection model.
    void PrepareGrid();
    void ComputeAnalyticSurface();
    static double EdgeDistance(double px, double py, double rhoA, double thetaA, double R);
    static bool LiesBetween(double a, double b, double c);
    void ClearBeyondPupil();

    // Influence-function run, one actuator per run-timer tick.
    void CalculateInfluenceFunctions();
    void RequestInfluenceFunctions();
    void StartInfluenceFunctions();
    void InfluenceFunctionStep();
    void StopInfluenceFunctions();

    // Synthesis and the pupil tools.
    void SynthesizeSurface();
    static void ZernikeIndex(int term, int& n, int& m);
    static double ZernikeValue(int n, int m, double rho, double theta);
    double FitZernikeTerm(int term);
    void RemoveZernikeTerm(int term, double a);
    void PupilStatistics(double& min, double& max, double& rms);

    // Far field of the reflected Gaussian beam into MainData::FarField.
    void ComputeFarField();

    // Fixed values of the model.
    static constexpr int32_t kGridSize = 100;
    static constexpr double kWavelength = 1.064e-6; // m
    static constexpr double kBeamRadius = 0.003;    // m, amplitude 1/e
    static constexpr double kPiEpsilon0 = 2.7815661354884025e-11;
    static constexpr double kEpsilon0 = 8.854e-12; // F/m

private:
    MainData& data_;
    DMModelLocal& local_;
    ModelHost& host_;
};

} // namespace ostrander
