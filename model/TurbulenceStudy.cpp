// The turbulence correction study; see TurbulenceStudy.h.
#include "model/TurbulenceStudy.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/ComplexFFTDetail.h"
#include "model/EngineSession.h"
#include "model/PhaseScreen.h"
#include "model/PullIn.h"
#include "model/SessionFit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrander {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kBiasProbeScreens = 4;
// Bias candidates: these fractions of the way from the lowest voltage to the highest.
constexpr double kBiasFractions[] = {0.3, 0.4, 0.5, 0.6, 0.7, 0.8};
constexpr double kMaxSaturatedForFit = 0.1;

double Mean(const std::vector<double>& v) {
    double s = 0.0;
    for (double x : v)
        s += x;
    return v.empty() ? 0.0 : s / static_cast<double>(v.size());
}

double Spread(const std::vector<double>& v) {
    if (v.size() < 2)
        return 0.0;
    const double m = Mean(v);
    double s = 0.0;
    for (double x : v)
        s += (x - m) * (x - m);
    return std::sqrt(s / static_cast<double>(v.size() - 1));
}

// The Strehl ratio of a residual wavefront over the beam: the peak of the
// far field of exp(2 pi i w / wavelength) on the beam (uniform amplitude),
// zero-padded to at least twice the grid, over a flat wavefront's peak. The
// peak may lie off the axis, so the whole far field is computed; the
// transform skips the padding's columns, which are zero.
class StrehlMeter {
public:
    StrehlMeter(const EngineGrid& grid, const std::vector<std::size_t>& beam) : grid_(grid), beam_(beam) {
        size_ = 1;
        while (size_ < 2 * grid.n)
            size_ *= 2;
        work_.assign(2 * static_cast<std::size_t>(size_) * size_ + 1, 0.0f);
    }

    double Strehl(const std::vector<double>& residual, double wavelength) {
        std::fill(work_.begin(), work_.end(), 0.0f);
        const int n = grid_.n;
        for (std::size_t at : beam_) {
            const std::size_t i = at / n, j = at % n;
            const double phase = 2.0 * kPi * residual[at] / wavelength;
            const std::size_t w = i * size_ + j;
            work_[1 + 2 * w] = static_cast<float>(std::cos(phase));
            work_[2 + 2 * w] = static_cast<float>(std::sin(phase));
        }
        ComplexFFT2DPartial(FFTKernel::Automatic, work_.data(), size_, size_, grid_.n, size_, 1);
        double peak = 0.0;
        for (std::size_t k = 0; k < static_cast<std::size_t>(size_) * size_; ++k) {
            const double re = work_[1 + 2 * k], im = work_[2 + 2 * k];
            peak = std::max(peak, re * re + im * im);
        }
        const double flat = static_cast<double>(beam_.size()) * static_cast<double>(beam_.size());
        return flat > 0 ? peak / flat : 0.0;
    }

private:
    EngineGrid grid_;
    const std::vector<std::size_t>& beam_;
    int size_ = 0;
    std::vector<float> work_;
};

} // namespace

TurbulenceReference ReferenceVariances(double dOverR0, double pitchOverDiameter) {
    TurbulenceReference r;
    const double k = std::pow(dOverR0, 5.0 / 3.0);
    r.uncorrected = 1.0299 * k;
    r.tipTilt = 0.134 * k;
    r.fittingError = 0.274 * std::pow(dOverR0 * pitchOverDiameter, 5.0 / 3.0);
    return r;
}

double PathRms(double variance, double wavelength) {
    return std::sqrt(std::max(0.0, variance)) * wavelength / (2.0 * kPi);
}

// What the study keeps of the mirror, and its working state.
struct TurbulenceStudy::Engine {
    FitMirror mirror;
    std::vector<std::size_t> beam; // beam sample indices
    std::shared_ptr<const ExactMembrane> membrane; // exact model, else null
    std::vector<int> displayOfIndex; // model index -> display number (0: none)
    std::vector<double> responseSum; // every pad's response summed, per grid point
    double separation = 0.0;
    std::optional<VoltageFitter> fitter;
    std::optional<PhaseScreenGenerator> generator;
    std::optional<StrehlMeter> strehl;

