// Each derived row of the built-in Zernike tables, applied to the mirror of
// its standard geometry, must give a surface whose strongest Zernike term over
// the pupil is the row's own term, piston aside and, but for the terms a
// membrane makes without load inside the pupil (tilts and first
// astigmatisms), defocus aside too: the pads only pull, so every pattern
// brings a concave dish, and for coma, second astigmatism, sphere and some
// trefoils and quadrafoils no pattern of pulls leads that dish with the term
// (make_zernike_tables reports the bound). The surface is the one the program
// shows: influence functions run by the engine, then synthesised from the
// row's voltages. The decomposition here is independent of the engine and
// of the tool that derived the rows: closed-form terms up to the fourth
// order, the general radial formula beyond, and a joint least-squares fit.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Mirror/MirrorZernikeClass.h"
#include "Shared_Software/Mirror/ZernikeTables.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/SessionAccess.h"
#include "model/ModelHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ostrander {
namespace {

using Shape = std::function<double(double rho, double theta)>;

// The fourteen named shapes in table order, written out.
std::vector<Shape> NamedShapes() {
    auto r2 = [](double r) { return r * r; };
    return {
        [](double r, double t) { return r * std::cos(t); },
        [](double r, double t) { return r * std::sin(t); },
        [=](double r, double t) { return r2(r) * std::cos(2 * t); },
        [=](double r, double) { return 2 * r2(r) - 1; },
        [=](double r, double t) { return r2(r) * std::sin(2 * t); },
        [](double r, double t) { return r * r * r * std::cos(3 * t); },
        [](double r, double t) { return (3 * r * r * r - 2 * r) * std::cos(t); },
        [](double r, double t) { return (3 * r * r * r - 2 * r) * std::sin(t); },
        [](double r, double t) { return r * r * r * std::sin(3 * t); },
        [=](double r, double t) { return r2(r) * r2(r) * std::cos(4 * t); },
        [=](double r, double t) { return (4 * r2(r) * r2(r) - 3 * r2(r)) * std::cos(2 * t); },
        [=](double r, double) { return 6 * r2(r) * r2(r) - 6 * r2(r) + 1; },
        [=](double r, double t) { return (4 * r2(r) * r2(r) - 3 * r2(r)) * std::sin(2 * t); },
        [=](double r, double t) { return r2(r) * r2(r) * std::sin(4 * t); },
    };
}

double Factorial(int n) {
    double f = 1;
    for (int i = 2; i <= n; ++i)
        f *= i;
    return f;
}

// Zernike radial polynomial R_n^m.
double Radial(int n, int m, double rho) {
    double sum = 0;
    for (int s = 0; s <= (n - m) / 2; ++s)
        sum += (s % 2 ? -1 : 1) * Factorial(n - s) /
               (Factorial(s) * Factorial((n + m) / 2 - s) * Factorial((n - m) / 2 - s)) *
               std::pow(rho, n - 2 * s);
    return sum;
}

// Piston, the fourteen named shapes, and every term of orders 5 and 6.
std::vector<Shape> FitBasis() {
    std::vector<Shape> basis{[](double, double) { return 1.0; }};
    for (const Shape& s : NamedShapes())
        basis.push_back(s);
    for (int n = 5; n <= 6; ++n)
        for (int m = n % 2; m <= n; m += 2) {
            basis.push_back([=](double r, double t) { return Radial(n, m, r) * std::cos(m * t); });
            if (m > 0)
                basis.push_back(
                    [=](double r, double t) { return Radial(n, m, r) * std::sin(m * t); });
        }
    return basis;
}

// Solves the dense system a x = b (Gaussian elimination, partial pivoting).
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b) {
    const std::size_t n = b.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        std::swap(a[c], a[p]);
        std::swap(b[c], b[p]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k < n; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t r = n; r-- > 0;) {
        double s = b[r];
        for (std::size_t k = r + 1; k < n; ++k)
            s -= a[r][k] * x[k];
        x[r] = s / a[r][r];
    }
    return x;
}

struct Standard {
    const char* file; // relative to the repository root
    int actuators;    // the table's lookup value
    bool square;
    const double* const* derived; // null: the set the mirror's "Patterns" section names
};

class DerivedRows : public testing::TestWithParam<Standard> {};

