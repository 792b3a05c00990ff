// Derives the computed rows of the built-in Zernike voltage tables from our
// membrane model and writes Shared_Software/Mirror/ZernikeTablesDerived.cpp.
//
//     make_zernike_tables <repository root>
//
// For each standard geometry the influence functions are run as the program
// runs them. A pad's response r_k is the synthesised surface with that pad
// alone at the run voltage, divided by the square of that voltage, so that a
// pattern of volts V_k >= 0 gives the surface sum_k V_k^2 r_k, exactly what the
// program shows for it. For each Zernike term Z (the engine's numbering: the
// fourteen table terms are terms 1 to 14) the pad forces w_k = V_k^2 solve
//
//     minimise  || sum_k w_k r_k - s Z - c ||^2  over the pupil points,
//     subject to w_k >= 0, with the piston c free,
//
// for s = +1 and s = -1. The free piston is taken out by removing each
// column's pupil mean; what remains is a non-negative least squares problem,
// solved with the Lawson-Hanson active-set method on the normal equations.
// While another term comes within 80 % of the named one in the result, that
// term's weight in the objective is raised and the fit repeated; of the signs
// and rounds, the one whose named term leads the others by the widest margin
// is kept. Pads only pull, so every pattern brings defocus of one sign; where
// the named term cannot lead that defocus (coma, second astigmatism, sphere),
// it is made to lead all the other terms instead.
//
// The volts are sqrt(w_k), stretched so that the row's largest entry is the
// table's peak voltage (the largest published Defocus voltage of the table),
// and rounded to whole volts. Where a row has published entries (the first
// ten of the 62-channel Defocus rows) they are held fixed, the amplitude s is
// free as well and the row is not stretched. The last entry of every row is 0.
//
// Two shipped mirrors without a built-in table, Devices/Hex19.ini and
// Devices/Square36.ini, get the same fit written as pattern-set files beside
// them (peak voltage half the mirror's limit), which their "Patterns"
// sections name; a term that the pads cannot make lead all but defocus is
// left out of such a file. So do two whose pads are numbered otherwise than the table
// of their size assumes, Devices/Hex61S.ini and Devices/Small9.ini (the
// tables stay as they are for the mirrors they were made for).
//
// A report on standard error gives, for each row after rounding, the named
// term's share of the surface over the pupil, the strongest other term with
// and without defocus, and the most any single pad (hence any pull-only
// pattern) can achieve of the named term against defocus.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Mirror/ZernikeTables.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "model/EngineGrid.h"
#include "model/EngineSession.h"
#include "model/EngineZernike.h"
#include "model/ModelHost.h"
#include "toolkit/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {
namespace {

using Vector = std::vector<double>;
using Matrix = std::vector<Vector>; // rows

struct Geometry {
    const char* tableName;  // array name in the generated file; null: a pattern-set file
    const char* deviceFile; // relative to the repository root
    int voltageCount;       // V
    const double* publishedDefocus;
    int publishedLength;     // entries of the Defocus row given (V: the whole row)
    const char* patternFile; // for a shipped mirror without a table: where its set goes
};

struct PupilPoint {
    int i, j;
    double rho, theta;
};

// The program's grid: N = 100, dx = D / (0.97 N - 2), point [i][j] at
// ((i - N/2) dx, (j - N/2) dx); the pupil is rho < 1 with the radius
// BeamFraction D / 2.
std::vector<PupilPoint> PupilPoints(double diameter, double beamFraction) {
    const int n = kEngineGridSize;
    const double dx = *EngineGridStep(diameter);
    const double rp = beamFraction * diameter / 2;
    std::vector<PupilPoint> points;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double x = (i - n / 2) * dx, y = (j - n / 2) * dx;
            const double rho = std::sqrt(x * x + y * y) / rp;
            if (rho < 1)
                points.push_back({i, j, rho, (x == 0 && y == 0) ? 0.0 : std::atan2(y, x)});
        }
    return points;
}

Vector TermOnPupil(int term, const std::vector<PupilPoint>& pupil) {
    int n = 0, m = 0;
    EngineZernikeIndex(term, n, m);
    Vector z;
    for (const PupilPoint& p : pupil)
        z.push_back(EngineZernikeValue(n, m, p.rho, p.theta));
    return z;
}

double Dot(const Vector& a, const Vector& b) {
    double s = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        s += a[i] * b[i];
    return s;
}

