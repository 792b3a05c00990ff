#include "model/VoltageFit.h"

#include "model/BoundedLeastSquares.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

namespace ostrander {

namespace {

constexpr int kMaxZernikeTerm = 36;
// Fewest target samples in the beam a fit is made from.
constexpr int kMinSamples = 10;

using Refusal = std::optional<VoltageFit::Status>;

struct Sample {
    int i, j;
    double x, y, target;
};

// The pads of the fit and the voltages they work between.
struct PadSet {
    std::vector<int> pads; // actuators (display number - 1) with a response
    int actuators = 0;     // all actuators, the membrane electrode included
    double vs = 0.0;       // the membrane electrode's voltage
    double lowVolts = 0.0; // lowest voltage a pad pulls with
    double lowForce = 0.0; // its force
    double biasForce = 0.0;

    double Force(double volts) const { return (volts - vs) * (volts - vs); }
    // Mean over all actuators of (V - V_surface); the others sit at V_surface.
    double Mean(const std::vector<double>& volts) const {
        double sum = 0.0;
        for (int k : pads)
            sum += volts[k] - vs;
        return sum / actuators;
    }
};

// The least-squares problem, row-major: a row per beam sample, a column per
// pad's force, then piston and (on request) the two tilts, free.
struct DesignMatrix {
    std::vector<double> a;
    std::vector<double> base; // each row's sum of the pads' responses
    int rows = 0;
    int cols = 0;
    int padCount = 0;
};

struct Solution {
    BoundedLeastSquaresResult solve;
    std::vector<double> volts;
    double meanVolts = 0.0;
};

// A request without a target, or with one of the wrong size or not finite.
Refusal CheckTarget(const FitRequest& request, std::size_t points) {
    if (request.surface.empty() && request.zernike.empty())
        return VoltageFit::Status::NoTarget;
    if ((!request.surface.empty() && request.surface.size() != points) ||
        !std::isfinite(request.scale) ||
        std::any_of(request.zernike.begin(), request.zernike.end(),
                    [](double c) { return !std::isfinite(c); }))
        return VoltageFit::Status::BadTarget;
    return std::nullopt;
}

// The pads (actuators with a response on this grid) and their voltage range.
Refusal FindPads(const FitMirror& mirror, std::size_t points, PadSet& set) {
    for (std::size_t k = 0; k < mirror.response.size(); ++k)
        if (!mirror.response[k].empty()) {
            if (mirror.response[k].size() != points)
                return VoltageFit::Status::NoPads;
            set.pads.push_back(static_cast<int>(k));
        }
    set.vs = mirror.surfaceVolts;
    set.lowVolts = std::max(mirror.floorVolts, set.vs);
    if (set.pads.empty() || mirror.beam.n <= 0 || !(mirror.beam.beamRadius > 0) ||
        !(mirror.maxVolts > set.lowVolts) || !std::isfinite(mirror.maxVolts) ||
        !std::isfinite(set.vs))
        return VoltageFit::Status::NoPads;
    set.lowForce = mirror.floorVolts > set.vs ? set.Force(mirror.floorVolts) : 0.0;
    set.actuators = static_cast<int>(mirror.response.size());
    return std::nullopt;
}

// The bias's force on every pad; refused outside the pads' range or past the
// mean-voltage limit.
Refusal SetBias(const FitMirror& mirror, const FitRequest& request, PadSet& set) {
    if (!request.bias)
        return std::nullopt;
    const double b = *request.bias;
    std::vector<double> at(set.actuators, set.vs);
    for (int k : set.pads)
        at[k] = b;
    if (!std::isfinite(b) || b < set.lowVolts || b > mirror.maxVolts ||
        std::fabs(set.Mean(at)) > mirror.meanLimit)
        return VoltageFit::Status::BadBias;
    set.biasForce = set.Force(b);
    return std::nullopt;
}

// The target on the beam samples, scaled; a surface's samples that are not
// finite are left out.
std::vector<Sample> TargetSamples(const BeamGrid& beam, const FitRequest& request) {
    const int n = beam.n;
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
    return samples;
}

// Responses x forces + free terms = target + responses x bias force (the
// right-hand side, Rhs, holds the bias surface so that the forces are
// absolute).
DesignMatrix BuildDesignMatrix(const FitMirror& mirror, const PadSet& set,
                               const std::vector<Sample>& samples, bool freeTilt) {
    const int n = mirror.beam.n;
    const double radius = mirror.beam.beamRadius;
    DesignMatrix m;
    m.padCount = static_cast<int>(set.pads.size());
    m.cols = m.padCount + (freeTilt ? 3 : 1);
    m.rows = static_cast<int>(samples.size());
    m.a.assign(static_cast<std::size_t>(m.rows) * m.cols, 0.0);
    m.base.assign(m.rows, 0.0);
    for (int r = 0; r < m.rows; ++r) {
        const Sample& s = samples[r];
        const std::size_t at = static_cast<std::size_t>(s.i) * n + s.j;
        double* row = &m.a[static_cast<std::size_t>(r) * m.cols];
        double base = 0.0;
        for (int c = 0; c < m.padCount; ++c) {
            row[c] = mirror.response[set.pads[c]][at];
            base += row[c];
        }
        row[m.padCount] = 1.0;
        if (freeTilt) {
            row[m.padCount + 1] = s.x / radius;
            row[m.padCount + 2] = s.y / radius;
        }
        m.base[r] = base;
    }
    return m;
}

// The reductions of the last few design matrices, so that fits of other
// targets on the same mirror (a window's fits one after another, the mean
// rule's and the pull-in search's repeated fits, a script's loop) reduce the
// matrix once. A matrix is found by its entries, bit for bit: building and
// comparing it costs a small part of its reduction, and no stale reduction
// can be taken for another mirror's.
class FactorCache {
public:
    BoundedLeastSquaresFactor Factor(const DesignMatrix& design) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            for (auto it = entries_.begin(); it != entries_.end(); ++it)
                if (Same(*it, design)) {
                    std::rotate(entries_.begin(), it, it + 1); // newest first
                    return entries_.front().factor;
                }
        }
        BoundedLeastSquaresFactor factor(design.a, design.rows, design.cols);
        const std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.size() == kEntries)
            entries_.pop_back();
        entries_.insert(entries_.begin(), Entry{design.a, design.rows, design.cols, factor});
        return factor;
    }