TEST_P(DerivedRows, NamedTermDominatesTheSurface) {
    const Standard& standard = GetParam();
    MainData data;
    DMModelLocal local;
    RecordingModelHost host;
    EngineSession session(data, local, host);
    DMModelMain& engine = SessionAccess::Engine(session);

    const std::string file = std::string(OSTRANDER_SOURCE_DIR) + "/" + standard.file;
    ASSERT_EQ(session.SelectMirror(0, file), MirrorSelection::Selected);
    MirrorInfoClass* info = local.MirrorInfo.get();
    MirrorClass* mirror = local.Mirror.get();
    ASSERT_EQ(session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(session.RunToEnd(), RunTick::Finished);
    ASSERT_TRUE(local.DisplaysValid);

    // The pupil of the program's grid, its own way: 100 points a side,
    // dx = D / (0.97 * 100 - 2), radius 0.8 D / 2.
    const double diameter = info->Model->Diameter_m;
    const double dx = diameter / (97.0 - 2.0), pupilRadius = 0.4 * diameter;
    struct Point {
        int i, j;
        double rho, theta;
    };
    std::vector<Point> pupil;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const double x = (i - 50) * dx, y = (j - 50) * dx;
            if (std::hypot(x, y) < pupilRadius)
                pupil.push_back({i, j, std::hypot(x, y) / pupilRadius, std::atan2(y, x)});
        }
    const std::vector<Shape> basis = FitBasis();
    const std::size_t terms = basis.size();
    std::vector<std::vector<double>> values(terms);
    std::vector<std::vector<double>> normal(terms, std::vector<double>(terms, 0.0));
    for (std::size_t t = 0; t < terms; ++t)
        for (const Point& p : pupil)
            values[t].push_back(basis[t](p.rho, p.theta));
    for (std::size_t a = 0; a < terms; ++a)
        for (std::size_t b = 0; b < terms; ++b)
            for (std::size_t q = 0; q < pupil.size(); ++q)
                normal[a][b] += values[a][q] * values[b][q];

    std::unique_ptr<PatternClass> builtIn;
    const PatternClass* set = info->Zernike->GetPatternSet();
    if (standard.derived != nullptr) {
        builtIn = MirrorZernikeClass::BuiltInSet(standard.actuators, standard.square);
        set = builtIn.get();
    }
    ASSERT_TRUE(set && set->IsValid());
    // Which pattern of the set holds which term: a table holds all fourteen
    // in order; a mirror's own file leaves out the terms its pads cannot
    // make (a single ring cannot tell coma from tilt), but never the tilts,
    // defocus and the first astigmatisms.
    std::vector<std::pair<int, int>> patternOfTerm;
    if (standard.derived != nullptr) {
        ASSERT_EQ(set->GetPatternNames().size(), ZernikeTermCount + 1u);
        for (int k = 0; k < ZernikeTermCount; ++k)
            if (standard.derived[k] != nullptr) {
                ASSERT_EQ(set->FindPattern(k)->PatternName, ZernikeTermNames[k]);
                patternOfTerm.emplace_back(k, k);
            }
    } else {
        for (int p = 0; p < set->GetPatternCount(); ++p) {
            const std::string& name = set->FindPattern(p)->PatternName;
            const auto* found =
                std::find(ZernikeTermNames, ZernikeTermNames + ZernikeTermCount, name);
            ASSERT_NE(found, ZernikeTermNames + ZernikeTermCount) << name;
            const int k = static_cast<int>(found - ZernikeTermNames);
            ASSERT_TRUE(patternOfTerm.empty() || patternOfTerm.back().first < k) << "term order";
            patternOfTerm.emplace_back(k, p);
        }
        for (int k = 0; k <= 4; ++k)
            EXPECT_TRUE(std::any_of(patternOfTerm.begin(), patternOfTerm.end(),
                                    [k](const auto& kp) { return kp.first == k; }))
                << ZernikeTermNames[k] << " missing";
    }
    int derivedRows = 0;
    for (const auto& [k, patternIndex] : patternOfTerm) {
        ++derivedRows;
        SCOPED_TRACE(ZernikeTermNames[k]);
        mirror->SetAllChannels(0);
        auto volts = set->GetPatternVoltages(patternIndex);
        ASSERT_TRUE(volts);
        for (const VoltageListEntry* e = volts->First(); e != nullptr; e = e->next)
            if (e->Actuator <= info->Model->Actuators) {
                ASSERT_TRUE(mirror->SetVoltage(e->Actuator, e->Voltage));
                ASSERT_EQ(mirror->GetVoltage(e->Actuator), e->Voltage); // within the rules
            }
        engine.SynthesizeSurface();

        std::vector<double> rhs(terms, 0.0);
        for (std::size_t t = 0; t < terms; ++t)
            for (std::size_t q = 0; q < pupil.size(); ++q)
                rhs[t] += values[t][q] * data.Surface[pupil[q].i][pupil[q].j];
        const std::vector<double> c = Solve(normal, rhs);
        // Each term's share: its coefficient times its RMS over the pupil.
        std::vector<double> share(terms);
        for (std::size_t t = 0; t < terms; ++t)
            share[t] = std::fabs(c[t]) * std::sqrt(normal[t][t] / pupil.size());
        const std::size_t named = k + 1, defocus = 4;
        std::size_t strongest = 0, besidesDefocus = 0; // 0: none yet (piston is never counted)
        for (std::size_t t = 1; t < terms; ++t) {
            if (t == named)
                continue;
            if (strongest == 0 || share[t] > share[strongest])
                strongest = t;
            if (t != defocus && (besidesDefocus == 0 || share[t] > share[besidesDefocus]))
                besidesDefocus = t;
        }
        EXPECT_GT(share[named], share[besidesDefocus])
            << "strongest other term " << besidesDefocus << " at " << share[besidesDefocus]
            << ", named at " << share[named];
        const bool harmonic = k == 0 || k == 1 || k == 2 || k == 4;
        if (harmonic || k == ZernikeDefocusTerm) {
            EXPECT_GT(share[named], share[strongest])
                << "term " << strongest << " at " << share[strongest] << ", named at "
                << share[named];
        }
    }
    // A shipped mirror's own set is what its user loads: no pattern of it
    // may bring the membrane to snap-down (a peak-to-valley over a third of
    // the gap, as the program marks it).
    if (standard.derived == nullptr) {
        for (int k = 0; k < set->GetPatternCount(); ++k) {
            SCOPED_TRACE(set->FindPattern(k)->PatternName);
            mirror->SetAllChannels(0);
            auto volts = set->GetPatternVoltages(k);
            ASSERT_TRUE(volts);
            for (const VoltageListEntry* e = volts->First(); e != nullptr; e = e->next)
                if (e->Actuator <= info->Model->Actuators)
                    ASSERT_TRUE(mirror->SetVoltage(e->Actuator, e->Voltage));
            engine.SynthesizeSurface();
            double lo = data.Surface[0][0], hi = lo;
            for (int i = 0; i < 100; ++i)
                for (int j = 0; j < 100; ++j) {
                    lo = std::min(lo, data.Surface[i][j]);
                    hi = std::max(hi, data.Surface[i][j]);
                }
            EXPECT_LT(hi - lo, info->Model->Separation_m / 3);
        }
    }
    // Every row that is not published has been derived.
    if (standard.derived != nullptr)
        EXPECT_EQ(derivedRows,
                  standard.actuators == 62 ? ZernikeTermCount : ZernikeTermCount - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DerivedRows,
    testing::Values(Standard{"tools/modes/geometries/Hex31.ini", 31, false, ZernikeDerived32},
                    Standard{"Devices/Hex37.ini", 37, false, ZernikeDerived38},
                    Standard{"Devices/Hex61S.ini", 62, false, ZernikeDerivedHex62},
                    Standard{"tools/modes/geometries/Square61.ini", 62, true, ZernikeDerivedRect62},
                    // The shipped mirrors as they are numbered, each with the
                    // set it gives its user.
                    Standard{"Devices/Hex19.ini", 19, false, nullptr},
                    Standard{"Devices/Square36.ini", 36, false, nullptr},
                    Standard{"Devices/Hex37.ini", 37, false, nullptr},
                    Standard{"Devices/Hex61S.ini", 62, false, nullptr},
                    Standard{"Devices/Small9.ini", 9, false, nullptr}),
    [](const testing::TestParamInfo<Standard>& info) {
        return std::string(info.param.derived == nullptr ? "Shipped"
                           : info.param.square           ? "Rectangular"
                                                         : "CircularHex") +
               std::to_string(info.param.actuators);
    });

// Every shipped mirror that offers a Zernike set (the others have an empty
// one) is among those checked above.
TEST(ShippedZernikeSets, EveryOneIsChecked) {
    const std::set<std::string> checked = {"Hex19.ini", "Square36.ini", "Hex37.ini", "Hex61S.ini",
                                           "Small9.ini"};
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(OSTRANDER_SOURCE_DIR) + "/Devices")) {
        if (entry.path().extension() != ".ini")
            continue;
        MirrorInfoClass info(entry.path().string());
        ASSERT_TRUE(info.IsValid()) << entry.path();
        const PatternClass* set = info.Zernike ? info.Zernike->GetPatternSet() : nullptr;
        if (set != nullptr && set->IsValid() && set->GetPatternCount() > 0)
            EXPECT_TRUE(checked.count(entry.path().filename().string()))
                << entry.path().filename() << " has a Zernike set nobody checks";
    }
}

} // namespace
} // namespace ostrander