    // The base screen (D/r0 = 1) generator, seeded.
    PhaseScreenGenerator MakeGenerator(const TurbulenceSettings& s, double diameter) const {
        PhaseScreenSettings settings;
        settings.n = mirror.beam.n;
        settings.dx = mirror.beam.dx;
        settings.r0 = diameter;
        settings.wavelength = s.wavelength;
        settings.outerScale = s.outerScale;
        return PhaseScreenGenerator(settings, s.seed);
    }

    // Pull-in factor of voltages by display number - 1; NaN when not
    // computed, -1 when cancelled.
    double PullInFactor(const std::vector<double>& volts, const CancelCheck& cancelled) const {
        std::vector<double> byIndex(displayOfIndex.size(), 0.0);
        for (std::size_t k = 0; k < displayOfIndex.size(); ++k) {
            const int d = displayOfIndex[k];
            if (d >= 1 && d <= static_cast<int>(volts.size()))
                byIndex[k] = volts[d - 1];
        }
        return PullInFactorOf(*membrane, byIndex, cancelled, 1e-3);
    }

    // The classic model's snap-down: the membrane's whole deflection under
    // the fitted forces passes a third of the gap. That deflection is the
    // fit's predicted change from the bias surface plus the bias surface
    // (bias force x the sum of the responses), less the fit's piston, which
    // the range does not see.
    bool ClassicSnapDown(const VoltageFit& fit, double bias) const {
        const double biasForce = (bias - mirror.surfaceVolts) * (bias - mirror.surfaceVolts);
        double low = INFINITY, high = -INFINITY;
        for (std::size_t p = 0; p < fit.predicted.size() && p < responseSum.size(); ++p) {
            const double w = fit.predicted[p] + biasForce * responseSum[p];
            low = std::min(low, w);
            high = std::max(high, w);
        }
        return separation > 0.0 && high - low > separation / 3.0;
    }
};

TurbulenceStudy::TurbulenceStudy(EngineSession& session, TurbulenceSettings settings)
    : session_(session), settings_(std::move(settings)) {}

TurbulenceStudy::~TurbulenceStudy() = default;

int TurbulenceStudy::TotalScreens() const {
    return static_cast<int>(settings_.dOverR0.size()) * std::max(0, settings_.screens);
}

std::string TurbulenceSettingsProblem(const TurbulenceSettings& s) {
    if (s.dOverR0.empty())
        return "no D/r0 values";
    if (std::any_of(s.dOverR0.begin(), s.dOverR0.end(),
                    [](double v) { return !std::isfinite(v) || v <= 0 || v > 1000; }))
        return "every D/r0 must be a number above 0 (and at most 1000)";
    if (s.screens <= 0 || s.screens > 1000000)
        return "the number of screens must be from 1 to 1000000";
    if (!(s.outerScale > 0) || std::isnan(s.outerScale))
        return "the outer scale must be above 0 m";
    if (!std::isfinite(s.wavelength) || s.wavelength <= 0)
        return "the wavelength must be above 0";
    if (s.keep < 0)
        return "the number of screens to keep cannot be negative";
    if (s.bias && !std::isfinite(*s.bias))
        return "the bias must be a number of volts";
    return {};
}

