#pragma once
// How much atmospheric turbulence the session's mirror takes out: for each
// D/r0 (D the beam diameter) a run of seeded phase screens, each corrected
// by the bounded least-squares fit over the beam with one factorisation of
// the influence matrix, and the residual's RMS, Strehl ratio (from the far
// field of the residual field, the Marechal estimate beside it), pads at a
// bound and pull-in margin. Screen by screen, so that a window, the Python
// module and the command line drive it alike and can stop it between screens.
//
// The convention: a screen is the incoming wavefront (optical path, m). The
// mirror corrects it with half its amplitude as surface, because reflection
// doubles the path: the fit's target surface is W / 2 and the corrected
// wavefront is W - 2 h, h the change of the surface from the bias.
//
// Screen k of every D/r0 is the same random screen scaled by
// (D/r0)^(5/6), so the curves over D/r0 are smooth, and a D/r0 gives the
// same numbers whatever other values the study holds.
#include "model/ExactMembrane.h"
#include "model/VoltageFit.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

class EngineSession;

// The convention every output states.
inline constexpr const char* kTurbulenceConvention =
    "screen = incoming wavefront W (optical path, m); the mirror's surface change h is fitted "
    "to W/2 because reflection doubles the path; corrected wavefront = W - 2h";

// A screen counts as saturated when its fit holds a pad at a bound or meets
// the mean rule, or when the pull-in factor of its voltages is below this
// (exact model; the classic model's verdict is a deflection past a third of
// the gap). A saturated screen keeps its best bounded fit.
inline constexpr double kTurbulencePullInMargin = 1.2;

struct TurbulenceSettings {
    std::vector<double> dOverR0; // each > 0
    int screens = 200;           // per D/r0, > 0
    std::uint64_t seed = 1;
    double outerScale = std::numeric_limits<double>::infinity(); // L0, m
    double wavelength = 500e-9;  // m: where r0 is given, and of the Strehl ratio
    std::optional<double> bias;  // none: the study finds the mirror's best
    int keep = 0; // screens of each D/r0 whose grids the results keep
};

// Why the settings cannot run (empty when they can): no or a non-positive
// D/r0, no screens, a bad outer scale, wavelength, bias or keep count.
std::string TurbulenceSettingsProblem(const TurbulenceSettings& settings);

// The grids of a kept screen: n x n, engine layout, metres.
struct KeptScreen {
    std::vector<double> wavefront; // W
    std::vector<double> surface;   // h, the fitted change of the surface
    std::vector<double> residual;  // W - 2h, piston removed, 0 outside the beam
};

struct ScreenCorrection {
    int point = 0;  // index into the settings' D/r0 values
    int screen = 0; // 0-based within its D/r0
    double dOverR0 = 0.0;
    double inputRms = 0.0;    // of W over the beam, piston removed, m
    double residualRms = 0.0; // of W - 2h over the beam, piston removed, m
    double strehl = 0.0;      // peak of the residual field's far field over a flat wavefront's
    double marechal = 0.0;    // exp(-(2 pi residualRms / wavelength)^2)
    int padsAtBounds = 0;     // pads at the floor or the ceiling
    bool meanRuleActive = false;
    double pullInFactor = std::numeric_limits<double>::quiet_NaN(); // exact model
    bool snapDown = false;    // classic model: deflection past a third of the gap
    bool saturated = false;
    std::vector<double> volts; // fitted, by display number - 1; empty when the fit was refused
    std::optional<KeptScreen> kept;
};

// One D/r0: the screens' means and sample standard deviations.
struct TurbulencePoint {
    double dOverR0 = 0.0;
    int screens = 0;
    double residualRmsMean = 0.0, residualRmsSpread = 0.0; // m
    double strehlMean = 0.0, strehlSpread = 0.0;
    double marechalMean = 0.0;
    double inputRmsMean = 0.0; // m
    double saturatedFraction = 0.0;
    double padsAtBoundsMean = 0.0;
    double residualVarianceMean = 0.0; // rad^2 at the wavelength
};

// The theory beside the mirror's curves, phase variance in rad^2 at the
// wavelength: uncorrected 1.0299 (D/r0)^(5/3) and with ideal tip-tilt removal
// 0.134 (D/r0)^(5/3) (Noll), and the fitting error of an ideal continuous
// mirror with the mirror's mean actuator pitch d, 0.274 (d/r0)^(5/3).
struct TurbulenceReference {
    double uncorrected = 0.0;
    double tipTilt = 0.0;
    double fittingError = 0.0;
};
TurbulenceReference ReferenceVariances(double dOverR0, double pitchOverDiameter);
// The wavefront RMS (m) of a phase variance at a wavelength.
double PathRms(double variance, double wavelength);

