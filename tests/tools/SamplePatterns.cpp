#include "tests/tools/SamplePatterns.h"

#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "driver/VoltageLimits.h"
#include "model/ExactMembrane.h"
#include "model/MembraneGeometry.h"
#include "model/PullIn.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

namespace ostrander {

namespace {

struct Actuator {
    int displayIndex;
    double x, y; // metres from the centre
    bool driven; // on the membrane: not auxiliary, not the surface electrode
};

// Voltages for the profile w(x / r, y / r) in 0 .. 1: v = peak * sqrt(w),
// peak as high as the mean limit and the driver allow, rounded to 0.1 V.
std::vector<double> Shape(const std::vector<Actuator>& actuators, double r, double limit,
                          double fraction, const std::function<double(double, double)>& w) {
    std::vector<double> unit(actuators.size(), 0.0);
    double sum = 0;
    for (std::size_t i = 0; i < actuators.size(); ++i)
        if (actuators[i].driven) {
            unit[i] = std::sqrt(std::clamp(w(actuators[i].x / r, actuators[i].y / r), 0.0, 1.0));
            sum += unit[i];
        }
    const double mean = actuators.empty() ? 0 : sum / double(actuators.size());
    double peak = kCeilingVoltage;
    if (mean > 0 && limit > 0)
        peak = std::min(peak, limit / mean);
    peak *= fraction;
    std::vector<double> volts(actuators.size());
    for (std::size_t i = 0; i < actuators.size(); ++i)
        volts[i] = std::floor(unit[i] * peak * 10.0) / 10.0;
    return volts;
}

// The exact membrane's pull-in factor for voltages by display number - 1:
// how far the voltages could be scaled before the membrane snaps down
// (infinite when nothing pulls or the membrane cannot be solved).
double PullInFactor(const ExactMembrane& membrane, const DMInfoClass& model,
                    const std::vector<double>& volts) {
    if (!membrane.IsValid())
        return HUGE_VAL;
    const std::vector<double> byIndex = VoltagesByModelIndex(model, [&](int d) {
        // The driver holds nothing below the floor.
        return d >= 1 && d <= int(volts.size()) ? std::max(volts[d - 1], kFloorVoltage)
                                               : kFloorVoltage;
    });
    const PullInResult r = SolvePullIn(membrane, byIndex, {}, {1e-6, false});
    return r.status == PullInResult::Status::Equilibrium ||
                   r.status == PullInResult::Status::PulledIn
               ? r.pullInFactor
               : HUGE_VAL;
}

} // namespace

double SamplePullInFactor(const MirrorInfoClass& info, const std::vector<double>& volts) {
    const DMInfoClass& model = *info.Model;
    const ExactMembrane membrane(MembraneGeometryFromModel(model),
                                 EngineGrid::ForDiameter(model.Diameter_m));
    return PullInFactor(membrane, model, volts);
}

std::unique_ptr<PatternClass> MakeSamplePatterns(const MirrorInfoClass& info) {
    const DMInfoClass& model = *info.Model;
    std::vector<Actuator> actuators;
    double r = 0;
    for (int d = 1; d <= model.Actuators; ++d) {
        const DmActuatorInfoClass* a = model.FindByDisplayIndex(d);
        Actuator entry{d, 0, 0, a != nullptr && !a->Auxilary && !a->Surface};
        if (entry.driven) {
            entry.x = a->X;
            entry.y = a->Y;
            r = std::max(r, std::hypot(a->X, a->Y));
        }
        actuators.push_back(entry);
    }
    if (r <= 0)
        r = 1;

    auto set = std::make_unique<PatternClass>(info.DeviceName + " samples", model.Actuators);
    auto add = [&](const std::string& name, const std::vector<double>& volts) {
        set->InsertPatternFromArray(set->GetPatternCount(), name, volts.data(), int(volts.size()));
    };
    const double limit = info.LimitVoltage;
    // A shape at the peak the voltage rules allow may have no equilibrium:
    // the membrane would snap down. Such a shape is scaled down until its
    // pull-in factor is kPullInMargin (voltages scale inversely with it); the
    // focus steps stay quarters of the largest focus that keeps the margin.
    const ExactMembrane membrane(MembraneGeometryFromModel(model),
                                 EngineGrid::ForDiameter(model.Diameter_m));
    const auto safe = [&](const std::function<double(double, double)>& w) {
        const double factor = PullInFactor(membrane, model, Shape(actuators, r, limit, 1.0, w));
        if (factor >= kSamplePullInFactor)
            return 1.0;
        // Rounded down to 1/1000, so that the last bits of the solve do not
        // change the file.
        return std::floor(factor / kPullInMargin * 1000.0) / 1000.0;
    };
    const auto focus = [](double, double) { return 1.0; };
    const auto tiltX = [](double x, double) { return (1 + x) / 2; };
    const auto tiltY = [](double, double y) { return (1 + y) / 2; };
    const auto astigmatism = [](double x, double y) { return (1 + x * x - y * y) / 2; };
    add("Flat", std::vector<double>(actuators.size(), 0.0));
    const double focusScale = safe(focus);
    for (int k = 1; k <= 4; ++k)
        add("Focus " + std::to_string(k), Shape(actuators, r, limit, focusScale * k / 4.0, focus));
    add("Tilt X", Shape(actuators, r, limit, safe(tiltX), tiltX));
    add("Tilt Y", Shape(actuators, r, limit, safe(tiltY), tiltY));
    add("Astigmatism", Shape(actuators, r, limit, safe(astigmatism), astigmatism));
    return set;
}

std::vector<std::string> WriteSamplePatterns(const std::string& deviceFolder,
                                             const std::string& outputFolder) {
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
        auto set = MakeSamplePatterns(info);
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