TurbulenceStudy::Status TurbulenceStudy::TakeMirror() {
    results_.clear();
    candidates_.clear();
    engine_.reset();
    taken_ = false;
    problem_ = TurbulenceSettingsProblem(settings_);
    if (!problem_.empty())
        return status_ = Status::BadSettings;
    std::optional<FitMirror> mirror = FitMirrorOf(session_);
    const DMInfoClass* dm = session_.MirrorModel();
    if (!mirror || !dm) {
        problem_ = "the mirror has no influence functions yet";
        return status_ = Status::NoInfluenceFunctions;
    }
    engine_ = std::make_unique<Engine>();
    Engine& e = *engine_;
    e.mirror = std::move(*mirror);
    model_ = std::string(session_.MembraneModelName());
    if (const std::optional<PullInInputs> inputs = session_.PullInInputsNow())
        e.membrane = inputs->membrane;
    e.separation = dm->Separation_m;
    e.displayOfIndex.assign(static_cast<std::size_t>(std::max(0, dm->Actuators)), 0);
    for (int k = 0; k < dm->Actuators; ++k)
        if (const DmActuatorInfoClass* a = dm->FindByIndex(k))
            e.displayOfIndex[k] = a->DisplayIndex;

    const EngineGrid& g = e.mirror.beam;
    e.responseSum.assign(g.Points(), 0.0);
    for (const std::vector<double>& response : e.mirror.response)
        if (response.size() == g.Points())
            for (std::size_t p = 0; p < response.size(); ++p)
                e.responseSum[p] += response[p];
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            if (g.InBeam(i, j))
                e.beam.push_back(g.Index(i, j));
    diameter_ = 2.0 * g.beamRadius;
    e.strehl.emplace(g, e.beam);

    // The pads' centres: the mean distance to the nearest neighbour.
    std::vector<std::pair<double, double>> centres;
    for (std::size_t k = 0; k < e.mirror.response.size(); ++k)
        if (!e.mirror.response[k].empty())
            if (const DmActuatorInfoClass* a = dm->FindByDisplayIndex(static_cast<int>(k) + 1))
                centres.emplace_back(a->X, a->Y);
    pads_ = static_cast<int>(centres.size());
    double sum = 0.0;
    for (std::size_t a = 0; a < centres.size(); ++a) {
        double nearest = INFINITY;
        for (std::size_t b = 0; b < centres.size(); ++b)
            if (a != b)
                nearest = std::min(nearest, std::hypot(centres[a].first - centres[b].first,
                                                       centres[a].second - centres[b].second));
        sum += nearest;
    }
    pitch_ = centres.size() > 1 ? sum / static_cast<double>(centres.size()) : diameter_;
    taken_ = true;
    return status_ = Status::NotPrepared;
}

TurbulenceStudy::Status TurbulenceStudy::Prepare(const CancelCheck& cancelled) {
    if (!taken_ && TakeMirror() != Status::NotPrepared)
        return status_;
    // The next Prepare reads the session again.
    taken_ = false;
    Engine& e = *engine_;
    if (settings_.bias) {
        bias_ = *settings_.bias;
    } else if (!FindBias(cancelled)) {
        return status_;
    }
    e.fitter.emplace(e.mirror, bias_);
    if (e.fitter->Status() != VoltageFit::Status::Fitted) {
        problem_ = "the bias of " + std::to_string(bias_) + " V is refused: " +
                   FitStatusText(e.fitter->Status());
        return status_ = Status::NoBias;
    }
    return status_ = Status::Ready;
}

bool TurbulenceStudy::FindBias(const CancelCheck& cancelled) {
    Engine& e = *engine_;
    const FitMirror& m = e.mirror;
    const double low = std::max(m.floorVolts, m.surfaceVolts);
    std::vector<double> sorted = settings_.dOverR0;
    std::sort(sorted.begin(), sorted.end());
    const double probe = sorted[sorted.size() / 2];
    PhaseScreenGenerator gen = e.MakeGenerator(settings_, diameter_);
    std::vector<std::vector<double>> screens;
    for (int k = 0; k < kBiasProbeScreens; ++k)
        screens.push_back(gen.Next());
    for (double fraction : kBiasFractions) {
        if (cancelled && cancelled()) {
            status_ = Status::Cancelled;
            return false;
        }
        const double bias = low + fraction * (m.maxVolts - low);
        const VoltageFitter fitter(m, bias);
        if (fitter.Status() != VoltageFit::Status::Fitted)
            continue;
        double score = 0.0;
        for (int k = 0; k < kBiasProbeScreens; ++k) {
            bool ok = true;
            const ScreenCorrection c =
                Correct(0, k, probe, screens[k], fitter, bias, false, cancelled, ok);
            if (!ok) {
                status_ = Status::Cancelled;
                return false;
            }
            const bool pastPullIn = c.snapDown || (!std::isnan(c.pullInFactor) &&
                                                   c.pullInFactor < kTurbulencePullInMargin);
            const double rms = pastPullIn ? c.inputRms : c.residualRms;
            score += rms * rms;
        }
        candidates_.emplace_back(bias, std::sqrt(score / kBiasProbeScreens));
    }
    // The lowest mean residual; among those within 1 % of it (a linear
    // membrane corrects alike at every bias until a bound binds), the one
    // whose force lies nearest the middle of the pads' range, which leaves
    // the most room both ways.
    double best = INFINITY;
    for (const auto& [bias, rms] : candidates_)
        best = std::min(best, rms);
    const auto force = [&](double v) { return (v - m.surfaceVolts) * (v - m.surfaceVolts); };
    const double middle = 0.5 * (force(low) + force(m.maxVolts));
    double nearest = INFINITY;
    for (const auto& [bias, rms] : candidates_)
        if (rms <= best * 1.01 && std::fabs(force(bias) - middle) < nearest) {
            nearest = std::fabs(force(bias) - middle);
            bias_ = bias;
        }
    if (candidates_.empty()) {
        problem_ = "no bias voltage is usable on this mirror (the mean-voltage limit refuses them all)";
        status_ = Status::NoBias;
        return false;
    }
    return true;
}