class TurbulenceStudy {
public:
    enum class Status {
        NotPrepared,
        Ready,    // screens are left to correct
        Finished, // every screen corrected
        NoInfluenceFunctions, // no mirror, or its influence run has not finished
        BadSettings,          // problem() says which
        NoBias,               // the given bias is refused, or no bias is usable
        Cancelled,
    };

    // The session must outlive Prepare; the study keeps what it needs of the
    // mirror, so the session may change afterwards.
    TurbulenceStudy(EngineSession& session, TurbulenceSettings settings);
    ~TurbulenceStudy();
    TurbulenceStudy(const TurbulenceStudy&) = delete;
    TurbulenceStudy& operator=(const TurbulenceStudy&) = delete;

    // Checks the settings and takes what the study needs of the session's
    // mirror (a copy), without searching for the bias: NotPrepared when that
    // went well, else NoInfluenceFunctions or BadSettings. The only call that
    // reads the session besides Prepare: taken on the session's own thread,
    // it lets Prepare and Step run on another while the session goes on
    // changing. A Prepare after it uses what it took.
    Status TakeMirror();
    // Checks the settings and the mirror, and finds the best bias unless one
    // was given: each candidate voltage corrects a few screens at the middle
    // D/r0, a screen past the pull-in margin counting as uncorrected, and the
    // lowest mean residual wins (among near ties, the bias whose force is
    // nearest the middle of the pads' range). A few dozen fits and pull-in
    // solves.
    Status Prepare(const CancelCheck& cancelled = {});
    // Corrects the next screen; none when not Ready or when cancelled (asked
    // first, and during the pull-in solve; the status then says Cancelled,
    // and the study cannot go on).
    std::optional<ScreenCorrection> Step(const CancelCheck& cancelled = {});
    // Corrects a wavefront of the caller's (n x n metres, engine layout) as a
    // screen of the study is corrected, and keeps its grids; not recorded.
    // None when not prepared, or cancelled.
    std::optional<ScreenCorrection> CorrectWavefront(const std::vector<double>& wavefront,
                                                     const CancelCheck& cancelled = {});

    Status GetStatus() const { return status_; }
    const std::string& Problem() const { return problem_; }
    const TurbulenceSettings& Settings() const { return settings_; }
    std::string ModelName() const { return model_; }
    double Bias() const { return bias_; }
    bool BiasFound() const { return !settings_.bias.has_value(); }
    // The candidates tried and their mean residual RMS (m) when the bias was found.
    const std::vector<std::pair<double, double>>& BiasCandidates() const { return candidates_; }
    // The mean distance from each pad's centre to its nearest neighbour, m,
    // and the beam diameter, m.
    double ActuatorPitch() const { return pitch_; }
    double BeamDiameter() const { return diameter_; }
    int Pads() const { return pads_; }
    int TotalScreens() const;
    int Done() const { return static_cast<int>(results_.size()); }

    const std::vector<ScreenCorrection>& Results() const { return results_; }
    // The D/r0 points with at least one screen corrected.
    std::vector<TurbulencePoint> Points() const;
    // a_F in sigma^2 = a_F (d/r0)^(5/3): fitted in log over the D/r0 points
    // that have all their screens and at most 10 % of them saturated (the
    // geometric mean of sigma^2 / (d/r0)^(5/3)); none without such a point.
    std::optional<double> FittingCoefficient() const;

private:
    struct Engine;
    // Corrects base screen (D/r0 = 1) scaled to dOverR0; ok false when cancelled.
    ScreenCorrection Correct(int point, int screen, double dOverR0, const std::vector<double>& base,
                             const VoltageFitter& fitter, double bias, bool keep,
                             const CancelCheck& cancelled, bool& ok);
    bool FindBias(const CancelCheck& cancelled);

    EngineSession& session_;
    TurbulenceSettings settings_;
    Status status_ = Status::NotPrepared;
    std::string problem_;
    std::string model_;
    double bias_ = 0.0;
    double pitch_ = 0.0, diameter_ = 0.0;
    int pads_ = 0;
    std::vector<std::pair<double, double>> candidates_;
    std::unique_ptr<Engine> engine_;
    bool taken_ = false; // TakeMirror has read the session for the next Prepare
    std::vector<ScreenCorrection> results_;
};

} // namespace ostrander
