#include "model/VoltageFit.h"

#include "model/BoundedLeastSquares.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <sstream>

namespace ostrander {

namespace {

constexpr int kMaxZernikeTerm = 36;
// Fewest target samples in the beam a fit is made from.
constexpr int kMinSamples = 10;

struct Sample {
    int i, j;
    double x, y, target;
};

struct Solution {
    BoundedLeastSquaresResult solve;
    std::vector<double> volts;
    double meanVolts = 0.0;
};

} // namespace

std::string FitStatusText(VoltageFit::Status status) {
    switch (status) {
    case VoltageFit::Status::Fitted:
        return "fitted";
    case VoltageFit::Status::NoTarget:
        return "no target: give a surface or Zernike coefficients";
    case VoltageFit::Status::BadTarget:
        return "the target does not cover the beam (wrong size, too few finite samples or a "
               "non-finite coefficient)";
    case VoltageFit::Status::NoPads:
        return "the mirror has no influence functions to fit with";
    case VoltageFit::Status::BadBias:
        return "the bias voltage is outside the pads' voltage range or breaks the mean-voltage "
               "limit";
    }
    return "unknown";
}

VoltageFit FitVoltages(const FitMirror& mirror, const FitRequest& request) {
    VoltageFit fit;
    const BeamGrid& beam = mirror.beam;
    const int n = beam.n;
    const std::size_t points = n > 0 ? static_cast<std::size_t>(n) * n : 0u;
    if (request.surface.empty() && request.zernike.empty()) {
        fit.status = VoltageFit::Status::NoTarget;
        return fit;
    }
    if ((!request.surface.empty() && request.surface.size() != points) ||
        !std::isfinite(request.scale) ||
        std::any_of(request.zernike.begin(), request.zernike.end(),
                    [](double c) { return !std::isfinite(c); })) {
        fit.status = VoltageFit::Status::BadTarget;
        return fit;
    }

    // The pads: actuators with a response on this grid.
    std::vector<int> pads;
    for (std::size_t k = 0; k < mirror.response.size(); ++k)
        if (!mirror.response[k].empty()) {
            if (mirror.response[k].size() != points) {
                fit.status = VoltageFit::Status::NoPads;
                return fit;
            }
            pads.push_back(static_cast<int>(k));
        }
    const double vs = mirror.surfaceVolts;
    const double lowVolts = std::max(mirror.floorVolts, vs);
    if (pads.empty() || n <= 0 || !(beam.beamRadius > 0) || !(mirror.maxVolts > lowVolts) ||
        !std::isfinite(mirror.maxVolts) || !std::isfinite(vs)) {
        fit.status = VoltageFit::Status::NoPads;
        return fit;
    }
    const auto force = [vs](double volts) { return (volts - vs) * (volts - vs); };
    const double lowForce = mirror.floorVolts > vs ? force(mirror.floorVolts) : 0.0;
    const int actuators = static_cast<int>(mirror.response.size());
    const auto mean = [&](const std::vector<double>& volts) {
        double sum = 0.0;
        for (int k : pads)
            sum += volts[k] - vs;
        return sum / actuators;
    };

    double biasForce = 0.0;
    if (request.bias) {
        const double b = *request.bias;
        std::vector<double> at(actuators, vs);
        for (int k : pads)
            at[k] = b;
        if (!std::isfinite(b) || b < lowVolts || b > mirror.maxVolts ||
            std::fabs(mean(at)) > mirror.meanLimit) {
            fit.status = VoltageFit::Status::BadBias;
            return fit;
        }
        biasForce = force(b);
    }

    // The target on the beam samples.
    std::vector<Sample> samples;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (!InBeam(beam, i, j))
                continue;
            const double x = (i - n / 2) * beam.dx, y = (j - n / 2) * beam.dx;
            double t = 0.0;
            if (!request.surface.empty()) {
                t = request.surface[static_cast<std::size_t>(i) * n + j];
                if (!std::isfinite(t))
                    continue;
            } else {
                const double rho = std::sqrt(x * x + y * y) / beam.beamRadius;
                const double theta = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(y, x);
                for (std::size_t c = 0; c < request.zernike.size(); ++c)
                    if (request.zernike[c] != 0.0)
                        t += request.zernike[c] * NollZernike(static_cast<int>(c) + 1, rho, theta);
            }
            samples.push_back({i, j, x, y, t * request.scale});
        }
    if (static_cast<int>(samples.size()) < kMinSamples) {
        fit.status = VoltageFit::Status::BadTarget;
        return fit;
    }