ScreenCorrection TurbulenceStudy::Correct(int point, int screen, double dOverR0,
                                          const std::vector<double>& base,
                                          const VoltageFitter& fitter, double bias, bool keep,
                                          const CancelCheck& cancelled, bool& ok) {
    Engine& e = *engine_;
    const EngineGrid& g = e.mirror.beam;
    ScreenCorrection c;
    c.point = point;
    c.screen = screen;
    c.dOverR0 = dOverR0;
    // The base screen has r0 = D; the path scales as r0^(-5/6).
    const double scale = std::pow(dOverR0, 5.0 / 6.0);
    std::vector<double> wavefront(base.size());
    for (std::size_t k = 0; k < base.size(); ++k)
        wavefront[k] = base[k] * scale;
    std::vector<double> target(wavefront.size());
    for (std::size_t k = 0; k < wavefront.size(); ++k)
        target[k] = 0.5 * wavefront[k];
    const VoltageFit fit = fitter.Fit(target, false);

    // The residual W - 2h over the beam, piston removed.
    std::vector<double> residual(g.Points(), 0.0);
    double inMean = 0.0, resMean = 0.0;
    for (std::size_t at : e.beam) {
        const double h = fit.status == VoltageFit::Status::Fitted ? fit.predicted[at] : 0.0;
        residual[at] = wavefront[at] - 2.0 * h;
        inMean += wavefront[at];
        resMean += residual[at];
    }
    const double count = static_cast<double>(e.beam.size());
    inMean /= count;
    resMean /= count;
    double inSquares = 0.0, resSquares = 0.0;
    for (std::size_t at : e.beam) {
        residual[at] -= resMean;
        inSquares += (wavefront[at] - inMean) * (wavefront[at] - inMean);
        resSquares += residual[at] * residual[at];
    }
    c.inputRms = std::sqrt(inSquares / count);
    c.residualRms = std::sqrt(resSquares / count);
    const double sigma = 2.0 * kPi * c.residualRms / settings_.wavelength;
    c.marechal = std::exp(-sigma * sigma);
    c.strehl = e.strehl->Strehl(residual, settings_.wavelength);

    if (fit.status == VoltageFit::Status::Fitted) {
        c.padsAtBounds = static_cast<int>(fit.atFloor.size() + fit.atCeiling.size());
        c.volts = fit.volts;
        c.meanRuleActive = fit.meanRuleActive;
        if (e.membrane) {
            c.pullInFactor = e.PullInFactor(fit.volts, cancelled);
            if (c.pullInFactor < 0) {
                ok = false;
                return c;
            }
        } else {
            c.snapDown = e.ClassicSnapDown(fit, bias);
        }
    }
    // With the exact model a factor that could not be computed (NaN) counts
    // as past the margin.
    const bool pastMargin = e.membrane && !(c.pullInFactor >= kTurbulencePullInMargin);
    c.saturated = fit.status != VoltageFit::Status::Fitted || fit.AnyBoundActive() || c.snapDown ||
                  pastMargin;
    if (keep) {
        KeptScreen kept;
        kept.wavefront = std::move(wavefront);
        kept.surface = fit.status == VoltageFit::Status::Fitted ? fit.predicted
                                                                 : std::vector<double>(g.Points(), 0.0);
        kept.residual = std::move(residual);
        c.kept = std::move(kept);
    }
    return c;
}