private:
    struct Entry {
        std::vector<double> a;
        int rows = 0, cols = 0;
        BoundedLeastSquaresFactor factor;
    };
    static bool Same(const Entry& e, const DesignMatrix& d) {
        return e.rows == d.rows && e.cols == d.cols && e.a.size() == d.a.size() &&
               (e.a.empty() ||
                std::memcmp(e.a.data(), d.a.data(), e.a.size() * sizeof(double)) == 0);
    }
    static constexpr std::size_t kEntries = 3;
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

BoundedLeastSquaresFactor SharedFactor(const DesignMatrix& design) {
    static FactorCache cache;
    return cache.Factor(design);
}

std::vector<double> Rhs(const DesignMatrix& m, const PadSet& set, const std::vector<Sample>& samples) {
    std::vector<double> rhs(m.rows);
    for (int r = 0; r < m.rows; ++r)
        rhs[r] = samples[r].target + set.biasForce * m.base[r];
    return rhs;
}

// The bounded solve with every pad's voltage at most topVolts, and the
// voltages it gives.
Solution SolveUpTo(const BoundedLeastSquaresFactor& factor, const DesignMatrix& m,
                   const std::vector<double>& rhs, const PadSet& set, double topVolts) {
    const double inf = std::numeric_limits<double>::infinity();
    Solution out;
    std::vector<double> lo(m.cols, -inf), hi(m.cols, inf);
    for (int c = 0; c < m.padCount; ++c) {
        lo[c] = set.lowForce;
        hi[c] = set.Force(topVolts);
    }
    // The steps start from every pad at the bias (the flat correction), the
    // free terms at 0, where an answer with few pads at a bound is near; the
    // fit finds its residual on the grid itself.
    std::vector<double> start(m.cols, 0.0);
    std::fill(start.begin(), start.begin() + m.padCount, set.biasForce);
    out.solve = factor.Solve(rhs, lo, hi, false, start);
    out.volts.assign(set.actuators, set.vs);
    for (int c = 0; c < m.padCount && out.solve.valid; ++c)
        out.volts[set.pads[c]] = set.vs + std::sqrt(std::max(0.0, out.solve.x[c]));
    out.meanVolts = set.Mean(out.volts);
    return out;
}

