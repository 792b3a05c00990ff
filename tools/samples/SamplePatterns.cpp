#include "tools/samples/SamplePatterns.h"

#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "driver/VoltageLimits.h"
#include "model/BeamAnalysis.h"
#include "model/EngineSession.h"
#include "model/ExactMembrane.h"
#include "model/ExactMembraneModel.h"
#include "model/MembraneGeometry.h"
#include "model/ModelHost.h"
#include "model/PullIn.h"
#include "model/SessionFit.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

namespace ostrander {

namespace {

// Amplitudes tried, largest first, um RMS.
constexpr double kLadderUm[] = {1.0, 0.5, 0.25, 0.1, 0.05};

std::vector<double> ByModelIndex(const DMInfoClass& dm, const std::vector<double>& volts) {
    return VoltagesByModelIndex(dm, [&](int d) {
        // The driver holds nothing below the floor.
        return d >= 1 && d <= static_cast<int>(volts.size()) ? std::max(volts[d - 1], kFloorVoltage)
                                                             : kFloorVoltage;
    });
}

double FactorOf(const ExactMembrane& membrane, const DMInfoClass& dm,
                const std::vector<double>& volts, double tolerance) {
    if (!membrane.IsValid())
        return HUGE_VAL;
    const PullInResult r = SolvePullIn(membrane, ByModelIndex(dm, volts), {}, {tolerance, false});
    return r.status == PullInResult::Status::Equilibrium ||
                   r.status == PullInResult::Status::PulledIn
               ? r.pullInFactor
               : HUGE_VAL;
}

} // namespace

struct SampleMirror::Impl {
    RecordingModelHost host;
    EngineSession session{host};
    FitMirror mirror;
    std::shared_ptr<const ExactMembrane> membrane;
    const DMInfoClass* dm = nullptr;
    // The equilibrium with every pad at flatBias.
    std::vector<double> flat;
    double flatBias = 0;
    // Answers of Volts by (term, amplitude, bias): planning and making ask twice.
    std::map<std::tuple<int, double, double>,
             std::pair<std::optional<std::vector<double>>, std::string>>
        answers;
};

SampleMirror::SampleMirror() : impl_(std::make_unique<Impl>()) {}
SampleMirror::~SampleMirror() = default;

bool SampleMirror::Load(const std::string& infoFile, std::string& error) {
    Impl& m = *impl_;
    if (!m.session.UseMembraneModel(ExactMembraneModel::kName)) {
        error = "no exact membrane model";
        return false;
    }
    if (m.session.SelectMirror(0, infoFile) != MirrorSelection::Selected) {
        error = "not a usable mirror";
        return false;
    }
    if (m.session.StartInfluenceRun() != RunStart::Started ||
        m.session.RunToEnd() != RunTick::Finished) {
        error = "the influence functions could not be computed";
        return false;
    }
    std::optional<FitMirror> mirror = FitMirrorOf(m.session);
    std::optional<PullInInputs> inputs = m.session.PullInInputsNow();
    if (!mirror || !inputs || !inputs->membrane) {
        error = "the mirror cannot be fitted on the exact model";
        return false;
    }
    m.mirror = std::move(*mirror);
    m.membrane = inputs->membrane;
    m.dm = m.session.MirrorModel();
    return true;
}

double SampleMirror::PullInFactor(const std::vector<double>& volts) const {
    return FactorOf(*impl_->membrane, *impl_->dm, volts, 1e-3);
}

std::vector<double> SampleMirror::Equilibrium(const std::vector<double>& volts) const {
    PullInResult r =
        SolvePullIn(*impl_->membrane, ByModelIndex(*impl_->dm, volts), {}, {1e-4, true});
    if (r.status != PullInResult::Status::Equilibrium)
        return {};
    return std::move(r.surface);
}

double SampleMirror::ChosenBias() const {
    const FitMirror& m = impl_->mirror;
    std::vector<double> all(m.response.size(), 0.0);
    for (std::size_t k = 0; k < all.size(); ++k)
        if (!m.response[k].empty())
            all[k] = m.maxVolts;
    const double factor = PullInFactor(all);
    const double highest = std::min(m.maxVolts, m.maxVolts * factor);
    return 10.0 * std::round(highest / 20.0);
}

std::optional<std::vector<double>> SampleMirror::Volts(const SampleShape& shape, double bias,
                                                       std::string* why) {
    const auto key = std::make_tuple(shape.noll, shape.amplitude, bias);
    auto known = impl_->answers.find(key);
    if (known == impl_->answers.end()) {
        std::string reason;
        auto volts = Fit(shape, bias, reason);
        known = impl_->answers.emplace(key, std::make_pair(std::move(volts), reason)).first;
    }
    if (why)
        *why = known->second.second;
    return known->second.first;
}

std::optional<std::vector<double>> SampleMirror::Fit(const SampleShape& shape, double bias,
                                                     std::string& why) {
    if (shape.noll == 0) {
        std::vector<double> volts(impl_->mirror.response.size(), 0.0);
        for (std::size_t k = 0; k < volts.size(); ++k)
            if (!impl_->mirror.response[k].empty())
                volts[k] = bias;
        if (!(PullInFactor(volts) >= kPullInMargin)) {
            why = "the bias is too close to pull-in";
            return std::nullopt;
        }
        return volts;
    }
    // Where the pads cannot make the term alone, the least-squares fit gives
    // less of it than asked: once, the request is scaled by the shortfall.
    double request = shape.amplitude;
    for (int attempt = 0; attempt < 2; ++attempt) {
        double achieved = 0;
        std::optional<std::vector<double>> volts = Attempt(shape, request, bias, why, achieved);
        if (volts || achieved == 0)
            return volts;
        const double ratio = achieved / shape.amplitude;
        if (!(ratio > 0.5 && ratio < 2))
            return std::nullopt;
        request /= ratio;
    }
    return std::nullopt;
}

std::optional<std::vector<double>> SampleMirror::Attempt(const SampleShape& shape, double request,
                                                         double bias, std::string& why,
                                                         double& achieved) {
    const FitMirror& m = impl_->mirror;
    achieved = 0;
    const auto refuse = [&](const std::string& reason) -> std::optional<std::vector<double>> {
        why = reason;
        return std::nullopt;
    };
    FitRequest target;
    target.zernike.assign(static_cast<std::size_t>(shape.noll), 0.0);
    target.zernike[shape.noll - 1] = request;
    target.bias = bias;
    SessionFitOptions options;
    options.matchEquilibrium = true;
    const SessionFit fitted = FitOnSession(impl_->session, target, {}, options);
    if (fitted.status != SessionFit::Status::Fitted)
        return refuse(SessionFitStatusText(fitted));
    std::vector<double> volts(m.response.size(), 0.0);
    for (std::size_t k = 0; k < volts.size(); ++k)
        if (!m.response[k].empty())
            volts[k] =
                std::clamp(std::round(fitted.fit.volts[k] * 10.0) / 10.0, m.floorVolts, m.maxVolts);
    // The mean rule after rounding: the highest voltage comes down by 0.1 V
    // at a time until it holds.
    const auto mean = [&] {
        double sum = 0;
        for (std::size_t k = 0; k < volts.size(); ++k)
            sum += (m.response[k].empty() ? std::max(volts[k], kFloorVoltage) : volts[k]) -
                   m.surfaceVolts;
        return volts.empty() ? 0.0 : sum / static_cast<double>(volts.size());
    };
    for (int guard = 0; mean() > m.meanLimit && guard < 100000; ++guard) {
        auto highest = std::max_element(volts.begin(), volts.end());
        *highest = std::round((*highest - 0.1) * 10.0) / 10.0;
    }
    if (mean() > m.meanLimit)
        return refuse("the mean rule cannot be met");
    char text[96];
    const double factor = PullInFactor(volts);
    if (!(factor >= kPullInMargin)) {
        std::snprintf(text, sizeof text, "pull-in factor %.3g", factor);
        return refuse(text);
    }
    // The rounded voltages' equilibrium, against every pad at the bias,
    // carries the named term at its amplitude and little else.
    if (impl_->flat.empty() || impl_->flatBias != bias) {
        std::vector<double> flat(volts.size(), 0.0);
        for (std::size_t k = 0; k < flat.size(); ++k)
            if (!m.response[k].empty())
                flat[k] = bias;
        impl_->flat = Equilibrium(flat);
        impl_->flatBias = bias;
    }
    const std::vector<double> eq = Equilibrium(volts);
    if (eq.empty() || eq.size() != impl_->flat.size())
        return refuse("no equilibrium");
    std::vector<double> change(eq.size());
    for (std::size_t p = 0; p < eq.size(); ++p)
        change[p] = eq[p] - impl_->flat[p];
    const std::vector<double> c = NollZernikeCoefficients(change, m.beam, shape.noll);
    if (c.size() != static_cast<std::size_t>(shape.noll))
        return refuse("no Zernike coefficients");
    achieved = c[shape.noll - 1];
    const double rms = BeamRms(change, m.beam);
    const double others = std::sqrt(std::max(0.0, rms * rms - achieved * achieved));
    if (!(others <= kSampleResidual * std::fabs(shape.amplitude))) {
        std::snprintf(text, sizeof text, "%.3g um RMS of other terms", others * 1e6);
        achieved = 0; // no use scaling
        return refuse(text);
    }
    if (!(std::fabs(achieved - shape.amplitude) <=
          kSampleAmplitudeTolerance * std::fabs(shape.amplitude))) {
        std::snprintf(text, sizeof text, "achieved %.3g um RMS (asked %.3g)", achieved * 1e6,
                      request * 1e6);
        return refuse(text);
    }
    return volts;
}

SamplePlan PlanSamples(SampleMirror& mirror, std::FILE* log) {
    SamplePlan plan;
    plan.bias = mirror.ChosenBias();
    plan.shapes.push_back({});
    const auto fits = [&](const SampleShape& shape) {
        std::string why;
        const bool ok = mirror.Volts(shape, plan.bias, &why).has_value();
        if (log)
            std::fprintf(log, "  %-34s %s\n", SampleShapeName(shape, plan.bias).c_str(),
                         ok ? "fits" : why.c_str());
        return ok;
    };
    // Focus: the larger rung first in both signs, then the smaller.
    const std::size_t rungs = std::size(kLadderUm);
    for (std::size_t r = 0; r + 1 < rungs; ++r) {
        const double a = kLadderUm[r], b = kLadderUm[r + 1];
        const SampleShape shapes[] = {{4, SampleAmplitude(-a)},
                                      {4, SampleAmplitude(-b)},
                                      {4, SampleAmplitude(b)},
                                      {4, SampleAmplitude(a)}};
        if (fits(shapes[3]) && fits(shapes[0]) && fits(shapes[2]) && fits(shapes[1])) {
            plan.shapes.insert(plan.shapes.end(), std::begin(shapes), std::end(shapes));
            break;
        }
    }
    for (const int noll : kSampleTerms) {
        if (noll == 4)
            continue;
        for (double um : kLadderUm)
            if (fits({noll, SampleAmplitude(um)})) {
                plan.shapes.push_back({noll, SampleAmplitude(um)});
                break;
            }
    }
    return plan;
}

std::unique_ptr<PatternClass>
MakeSamplePatterns(const MirrorInfoClass& info, const SamplePlan& plan, const ShapeVolts& voltsOf) {
    const DMInfoClass& model = *info.Model;
    auto set = std::make_unique<PatternClass>(info.DeviceName + " samples (exact model, nonlinear)", model.Actuators);
    for (const SampleShape& shape : plan.shapes) {
        const std::optional<std::vector<double>> volts = voltsOf(shape, plan.bias);
        if (!volts || static_cast<int>(volts->size()) != model.Actuators)
            return nullptr;
        set->InsertPatternFromArray(set->GetPatternCount(), SampleShapeName(shape, plan.bias),
                                    volts->data(), static_cast<int>(volts->size()));
    }
    return set;
}

std::unique_ptr<PatternClass> FitSampleSet(const std::string& infoFile, const MirrorInfoClass& info,
                                           std::FILE* log) {
    SampleMirror mirror;
    std::string error;
    if (!mirror.Load(infoFile, error)) {
        if (log)
            std::fprintf(log, "%s: %s\n", infoFile.c_str(), error.c_str());
        return nullptr;
    }
    if (log)
        std::fprintf(log, "%s: bias %g V\n", infoFile.c_str(), mirror.ChosenBias());
    const SamplePlan plan = PlanSamples(mirror, log);
    return MakeSamplePatterns(info, plan, [&](const SampleShape& shape, double bias) {
        return mirror.Volts(shape, bias);
    });
}

std::optional<SamplePlan> PlanOfSet(const PatternClass& set) {
    SamplePlan plan;
    bool flat = false;
    for (int p = 0; p < set.GetPatternCount(); ++p) {
        const PatternListEntry* entry = set.FindPattern(p);
        double bias = 0;
        const std::optional<SampleShape> shape =
            entry ? ParseSampleShapeName(entry->PatternName, &bias) : std::nullopt;
        if (!shape)
            return std::nullopt;
        if (shape->noll == 0) {
            if (flat && bias != plan.bias)
                return std::nullopt;
            flat = true;
            plan.bias = bias;
        }
        plan.shapes.push_back(*shape);
    }
    if (!flat)
        return std::nullopt;
    return plan;
}

std::vector<std::string> WriteSamplePatterns(const std::string& deviceFolder,
                                             const std::string& outputFolder,
                                             const SampleSetMaker& make) {
    SetProgramFolder(deviceFolder);
    std::vector<std::string> written;
    bool first = true;
    for (const std::string& file : ListFiles(deviceFolder, "*.ini")) {
        const std::string path = NormalizePath(deviceFolder + "/" + file);
        if (IniFile(path).ReadString("General", "FileType", "") !=
            MirrorInfoClass::MirrorInfoFileType)
            continue;
        MirrorInfoClass info(file);
        if (!info.IsValid() || info.Model->Actuators < 1)
            continue;
        const std::unique_ptr<PatternClass> set = make(file, info);
        if (!set)
            return {};
        const std::string stem = file.substr(0, file.size() - 4);
        std::vector<std::pair<std::string, std::string>> outputs{{stem + "_Patterns.pat", "1.0"}};
        if (first)
            outputs.emplace_back(stem + "_Patterns_v2.pat", "2.0");
        first = false;
        for (const auto& [name, version] : outputs) {
            const std::string target = NormalizePath(outputFolder + "/" + name);
            std::error_code ec;
            std::filesystem::remove(target, ec); // a fresh file, nothing kept
            if (!set->Write(target, version))
                return {};
            written.push_back(name);
        }
    }
    return written;
}

} // namespace ostrander
