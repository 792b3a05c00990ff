#include "cli/FitFiles.h"

#include "Shared_Software/Pattern/PatternClass.h"
#include "results/ResultFiles.h"
#include "toolkit/IniFile.h"

#include <QJsonArray>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace ostrander {

namespace {

const char* BoundName(const VoltageFit& fit, int display, int membraneElectrode) {
    if (display == membraneElectrode)
        return "membrane";
    for (int d : fit.atFloor)
        if (d == display)
            return "floor";
    for (int d : fit.atCeiling)
        if (d == display)
            return "ceiling";
    return "free";
}

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QJsonArray Numbers(const std::vector<double>& values) {
    QJsonArray out;
    for (double v : values)
        out.append(Number(v));
    return out;
}

QJsonArray Integers(const std::vector<int>& values) {
    QJsonArray out;
    for (int v : values)
        out.append(v);
    return out;
}

} // namespace

bool FitPatternBytes(const std::string& setName, const std::string& patternName,
                     const std::vector<double>& volts, std::string& bytes, std::string& error) {
    PatternClass set(setName, static_cast<int>(volts.size()));
    if (!set.InsertPatternFromArray(0, patternName, volts.data(), static_cast<int>(volts.size()))) {
        error = "cannot make the pattern set";
        return false;
    }
    IniFile ini;
    std::string reason;
    if (!set.WriteTo(ini, "2.0", &reason)) {
        error = "cannot write the pattern set: " + reason;
        return false;
    }
    bytes = ini.ToText();
    return true;
}

std::string FitVoltagesCsv(const VoltageFit& fit, int membraneElectrode) {
    std::string text = "actuator,volts,force_v2,bound\n";
    for (std::size_t k = 0; k < fit.volts.size(); ++k) {
        const int display = static_cast<int>(k) + 1;
        text += std::to_string(display) + "," + FormatNumber(fit.volts[k]) + "," +
                FormatNumber(k < fit.forces.size() ? fit.forces[k] : 0.0) + "," +
                BoundName(fit, display, membraneElectrode) + "\n";
    }
    return text;
}

QJsonObject FitSummary(const SessionFit& result, const FitRequest& request,
                       const std::string& targetText) {
    const VoltageFit& fit = result.fit;
    QJsonObject json;
    json["target"] = QString::fromStdString(targetText);
    if (request.surface.empty())
        json["target_zernike_m"] = Numbers(request.zernike);
    json["free_tilt"] = request.freeTilt;
    json["bias_v"] = request.bias ? QJsonValue(*request.bias) : QJsonValue();
    json["model"] = QString::fromStdString(result.model);
    json["target_rms_m"] = Number(fit.targetRms);
    json["residual_rms_m"] = Number(fit.residualRms);
    json["residual_pv_m"] = Number(fit.residualPv);
    json["achieved_zernike_m"] = Numbers(fit.achieved);
    json["pull_in_factor"] = Number(result.pullInFactor);
    json["equilibrium_residual_rms_m"] = Number(result.equilibriumResidualRms);
    json["equilibrium_rounds"] = result.equilibriumRounds;
    QJsonObject bounds;
    bounds["any_active"] = fit.AnyBoundActive();
    bounds["at_floor"] = Integers(fit.atFloor);
    bounds["at_ceiling"] = Integers(fit.atCeiling);
    bounds["mean_rule_active"] = fit.meanRuleActive;
    bounds["highest_volts_used"] = Number(fit.maxVoltsUsed);
    bounds["mean_volts"] = Number(fit.meanVolts);
    json["bounds"] = bounds;
    json["converged"] = fit.converged;
    QJsonObject units;
    units["target_rms_m"] = "m, over the beam, after piston (and tilt when free)";
    units["residual_rms_m"] = "m, predicted - target over the beam";
    units["achieved_zernike_m"] = "m RMS, Noll order from term 1, of the predicted change";
    units["pull_in_factor"] = "largest scale of the fitted voltages with an equilibrium "
                              "(exact model; null with classic)";
    units["equilibrium_residual_rms_m"] =
        "m, the nonlinear equilibrium's change from the bias equilibrium - target over the "
        "beam (exact model; null with classic); with --nonlinear the fit matches the "
        "equilibrium, in equilibrium_rounds rounds";
    json["units"] = units;
    return json;
}

} // namespace ostrander
