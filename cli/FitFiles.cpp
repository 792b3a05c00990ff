#include "cli/FitFiles.h"

#include "Shared_Software/Pattern/PatternClass.h"
#include "results/ResultFiles.h"
#include "model/SurfaceGridFile.h"
#include "toolkit/IniFile.h"

#include <QJsonArray>

#include <fitsio.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace ostrander {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size())
        return false;
    for (std::size_t k = 0; k < end.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + k])) != end[k])
            return false;
    return true;
}

bool ReadFitsGrid(const std::string& path, int n, std::vector<double>& rowsAlongY,
                  std::string& error) {
    fitsfile* f = nullptr;
    int status = 0;
    // The disk-file opener takes the name as it stands (no extended syntax).
    if (fits_open_diskfile(&f, path.c_str(), READONLY, &status) != 0) {
        char text[FLEN_STATUS] = {};
        fits_get_errstatus(status, text);
        error = "cannot read FITS surface \"" + path + "\": " + text;
        return false;
    }
    int naxis = 0;
    long axes[3] = {0, 0, 0};
    fits_get_img_dim(f, &naxis, &status);
    fits_get_img_size(f, 3, axes, &status);
    bool ok = status == 0;
    if (ok && (naxis != 2 || axes[0] != n || axes[1] != n)) {
        error = "FITS surface \"" + path + "\" is not a " + std::to_string(n) + " x " +
                std::to_string(n) + " image";
        ok = false;
    } else if (ok) {
        double nullValue = std::numeric_limits<double>::quiet_NaN();
        int anyNull = 0;
        fits_read_img(f, TDOUBLE, 1, static_cast<LONGLONG>(n) * n, &nullValue, rowsAlongY.data(),
                      &anyNull, &status);
        if (status != 0) {
            char text[FLEN_STATUS] = {};
            fits_get_errstatus(status, text);
            error = "cannot read FITS surface \"" + path + "\": " + text;
            ok = false;
        }
    } else {
        error = "FITS surface \"" + path + "\" has no readable image";
    }
    int closeStatus = 0;
    fits_close_file(f, &closeStatus);
    return ok;
}

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

bool ReadSurfaceGrid(const std::string& path, int n, std::vector<double>& grid,
                     std::string& error) {
    const bool fits = EndsWith(path, ".fits") || EndsWith(path, ".fit") || EndsWith(path, ".fts");
    if (!fits)
        return ReadSurfaceCsv(path, n, grid, error);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read surface \"" + path + "\": no such file";
        return false;
    }
    std::vector<double> rows(static_cast<std::size_t>(n) * n);
    if (!ReadFitsGrid(path, n, rows, error))
        return false;
    grid = EngineLayoutFromRows(rows, n);
    return true;
}

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