    // Columns: one per pad (its force), then piston and the tilts, free.
    const int padCount = static_cast<int>(pads.size());
    const int cols = padCount + (request.freeTilt ? 3 : 1);
    const int rows = static_cast<int>(samples.size());
    std::vector<double> a(static_cast<std::size_t>(rows) * cols);
    std::vector<double> rhs(rows);
    for (int r = 0; r < rows; ++r) {
        const Sample& s = samples[r];
        const std::size_t at = static_cast<std::size_t>(s.i) * n + s.j;
        double* row = &a[static_cast<std::size_t>(r) * cols];
        double base = 0.0;
        for (int c = 0; c < padCount; ++c) {
            row[c] = mirror.response[pads[c]][at];
            base += row[c];
        }
        row[padCount] = 1.0;
        if (request.freeTilt) {
            row[padCount + 1] = s.x / beam.beamRadius;
            row[padCount + 2] = s.y / beam.beamRadius;
        }
        rhs[r] = s.target + biasForce * base;
    }

    const double inf = std::numeric_limits<double>::infinity();
    const auto solve = [&](double topVolts) {
        Solution out;
        std::vector<double> lo(cols, -inf), hi(cols, inf);
        for (int c = 0; c < padCount; ++c) {
            lo[c] = lowForce;
            hi[c] = force(topVolts);
        }
        out.solve = SolveBoundedLeastSquares(a, rows, cols, rhs, lo, hi);
        out.volts.assign(actuators, vs);
        for (int c = 0; c < padCount && out.solve.valid; ++c)
            out.volts[pads[c]] = vs + std::sqrt(std::max(0.0, out.solve.x[c]));
        out.meanVolts = mean(out.volts);
        return out;
    };

    // The mean rule: while the fit breaks it, the highest voltage comes down
    // (bisection between the bias, or the floor, and the mirror's highest).
    double top = mirror.maxVolts;
    Solution best = solve(top);
    if (!best.solve.valid) {
        fit.status = VoltageFit::Status::BadTarget;
        return fit;
    }
    if (std::fabs(best.meanVolts) > mirror.meanLimit) {
        fit.meanRuleActive = true;
        double low = request.bias ? *request.bias : lowVolts, high = top;
        best = solve(low);
        top = low;
        for (int round = 0; round < 40 && high - low > 1e-6 * high; ++round) {
            const double middle = 0.5 * (low + high);
            Solution s = solve(middle);
            if (std::fabs(s.meanVolts) <= mirror.meanLimit) {
                low = middle;
                best = std::move(s);
                top = middle;
            } else {
                high = middle;
            }
        }
    }

    fit.status = VoltageFit::Status::Fitted;
    fit.converged = best.solve.converged;
    fit.volts = best.volts;
    fit.meanVolts = best.meanVolts;
    fit.maxVoltsUsed = top;
    fit.forces.assign(actuators, 0.0);
    for (int c = 0; c < padCount; ++c) {
        const int k = pads[c];
        fit.forces[k] = best.solve.x[c];
        using Bound = BoundedLeastSquaresResult::Bound;
        if (best.solve.state[c] == Bound::Lower)
            fit.atFloor.push_back(k + 1);
        else if (best.solve.state[c] == Bound::Upper)
            fit.atCeiling.push_back(k + 1);
    }
    std::sort(fit.atFloor.begin(), fit.atFloor.end());
    std::sort(fit.atCeiling.begin(), fit.atCeiling.end());

    // The predicted change from the bias surface, with the fitted free terms
    // added back: the fit is responses x forces + free terms = target.
    const double piston = best.solve.x[padCount];
    const double tiltX = request.freeTilt ? best.solve.x[padCount + 1] : 0.0;
    const double tiltY = request.freeTilt ? best.solve.x[padCount + 2] : 0.0;
    fit.predicted.assign(points, 0.0);
    for (int c = 0; c < padCount; ++c) {
        const double w = best.solve.x[c] - biasForce;
        if (w == 0.0)
            continue;
        const std::vector<double>& plane = mirror.response[pads[c]];
        for (std::size_t p = 0; p < points; ++p)
            fit.predicted[p] += w * plane[p];
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double x = (i - n / 2) * beam.dx / beam.beamRadius;
            const double y = (j - n / 2) * beam.dx / beam.beamRadius;
            fit.predicted[static_cast<std::size_t>(i) * n + j] += piston + tiltX * x + tiltY * y;
        }