// The mean rule: while the fit breaks it, the highest voltage comes down
// (bisection between the bias, or the floor, and the mirror's highest).
// `best` is the solve at the mirror's highest voltage; the highest voltage
// used is returned.
double MeetMeanRule(const FitMirror& mirror, std::optional<double> bias,
                    const BoundedLeastSquaresFactor& factor, const DesignMatrix& m,
                    const std::vector<double>& rhs, const PadSet& set, Solution& best,
                    bool& ruleActive) {
    double top = mirror.maxVolts;
    if (std::fabs(best.meanVolts) <= mirror.meanLimit)
        return top;
    ruleActive = true;
    double low = bias ? *bias : set.lowVolts, high = top;
    best = SolveUpTo(factor, m, rhs, set, low);
    top = low;
    for (int round = 0; round < 40 && high - low > 1e-6 * high; ++round) {
        const double middle = 0.5 * (low + high);
        Solution s = SolveUpTo(factor, m, rhs, set, middle);
        if (std::fabs(s.meanVolts) <= mirror.meanLimit) {
            low = middle;
            best = std::move(s);
            top = middle;
        } else {
            high = middle;
        }
    }
    return top;
}

// The forces by actuator and the pads held at either bound.
void RecordForces(const Solution& best, const PadSet& set, VoltageFit& fit) {
    using Bound = BoundedLeastSquaresResult::Bound;
    fit.forces.assign(set.actuators, 0.0);
    for (std::size_t c = 0; c < set.pads.size(); ++c) {
        const int k = set.pads[c];
        fit.forces[k] = best.solve.x[c];
        if (best.solve.state[c] == Bound::Lower)
            fit.atFloor.push_back(k + 1);
        else if (best.solve.state[c] == Bound::Upper)
            fit.atCeiling.push_back(k + 1);
    }
    std::sort(fit.atFloor.begin(), fit.atFloor.end());
    std::sort(fit.atCeiling.begin(), fit.atCeiling.end());
}

// The predicted change from the bias surface, with the fitted free terms
// added back: the fit is responses x forces + free terms = target.
std::vector<double> PredictedChange(const FitMirror& mirror, const PadSet& set,
                                    const DesignMatrix& m, const std::vector<double>& solution,
                                    bool freeTilt) {
    const BeamGrid& beam = mirror.beam;
    const int n = beam.n;
    const std::size_t points = static_cast<std::size_t>(n) * n;
    const double piston = solution[m.padCount];
    const double tiltX = freeTilt ? solution[m.padCount + 1] : 0.0;
    const double tiltY = freeTilt ? solution[m.padCount + 2] : 0.0;
    std::vector<double> predicted(points, 0.0);
    // Four planes per pass over the grid: a quarter of the passes over the
    // sum, which is as large as a plane.
    std::vector<std::pair<double, const double*>> terms;
    for (int c = 0; c < m.padCount; ++c)
        if (const double w = solution[c] - set.biasForce; w != 0.0)
            terms.emplace_back(w, mirror.response[set.pads[c]].data());
    std::size_t t = 0;
    for (; t + 4 <= terms.size(); t += 4) {
        const auto [w0, p0] = terms[t];
        const auto [w1, p1] = terms[t + 1];
        const auto [w2, p2] = terms[t + 2];
        const auto [w3, p3] = terms[t + 3];
        for (std::size_t p = 0; p < points; ++p)
            predicted[p] += (w0 * p0[p] + w1 * p1[p]) + (w2 * p2[p] + w3 * p3[p]);
    }
    for (; t < terms.size(); ++t) {
        const auto [w, plane] = terms[t];
        for (std::size_t p = 0; p < points; ++p)
            predicted[p] += w * plane[p];
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double x = (i - n / 2) * beam.dx / beam.beamRadius;
            const double y = (j - n / 2) * beam.dx / beam.beamRadius;
            predicted[static_cast<std::size_t>(i) * n + j] += piston + tiltX * x + tiltY * y;
        }
    return predicted;
}