// Removes from v its components along the orthonormal vectors of basis.
void Project(Vector& v, const Matrix& basis) {
    for (const Vector& q : basis) {
        const double c = Dot(v, q);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] -= c * q[i];
    }
}

// Gram-Schmidt: adds v (made orthonormal to basis) to basis.
void AddToBasis(Matrix& basis, Vector v) {
    Project(v, basis);
    Project(v, basis);
    const double norm = std::sqrt(Dot(v, v));
    for (double& x : v)
        x /= norm;
    basis.push_back(std::move(v));
}

// Solves the symmetric system G x = h on the index set `set` by Gaussian
// elimination with partial pivoting.
Vector SolveOn(const Matrix& g, const Vector& h, const std::vector<int>& set) {
    const std::size_t n = set.size();
    Matrix a(n, Vector(n + 1));
    for (std::size_t r = 0; r < n; ++r) {
        for (std::size_t c = 0; c < n; ++c)
            a[r][c] = g[set[r]][set[c]];
        a[r][n] = h[set[r]];
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        std::swap(a[c], a[pivot]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k <= n; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    Vector x(n);
    for (std::size_t r = n; r-- > 0;) {
        double s = a[r][n];
        for (std::size_t k = r + 1; k < n; ++k)
            s -= a[r][k] * x[k];
        x[r] = s / a[r][r];
    }
    return x;
}

// Lawson-Hanson: minimises ||A w - b|| over w >= 0, given G = A^T A and h = A^T b.
Vector NonNegativeLeastSquares(const Matrix& g, const Vector& h) {
    const int n = static_cast<int>(h.size());
    Vector w(n, 0.0);
    std::vector<bool> passive(n, false);
    double scale = 0;
    for (double v : h)
        scale = std::max(scale, std::fabs(v));
    const double tolerance = 1e-12 * std::max(scale, 1e-300);
    for (int outer = 0; outer < 10 * n; ++outer) {
        Vector gradient = h;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                gradient[r] -= g[r][c] * w[c];
        int best = -1;
        for (int k = 0; k < n; ++k)
            if (!passive[k] && gradient[k] > tolerance &&
                (best < 0 || gradient[k] > gradient[best]))
                best = k;
        if (best < 0)
            break;
        passive[best] = true;
        for (int inner = 0; inner < 10 * n; ++inner) {
            std::vector<int> set;
            for (int k = 0; k < n; ++k)
                if (passive[k])
                    set.push_back(k);
            const Vector z = SolveOn(g, h, set);
            double alpha = 1;
            bool feasible = true;
            for (std::size_t s = 0; s < set.size(); ++s)
                if (z[s] <= 0) {
                    feasible = false;
                    const double wk = w[set[s]];
                    alpha = std::min(alpha, wk / (wk - z[s]));
                }
            if (feasible) {
                for (std::size_t s = 0; s < set.size(); ++s)
                    w[set[s]] = z[s];
                break;
            }
            for (std::size_t s = 0; s < set.size(); ++s) {
                double& wk = w[set[s]];
                wk += alpha * (z[s] - wk);
                if (wk <= 1e-15 * std::max(1.0, std::fabs(z[s]))) {
                    wk = 0;
                    passive[set[s]] = false;
                }
            }
        }
    }
    return w;
}

// The engine session with its record and working state, run on one device
// file as loading it in the program does.
class Engine {
public:
    explicit Engine(const std::string& file) {
        if (session.SelectMirror(0, file) != MirrorSelection::Selected ||
            session.StartInfluenceRun() != RunStart::Started)
            return;
        ready = session.RunToEnd() == RunTick::Finished && session.ResultsValid();
    }

    const DMInfoClass& Model() const { return *session.MirrorModel(); }
    MirrorClass& Mirror() const { return *session.Mirror(); }

    // The synthesised surface at the pupil points for volts by display number.
    Vector Surface(const Vector& volts, const std::vector<PupilPoint>& pupil) {
        MirrorClass& mirror = Mirror();
        mirror.SetAllChannels(0);
        for (std::size_t d = 0; d < volts.size(); ++d)
            if (volts[d] != 0)
                mirror.SetVoltage(static_cast<int>(d) + 1, volts[d]);
        const SurfaceValues surface = session.PhysicalSurface();
        Vector out;
        for (const PupilPoint& p : pupil)
            out.push_back(surface.values[static_cast<std::size_t>(p.i) * surface.n + p.j]);
        return out;
    }

    RecordingModelHost host;
    EngineSession session{host};
    bool ready = false;
};

// Coefficients of Zernike terms 0 .. FitTerms - 1 in a joint least-squares fit
// over the pupil, and each term's RMS over the pupil.
constexpr int FitTerms = 28;

struct TermFit {
    Matrix values; // by term, at the pupil points
    Vector rms;
    Matrix normal; // values . values^T
};

TermFit MakeTermFit(const std::vector<PupilPoint>& pupil) {
    TermFit fit;
    for (int t = 0; t < FitTerms; ++t)
        fit.values.push_back(TermOnPupil(t, pupil));
    fit.normal.assign(FitTerms, Vector(FitTerms));
    for (int r = 0; r < FitTerms; ++r) {
        fit.rms.push_back(std::sqrt(Dot(fit.values[r], fit.values[r]) / pupil.size()));
        for (int c = 0; c < FitTerms; ++c)
            fit.normal[r][c] = Dot(fit.values[r], fit.values[c]);
    }
    return fit;
}

Vector Coefficients(const TermFit& fit, const Vector& surface) {
    Vector h(FitTerms);
    for (int t = 0; t < FitTerms; ++t)
        h[t] = Dot(fit.values[t], surface);
    std::vector<int> all(FitTerms);
    for (int t = 0; t < FitTerms; ++t)
        all[t] = t;
    return SolveOn(fit.normal, h, all);
}

// Share of each term in a surface: |coefficient| times the term's RMS.
Vector Shares(const TermFit& fit, const Vector& coefficients) {
    Vector share(FitTerms);
    for (int t = 0; t < FitTerms; ++t)
        share[t] = std::fabs(coefficients[t]) * fit.rms[t];
    return share;
}

// Extra weights on terms of the residual: the objective gains
// sum_j penalty[j] * points * (rms_j * coefficient_j)^2 for every term j the
// target does not contain, so that a term crowding the named one can be
// pushed back harder than plain least squares would.
struct Penalty {
    const TermFit* fit = nullptr;
    const Matrix* columnCoefficients = nullptr; // by pad: its coefficients
    Vector weight = Vector(FitTerms, 0.0);
};

// Fits one row; fixed holds the published volts (NaN where free). Returns the
// volts before rounding, by display number 1 .. V - 1.
Vector FitRow(const Matrix& response, const Vector& target, const Vector& fixed, bool freeAmplitude,
              const Penalty* penalty = nullptr) {
    const std::size_t count = response.size();
    const std::size_t points = target.size();
    Matrix basis;
    AddToBasis(basis, Vector(points, 1.0)); // piston
    if (freeAmplitude)
        AddToBasis(basis, target);

    std::vector<int> freeIndex;
    Vector rhs = freeAmplitude ? Vector(points, 0.0) : target;
    for (std::size_t k = 0; k < count; ++k) {
        if (std::isnan(fixed[k]))
            freeIndex.push_back(static_cast<int>(k));
        else
            for (std::size_t p = 0; p < points; ++p)
                rhs[p] -= fixed[k] * fixed[k] * response[k][p];
    }
    Project(rhs, basis);

    // Columns scaled to unit norm; the scale is positive, so w >= 0 is kept.
    Matrix columns;
    Vector norms;
    for (int k : freeIndex) {
        Vector c = response[k];
        Project(c, basis);
        const double norm = std::sqrt(Dot(c, c));
        norms.push_back(norm > 0 ? norm : 1);
        for (double& v : c)
            v /= norms.back();
        columns.push_back(std::move(c));
    }
    const std::size_t n = columns.size();
    Matrix g(n, Vector(n));
    Vector h(n);
    for (std::size_t r = 0; r < n; ++r) {
        h[r] = Dot(columns[r], rhs);
        for (std::size_t c = 0; c < n; ++c)
            g[r][c] = Dot(columns[r], columns[c]);
    }
    if (penalty != nullptr)
        for (int t = 1; t < FitTerms; ++t) {
            const double weight = penalty->weight[t];
            if (weight == 0)
                continue;
            const double scale = weight * points * penalty->fit->rms[t] * penalty->fit->rms[t];
            for (std::size_t r = 0; r < n; ++r) {
                const double cr = (*penalty->columnCoefficients)[freeIndex[r]][t] / norms[r];
                for (std::size_t c = 0; c < n; ++c)
                    g[r][c] +=
                        scale * cr * (*penalty->columnCoefficients)[freeIndex[c]][t] / norms[c];
            }
        }
    const Vector w = NonNegativeLeastSquares(g, h);

    Vector volts(count);
    for (std::size_t k = 0; k < count; ++k)
        volts[k] = std::isnan(fixed[k]) ? 0.0 : fixed[k];
    for (std::size_t f = 0; f < n; ++f)
        volts[freeIndex[f]] = std::sqrt(std::max(0.0, w[f] / norms[f]));
    return volts;
}

constexpr int DefocusTerm = 4; // the engine's number of (2, 0)

// The strongest term other than piston, the named one and, unless counted,
// defocus.
int StrongestOther(const Vector& share, int named, bool countDefocus = true) {
    int other = -1;
    for (int t = 1; t < FitTerms; ++t)
        if (t != named && (countDefocus || t != DefocusTerm) &&
            (other < 0 || share[t] > share[other]))
            other = t;
    return other;
}

// The pads' unrounded volts for one term, either sign of it. Plain least
// squares first; while another term comes within 80 % of the named one, that
// term's weight in the objective is raised and the fit repeated. The fit whose
// named term leads the others by the widest margin is kept; lead receives
// that margin. Without countDefocus, defocus is left out of the contest.
Vector DominantFit(const Matrix& response, const Vector& z, const TermFit& fit,
                   const Matrix& columnCoefficients, int named, bool countDefocus, double& lead) {
    const Vector free(response.size(), std::nan(""));
    Vector best;
    double bestLead = -1;
    for (int sign : {1, -1}) {
        Vector target = z;
        for (double& x : target)
            x *= sign;
        Penalty penalty;
        penalty.fit = &fit;
        penalty.columnCoefficients = &columnCoefficients;
        for (int round = 0; round < 60; ++round) {
            const Vector volts = FitRow(response, target, free, false, &penalty);
            Vector c(FitTerms, 0.0);
            for (std::size_t k = 0; k < response.size(); ++k)
                for (int t = 0; t < FitTerms; ++t)
                    c[t] += volts[k] * volts[k] * columnCoefficients[k][t];
            const Vector share = Shares(fit, c);
            const int other = StrongestOther(share, named, countDefocus);
            const double margin = share[other] > 0 ? share[named] / share[other] : 0;
            // Either sign of a term is the term; ties keep the positive one.
            if (margin > bestLead * (1 + 1e-9)) {
                bestLead = margin;
                best = volts;
            }
            if (margin > 1.25)
                break;
            for (int t = 1; t < FitTerms; ++t)
                if (t != named && (countDefocus || t != DefocusTerm) &&
                    share[t] > 0.8 * share[named])
                    penalty.weight[t] = 2 * penalty.weight[t] + 0.25;
        }
    }
    lead = bestLead;
    return best;
}

struct DerivedTable {
    const Geometry* geometry;
    std::vector<Vector> rows; // by term; empty where the published row stands
    // By term: the named term leads every other but defocus.
    std::vector<bool> dominant;
};

// A version 1.0 pattern-set file with the fourteen rows, one voltage per
// model index ("Use DM Indexing"), so that the mirror's actuator map places
// them: voltage j is the row's entry for the display number of index j.
bool WritePatternFile(const std::string& path, const MirrorInfoClass& info,
                      const DerivedTable& table) {
    const std::vector<int>& display = info.DisplayIndexByIndex;
    const int n = static_cast<int>(display.size());
    PatternClass set(info.DeviceName + " Zernike", n);
    int position = 0;
    for (int k = 0; k < ZernikeTermCount; ++k) {
        // A term the pads cannot make is left out rather than offered as
        // another term under its name.
        if (!table.dominant[k])
            continue;
        Vector byIndex(n);
        for (int j = 0; j < n; ++j)
            byIndex[j] = table.rows[k][display[j] - 1];
        set.InsertPatternFromArray(position++, ZernikeTermNames[k], byIndex.data(), n);
    }
    if (!set.Write(path, "1.0"))
        return false;
    IniFile file(path);
    file.WriteInteger("General", "Use DM Indexing", 1);
    const bool saved = file.UpdateFile();
    std::fprintf(stderr, "wrote %s\n", path.c_str());
    return saved;
}

bool Derive(const std::string& root, const Geometry& geometry, DerivedTable& out) {
    Engine e(root + "/" + geometry.deviceFile);
    if (!e.ready) {
        std::fprintf(stderr, "%s: the influence functions could not be run\n", geometry.deviceFile);
        return false;
    }
    const int v = geometry.voltageCount;
    const int pads = std::min(v - 1, e.Model().Actuators);
    const std::vector<PupilPoint> pupil = PupilPoints(e.Model().Diameter_m, kEngineBeamFraction);

    // Response of each display number per volt squared.
    const double runVoltage = e.Mirror().GetLimitVoltage();
    Matrix response;
    for (int d = 0; d < v - 1; ++d) {
        Vector volts(v - 1, 0.0);
        if (d < pads)
            volts[d] = runVoltage;
        Vector r = e.Surface(volts, pupil);
        for (double& x : r)
            x /= runVoltage * runVoltage;
        response.push_back(std::move(r));
    }

    std::fprintf(stderr, "%s, %zu pupil points\n", geometry.deviceFile, pupil.size());
    const TermFit fit = MakeTermFit(pupil);
    Matrix columnCoefficients;
    for (const Vector& r : response)
        columnCoefficients.push_back(Coefficients(fit, r));
    out.geometry = &geometry;
    out.rows.assign(ZernikeTermCount, Vector());
    out.dominant.assign(ZernikeTermCount, true);

    // Defocus first: its completed row sets the peak voltage of the others.
    std::vector<int> order{ZernikeDefocusTerm};
    for (int k = 0; k < ZernikeTermCount; ++k)
        if (k != ZernikeDefocusTerm)
            order.push_back(k);
    double peak = 0;
    for (int k = 0; k < geometry.publishedLength; ++k)
        peak = std::max(peak, geometry.publishedDefocus[k]);
    // Without published voltages: half the mirror's limit voltage.
    if (geometry.publishedLength == 0)
        peak = std::round(e.Mirror().GetLimitVoltage() / 2);

    for (int k : order) {
        const Vector z = TermOnPupil(k + 1, pupil);
        Vector volts;
        if (k == ZernikeDefocusTerm && geometry.publishedLength == v) {
            volts.assign(geometry.publishedDefocus, geometry.publishedDefocus + v - 1);
        } else if (k == ZernikeDefocusTerm && geometry.publishedLength > 0) {
            Vector fixed(v - 1, std::nan(""));
            for (int i = 0; i < geometry.publishedLength; ++i)
                fixed[i] = geometry.publishedDefocus[i];
            volts = FitRow(response, z, fixed, true);
            for (double& x : volts)
                x = std::round(x);
            for (double x : volts)
                peak = std::max(peak, x);
            out.rows[k] = volts;
        } else {
            // Pull-only forces bring a concave dish with them: every pad adds
            // defocus of one sign. Where no pattern can lead defocus with the
            // named term, the named term is made to lead all the others.
            double lead = 0;
            volts = DominantFit(response, z, fit, columnCoefficients, k + 1, true, lead);
            if (lead < 1.02)
                volts = DominantFit(response, z, fit, columnCoefficients, k + 1, false, lead);
            const double top = *std::max_element(volts.begin(), volts.end());
            for (double& x : volts)
                x = top > 0 ? std::round(x * peak / top) : 0.0;
            out.rows[k] = volts;
        }

        Vector surface(pupil.size(), 0.0);
        for (int d = 0; d < v - 1; ++d)
            for (std::size_t p = 0; p < pupil.size(); ++p)
                surface[p] += volts[d] * volts[d] * response[d][p];
        const Vector share = Shares(fit, Coefficients(fit, surface));
        const int named = k + 1;
        const int other = StrongestOther(share, named);
        const int besidesDefocus = StrongestOther(share, named, false);
        out.dominant[k] = share[named] > share[besidesDefocus];
        double total = 0;
        for (int t = 1; t < FitTerms; ++t)
            total += share[t] * share[t];
        // The best any pull-only pattern can do against defocus: the ratio of
        // two linear forms whose denominator has one sign on every pad peaks
        // on a single pad.
        double bound = 0;
        for (const Vector& c : columnCoefficients)
            if (c[DefocusTerm] != 0)
                bound = std::max(bound, std::fabs(c[named] * fit.rms[named]) /
                                            std::fabs(c[DefocusTerm] * fit.rms[DefocusTerm]));
        std::fprintf(stderr,
                     "  %-20s named %5.1f%%, next %2d at %5.1f%%, besides defocus %2d at %5.1f%%;"
                     " single-pad bound against defocus %.2f%s\n",
                     ZernikeTermNames[k], 100 * share[named] / std::sqrt(total), other,
                     100 * share[other] / std::sqrt(total), besidesDefocus,
                     100 * share[besidesDefocus] / std::sqrt(total), bound,
                     share[named] > share[besidesDefocus] ? "" : "  (not dominant)");
    }
    if (geometry.patternFile != nullptr)
        return WritePatternFile(root + "/" + geometry.patternFile, *e.session.MirrorInfo(), out);
    return true;
}

std::string Generated(const std::vector<DerivedTable>& tables) {
    std::ostringstream out;
    out << "// Generated by tools/modes/MakeZernikeTables.cpp from our membrane model\n"
           "// (make_zernike_tables <repository root>); run it again rather than editing.\n"
           "#include \"Shared_Software/Mirror/ZernikeTables.h\"\n\n"
           "namespace ostrander {\nnamespace {\n\n";
    for (const DerivedTable& t : tables)
        for (int k = 0; k < ZernikeTermCount; ++k) {
            if (t.geometry->tableName == nullptr || t.rows[k].empty())
                continue;
            out << "// " << ZernikeTermNames[k] << "\nconst double " << t.geometry->tableName << "_"
                << k << "[" << t.geometry->voltageCount << "] = {";
            for (double x : t.rows[k])
                out << static_cast<long>(x) << ", ";
            out << "0};\n";
        }
    out << "\n} // namespace\n\n";
    for (const DerivedTable& t : tables) {
        if (t.geometry->tableName == nullptr)
            continue;
        out << "const double* const " << t.geometry->tableName << "[ZernikeTermCount] = {\n";
        for (int k = 0; k < ZernikeTermCount; ++k)
            out << "    "
                << (t.rows[k].empty()
                        ? std::string("nullptr")
                        : t.geometry->tableName + std::string("_") + std::to_string(k))
                << ",\n";
        out << "};\n";
    }
    out << "\n} // namespace ostrander\n";
    return out.str();
}

} // namespace
} // namespace ostrander