std::optional<ScreenCorrection> TurbulenceStudy::CorrectWavefront(
    const std::vector<double>& wavefront, const CancelCheck& cancelled) {
    if ((status_ != Status::Ready && status_ != Status::Finished) ||
        wavefront.size() != engine_->mirror.beam.Points())
        return std::nullopt;
    bool ok = true;
    ScreenCorrection c =
        Correct(-1, 0, 1.0, wavefront, *engine_->fitter, bias_, true, cancelled, ok);
    if (!ok)
        return std::nullopt;
    return c;
}

std::optional<ScreenCorrection> TurbulenceStudy::Step(const CancelCheck& cancelled) {
    if (status_ != Status::Ready)
        return std::nullopt;
    if (cancelled && cancelled()) {
        status_ = Status::Cancelled;
        return std::nullopt;
    }
    Engine& e = *engine_;
    const int index = Done();
    const int point = index / settings_.screens, screen = index % settings_.screens;
    if (screen == 0 || !e.generator)
        e.generator.emplace(e.MakeGenerator(settings_, diameter_));
    const std::vector<double> base = e.generator->Next();
    bool ok = true;
    ScreenCorrection c = Correct(point, screen, settings_.dOverR0[point], base, *e.fitter, bias_,
                                 screen < settings_.keep, cancelled, ok);
    if (!ok) {
        status_ = Status::Cancelled;
        return std::nullopt;
    }
    results_.push_back(c);
    if (Done() >= TotalScreens())
        status_ = Status::Finished;
    return c;
}

std::vector<TurbulencePoint> TurbulenceStudy::Points() const {
    std::vector<TurbulencePoint> points;
    for (std::size_t p = 0; p < settings_.dOverR0.size(); ++p) {
        std::vector<double> rms, strehl, marechal, input, variance;
        int saturated = 0, bounds = 0;
        for (const ScreenCorrection& c : results_)
            if (c.point == static_cast<int>(p)) {
                rms.push_back(c.residualRms);
                strehl.push_back(c.strehl);
                marechal.push_back(c.marechal);
                input.push_back(c.inputRms);
                const double sigma = 2.0 * kPi * c.residualRms / settings_.wavelength;
                variance.push_back(sigma * sigma);
                saturated += c.saturated;
                bounds += c.padsAtBounds;
            }
        if (rms.empty())
            continue;
        TurbulencePoint t;
        t.dOverR0 = settings_.dOverR0[p];
        t.screens = static_cast<int>(rms.size());
        t.residualRmsMean = Mean(rms);
        t.residualRmsSpread = Spread(rms);
        t.strehlMean = Mean(strehl);
        t.strehlSpread = Spread(strehl);
        t.marechalMean = Mean(marechal);
        t.inputRmsMean = Mean(input);
        t.saturatedFraction = saturated / static_cast<double>(t.screens);
        t.padsAtBoundsMean = bounds / static_cast<double>(t.screens);
        t.residualVarianceMean = Mean(variance);
        points.push_back(t);
    }
    return points;
}

std::optional<double> TurbulenceStudy::FittingCoefficient() const {
    double logSum = 0.0;
    int count = 0;
    for (const TurbulencePoint& p : Points()) {
        if (p.screens < settings_.screens || p.saturatedFraction > kMaxSaturatedForFit ||
            !(p.residualVarianceMean > 0))
            continue;
        const double x = std::pow(p.dOverR0 * pitch_ / diameter_, 5.0 / 3.0);
        logSum += std::log(p.residualVarianceMean / x);
        ++count;
    }
    if (count == 0)
        return std::nullopt;
    return std::exp(logSum / count);
}

} // namespace ostrander