// The target on the grid (0 off its samples) and the RMS and peak-to-valley
// of predicted - target over the samples.
void ResidualFigures(const std::vector<Sample>& samples, int n, VoltageFit& fit) {
    const double inf = std::numeric_limits<double>::infinity();
    fit.target.assign(static_cast<std::size_t>(n) * n, 0.0);
    double residualSquares = 0.0, residualMin = inf, residualMax = -inf;
    for (const Sample& s : samples) {
        const std::size_t at = static_cast<std::size_t>(s.i) * n + s.j;
        fit.target[at] = s.target;
        const double r = fit.predicted[at] - s.target;
        residualSquares += r * r;
        residualMin = std::min(residualMin, r);
        residualMax = std::max(residualMax, r);
    }
    fit.residualRms = std::sqrt(residualSquares / static_cast<int>(samples.size()));
    fit.residualPv = residualMax - residualMin;
}

// The RMS of the target less the free terms fitted to it alone.
double TargetRms(const DesignMatrix& m, const std::vector<Sample>& samples) {
    const double inf = std::numeric_limits<double>::infinity();
    const int freeCols = m.cols - m.padCount;
    std::vector<double> free(static_cast<std::size_t>(m.rows) * freeCols);
    std::vector<double> t(m.rows);
    for (int r = 0; r < m.rows; ++r) {
        for (int c = m.padCount; c < m.cols; ++c)
            free[static_cast<std::size_t>(r) * freeCols + (c - m.padCount)] =
                m.a[static_cast<std::size_t>(r) * m.cols + c];
        t[r] = samples[r].target;
    }
    const std::vector<double> none(freeCols, inf);
    std::vector<double> minusNone(freeCols, -inf);
    return SolveBoundedLeastSquares(free, m.rows, freeCols, t, minusNone, none).residualNorm /
           std::sqrt(static_cast<double>(m.rows));
}

bool AllFinite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// A target too large for doubles leaves voltages, forces or figures that are
// not finite: such a fit says nothing and is refused.
bool ResultIsFinite(const VoltageFit& fit) {
    return std::isfinite(fit.residualRms) && std::isfinite(fit.residualPv) &&
           std::isfinite(fit.targetRms) && std::isfinite(fit.meanVolts) && AllFinite(fit.volts) &&
           AllFinite(fit.forces) && AllFinite(fit.predicted) && AllFinite(fit.achieved);
}

VoltageFit Refused(VoltageFit::Status status) {
    VoltageFit fit;
    fit.status = status;
    return fit;
}

// The bounded fit of the samples' targets with the reduced design matrix:
// the solve at the mirror's highest voltage, the mean rule, and the figures
// (the achieved Zernike terms only when asked for).
VoltageFit FitFrom(const FitMirror& mirror, const PadSet& set, const DesignMatrix& design,
                   const BoundedLeastSquaresFactor& factor, const std::vector<Sample>& samples,
                   std::optional<double> bias, bool freeTilt, bool zernike) {
    const std::vector<double> rhs = Rhs(design, set, samples);
    Solution best = SolveUpTo(factor, design, rhs, set, mirror.maxVolts);
    if (!best.solve.valid)
        return Refused(VoltageFit::Status::BadTarget);
    VoltageFit fit;
    fit.maxVoltsUsed =
        MeetMeanRule(mirror, bias, factor, design, rhs, set, best, fit.meanRuleActive);

    fit.status = VoltageFit::Status::Fitted;
    fit.pads = static_cast<int>(set.pads.size());
    fit.converged = best.solve.converged;
    fit.volts = best.volts;
    fit.meanVolts = best.meanVolts;
    RecordForces(best, set, fit);
    fit.predicted = PredictedChange(mirror, set, design, best.solve.x, freeTilt);
    ResidualFigures(samples, mirror.beam.n, fit);
    fit.targetRms = TargetRms(design, samples);
    if (zernike)
        fit.achieved = NollZernikeCoefficients(fit.predicted, mirror.beam, kAchievedTerms);
    if (!ResultIsFinite(fit))
        return Refused(VoltageFit::Status::NotFinite);
    return fit;
}

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
    case VoltageFit::Status::NotFinite:
        return "the target is too large: the fitted voltages or residuals are not finite numbers";
    }
    return "unknown";
}