int main(int argc, char** argv) {
    using namespace ostrander;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <repository root>\n", argv[0]);
        return 2;
    }
    // Device files are opened by absolute path (relative ones go by the program folder).
    const std::string root = std::filesystem::absolute(argv[1]).lexically_normal().string();
    static const Geometry geometries[] = {
        {"ZernikeDerived32", "tools/modes/geometries/Hex31.ini", 32, ZernikeDefocus32, 32, nullptr},
        {"ZernikeDerived38", "Devices/Hex37.ini", 38, ZernikeDefocus38, 38, nullptr},
        {"ZernikeDerivedHex62", "Devices/Hex61S.ini", 62, ZernikeDefocusHex62Head,
         ZernikeDefocus62HeadLength, nullptr},
        {"ZernikeDerivedRect62", "tools/modes/geometries/Square61.ini", 62,
         ZernikeDefocusRect62Head, ZernikeDefocus62HeadLength, nullptr},
        // Shipped mirrors without a built-in table get a pattern-set file that
        // their "Patterns" section names.
        {nullptr, "Devices/Hex19.ini", 20, nullptr, 0, "Devices/Hex19_Zernike.pat"},
        {nullptr, "Devices/Square36.ini", 37, nullptr, 0, "Devices/Square36_Zernike.pat"},
        // Shipped mirrors numbered otherwise than the table of their size
        // assumes get their own fit too.
        {nullptr, "Devices/Hex61S.ini", 62, nullptr, 0, "Devices/Hex61S_Zernike.pat"},
        {nullptr, "Devices/Small9.ini", 10, nullptr, 0, "Devices/Small9_Zernike.pat"},
    };
    std::vector<DerivedTable> tables;
    for (const Geometry& g : geometries) {
        DerivedTable t;
        if (!Derive(root, g, t))
            return 1;
        tables.push_back(std::move(t));
    }
    const std::string target = root + "/Shared_Software/Mirror/ZernikeTablesDerived.cpp";
    std::ofstream(target) << Generated(tables);
    std::fprintf(stderr, "wrote %s\n", target.c_str());
    return 0;
}