    // The target less the same free terms fitted to it alone, for its RMS.
    fit.target.assign(points, 0.0);
    double residualSquares = 0.0, residualMin = inf, residualMax = -inf;
    for (const Sample& s : samples) {
        const std::size_t at = static_cast<std::size_t>(s.i) * n + s.j;
        fit.target[at] = s.target;
        const double r = fit.predicted[at] - s.target;
        residualSquares += r * r;
        residualMin = std::min(residualMin, r);
        residualMax = std::max(residualMax, r);
    }
    fit.residualRms = std::sqrt(residualSquares / rows);
    fit.residualPv = residualMax - residualMin;
    {
        std::vector<double> free(static_cast<std::size_t>(rows) * (cols - padCount));
        std::vector<double> t(rows);
        for (int r = 0; r < rows; ++r) {
            for (int c = padCount; c < cols; ++c)
                free[static_cast<std::size_t>(r) * (cols - padCount) + (c - padCount)] =
                    a[static_cast<std::size_t>(r) * cols + c];
            t[r] = samples[r].target;
        }
        const std::vector<double> none(cols - padCount, inf);
        std::vector<double> minusNone(cols - padCount, -inf);
        fit.targetRms = SolveBoundedLeastSquares(free, rows, cols - padCount, t, minusNone, none)
                            .residualNorm /
                        std::sqrt(static_cast<double>(rows));
    }
    fit.achieved = NollZernikeCoefficients(fit.predicted, beam, kAchievedTerms);
    return fit;
}

bool ParseZernikeTerms(const std::string& text, std::vector<double>& coefficients,
                       std::string& error) {
    coefficients.clear();
    std::vector<double> out;
    std::vector<bool> seen(kMaxZernikeTerm + 1, false);
    std::stringstream list(text);
    std::string item;
    bool any = false;
    while (std::getline(list, item, ',')) {
        // Trim.
        const auto first = item.find_first_not_of(" \t");
        const auto last = item.find_last_not_of(" \t");
        if (first == std::string::npos) {
            error = "empty entry in the Zernike list \"" + text + "\"";
            return false;
        }
        item = item.substr(first, last - first + 1);
        const auto eq = item.find('=');
        if (eq == std::string::npos) {
            error = "Zernike entry \"" + item + "\" is not TERM=VALUE";
            return false;
        }
        const auto trim = [](std::string t) {
            const auto a = t.find_first_not_of(" \t");
            return a == std::string::npos ? std::string()
                                           : t.substr(a, t.find_last_not_of(" \t") - a + 1);
        };
        const std::string termText = trim(item.substr(0, eq));
        std::string valueText = trim(item.substr(eq + 1));
        char* end = nullptr;
        const long term = std::strtol(termText.c_str(), &end, 10);
        if (termText.empty() || *end != '\0' || term < 1 || term > kMaxZernikeTerm) {
            error = "Zernike term \"" + termText + "\" is not a Noll index from 1 to " +
                    std::to_string(kMaxZernikeTerm);
            return false;
        }
        double unit = 1.0;
        static const std::pair<const char*, double> units[] = {
            {"nm", 1e-9}, {"um", 1e-6}, {"mm", 1e-3}, {"m", 1.0}};
        for (const auto& [suffix, factor] : units) {
            const std::string s(suffix);
            if (valueText.size() > s.size() &&
                valueText.compare(valueText.size() - s.size(), s.size(), s) == 0) {
                unit = factor;
                valueText.resize(valueText.size() - s.size());
                break;
            }
        }
        valueText = trim(valueText);
        const double value = std::strtod(valueText.c_str(), &end);
        if (valueText.empty() || *end != '\0' || !std::isfinite(value)) {
            error = "Zernike value \"" + item.substr(eq + 1) +
                    "\" is not a number with a unit (m, mm, um, nm)";
            return false;
        }
        if (out.size() < static_cast<std::size_t>(term))
            out.resize(term, 0.0);
        if (seen[term]) {
            error = "Zernike term " + std::to_string(term) + " is given twice";
            return false;
        }
        seen[term] = true;
        out[term - 1] = value * unit;
        any = true;
    }
    if (!any) {
        error = "empty Zernike list";
        return false;
    }
    coefficients = std::move(out);
    return true;
}

std::string FitPatternName(const FitRequest& request, const std::string& surfaceFile) {
    std::string name = "Fit";
    if (!surfaceFile.empty())
        name += " " + std::filesystem::path(surfaceFile).filename().string();
    for (std::size_t k = 0; k < request.zernike.size(); ++k)
        if (request.zernike[k] != 0.0) {
            char term[48];
            std::snprintf(term, sizeof term, " Z%zu=%.4gum", k + 1, request.zernike[k] * 1e6);
            name += term;
        }
    if (request.bias) {
        char bias[32];
        std::snprintf(bias, sizeof bias, " @%.4gV", *request.bias);
        name += bias;
    }
    return name;
}

} // namespace ostrander