VoltageFit FitVoltages(const FitMirror& mirror, const FitRequest& request) {
    const int n = mirror.beam.n;
    const std::size_t points = n > 0 ? static_cast<std::size_t>(n) * n : 0u;
    PadSet set;
    Refusal refusal = CheckTarget(request, points);
    if (!refusal)
        refusal = FindPads(mirror, points, set);
    if (!refusal)
        refusal = SetBias(mirror, request, set);
    if (refusal)
        return Refused(*refusal);

    const std::vector<Sample> samples = TargetSamples(mirror.beam, request);
    if (static_cast<int>(samples.size()) < kMinSamples)
        return Refused(VoltageFit::Status::BadTarget);
    const DesignMatrix design = BuildDesignMatrix(mirror, set, samples, request.freeTilt);
    const BoundedLeastSquaresFactor factor = SharedFactor(design);
    return FitFrom(mirror, set, design, factor, samples, request.bias, request.freeTilt, true);
}

struct VoltageFitter::Data {
    FitMirror mirror;
    std::optional<double> bias;
    bool freeTilt = false;
    VoltageFit::Status status = VoltageFit::Status::NoPads;
    PadSet set;
    std::vector<Sample> samples; // every beam sample, target 0
    DesignMatrix design;
    std::optional<BoundedLeastSquaresFactor> factor;
};

VoltageFitter::VoltageFitter(const FitMirror& mirror, std::optional<double> bias, bool freeTilt) {
    const auto data = std::make_shared<Data>();
    data_ = data;
    Data& d = *data;
    d.mirror = mirror;
    d.bias = bias;
    d.freeTilt = freeTilt;
    const std::size_t points = mirror.beam.Points();
    FitRequest request;
    request.bias = bias;
    Refusal refusal = FindPads(mirror, points, d.set);
    if (!refusal)
        refusal = SetBias(mirror, request, d.set);
    if (refusal) {
        d.status = *refusal;
        return;
    }
    request.surface.assign(points, 0.0);
    d.samples = TargetSamples(mirror.beam, request);
    if (static_cast<int>(d.samples.size()) < kMinSamples) {
        d.status = VoltageFit::Status::NoPads;
        return;
    }
    d.design = BuildDesignMatrix(mirror, d.set, d.samples, freeTilt);
    d.factor.emplace(d.design.a, d.design.rows, d.design.cols);
    d.status = VoltageFit::Status::Fitted;
}

VoltageFitter::~VoltageFitter() = default;

VoltageFit::Status VoltageFitter::Status() const { return data_->status; }

const FitMirror& VoltageFitter::Mirror() const { return data_->mirror; }

VoltageFit VoltageFitter::Fit(const std::vector<double>& surface, bool zernike) const {
    const Data& d = *data_;
    if (d.status != VoltageFit::Status::Fitted)
        return Refused(d.status);
    const int n = d.mirror.beam.n;
    if (surface.size() != d.mirror.beam.Points())
        return Refused(VoltageFit::Status::BadTarget);
    std::vector<Sample> samples = d.samples;
    for (Sample& s : samples) {
        s.target = surface[static_cast<std::size_t>(s.i) * n + s.j];
        if (!std::isfinite(s.target))
            return Refused(VoltageFit::Status::BadTarget);
    }
    return FitFrom(d.mirror, d.set, d.design, *d.factor, samples, d.bias, d.freeTilt, zernike);
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
        // The unit is required: a bare number could be metres or microns.
        double unit = 0.0;
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
        if (unit == 0.0 || valueText.empty() || *end != '\0' || !std::isfinite(value)) {
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
