// The exact linear membrane model against answers worked out apart from it:
// the axisymmetric solutions of the loaded clamped disc, Green's function of
// the disc integrated by quadrature, a convergence study of the finite
// differences, and the linearity of the model.
#include "model/ExactMembrane.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/MembraneGeometry.h"
#include "tests/model/MembraneFixture.h"
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace ostrander {
namespace {

constexpr double kEps0 = 8.854e-12;
constexpr double kPi = std::numbers::pi;

using testing::RoundMembrane;

MembranePad Disc(double x, double y, double diameter) {
    return {PadShape::Disc, x, y, diameter, 0, 0, 0};
}
MembranePad Rectangle(double x, double y, double w, double h) {
    return {PadShape::Rectangle, x, y, w, h, 0, 0};
}
MembranePad Ring(double x, double y, double ri, double ro, PadShape shape = PadShape::Ring) {
    return {shape, x, y, 0, 0, ri, ro};
}

double Pressure(double volts, double d) {
    return kEps0 * volts * volts / (2 * d * d);
}

// T w of a centred uniformly loaded disc of radius a (pressure p) at radius r,
// from the radial equation (w' continuous at a, w(R) = 0, positive downwards).
double CentredDisc(double r, double a, double R, double p) {
    if (r < a)
        return p * (a * a - r * r) / 4 + p * a * a / 2 * std::log(R / a);
    return p * a * a / 2 * std::log(R / r);
}

// Green's function of -laplacian on the disc of radius R with w = 0 on the rim.
double Green(double x, double y, double sx, double sy, double R) {
    const double r2 = x * x + y * y, s2 = sx * sx + sy * sy;
    const double num = r2 * s2 - 2 * R * R * (x * sx + y * sy) + R * R * R * R;
    const double den = R * R * ((x - sx) * (x - sx) + (y - sy) * (y - sy));
    return std::log(num / den) / (4 * kPi);
}

// Composite 4-point Gauss-Legendre rule on [lo, hi] with `panels` panels.
template <class F> double Integrate(double lo, double hi, int panels, F f) {
    static const double t[4] = {-0.8611363115940526, -0.3399810435848563, 0.3399810435848563,
                                0.8611363115940526};
    static const double w[4] = {0.3478548451374538, 0.6521451548625461, 0.6521451548625461,
                                0.3478548451374538};
    double sum = 0;
    const double step = (hi - lo) / panels;
    for (int k = 0; k < panels; ++k)
        for (int q = 0; q < 4; ++q)
            sum += w[q] * step / 2 * f(lo + step * (k + 0.5) + step / 2 * t[q]);
    return sum;
}

// T w at (x, y) for pressure p on a pad, by quadrature of Green's function;
// (x, y) must lie off the pad, where the integrand is smooth.
double QuadratureDisc(double x, double y, const MembranePad& pad, double R, double p) {
    const double a = pad.width / 2;
    return p * Integrate(0, a, 12, [&](double s) {
               return s * Integrate(0, 2 * kPi, 24, [&](double phi) {
                          return Green(x, y, pad.x + s * std::cos(phi), pad.y + s * std::sin(phi),
                                       R);
                      });
           });
}
double QuadratureRectangle(double x, double y, const MembranePad& pad, double R, double p) {
    return p * Integrate(pad.x - pad.width / 2, pad.x + pad.width / 2, 16, [&](double sx) {
               return Integrate(pad.y - pad.height / 2, pad.y + pad.height / 2, 16,
                                [&](double sy) { return Green(x, y, sx, sy, R); });
           });
}

double Peak(const std::vector<double>& z) {
    double m = 0;
    for (double v : z)
        m = std::max(m, std::abs(v));
    return m;
}

// Largest difference between a solved grid and a reference T w(x, y), over
// the points inside the rim that `use` accepts, as a share of the peak.
template <class Ref, class Use>
double WorstShare(const std::vector<double>& z, const EngineGrid& grid, double R, double T, Ref ref,
                  Use use) {
    double worst = 0, peak = 0;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j) {
            const double x = grid.X(i), y = grid.X(j);
            if (x * x + y * y >= R * R || !use(x, y))
                continue;
            const double expected = -ref(x, y) / T;
            worst =
                std::max(worst, std::abs(z[static_cast<std::size_t>(i * grid.n + j)] - expected));
            peak = std::max(peak, std::abs(expected));
        }
    return worst / peak;
}

TEST(ExactMembrane, CentredDiscFollowsTheRadialSolution) {
    const MembraneGeometry g = RoundMembrane({Disc(0, 0, 3e-3)});
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    const double R = g.diameter_m / 2, p = Pressure(150, g.separation_m);
    auto ref = [&](double x, double y) { return CentredDisc(std::hypot(x, y), 1.5e-3, R, p); };
    auto all = [](double, double) { return true; };

    const ExactMembrane closed(g, grid);
    ASSERT_TRUE(closed.IsValid());
    EXPECT_TRUE(closed.InClosedForm(0));
    const std::vector<double> z = closed.Influence(0, 150);
    EXPECT_LT(WorstShare(z, grid, R, g.Tension(), ref, all), 1e-12);
    for (int i = 0; i < grid.n; ++i) {
        for (int j = 0; j < grid.n; ++j) {
            if (std::hypot(grid.X(i), grid.X(j)) >= R) {
                ASSERT_EQ(z[static_cast<std::size_t>(i * grid.n + j)], 0.0);
            }
        }
    }

    const ExactMembrane fd(g, grid, ExactMembrane::Method::FiniteDifference);
    EXPECT_FALSE(fd.InClosedForm(0));
    EXPECT_LT(WorstShare(fd.Influence(0, 150), grid, R, g.Tension(), ref, all), 3e-3);
}

TEST(ExactMembrane, OffCentrePadsMatchGreensFunctionQuadrature) {
    // The disc is in closed form, the rectangle (1:3) by finite differences;
    // quadrature is compared off the pads, where it is accurate.
    struct Case {
        const char* name;
        MembranePad pad;
        bool closedForm;
        double tolerance; // share of the peak
    };
    const Case cases[] = {
        // (the quadrature itself is good to some 1e-8 and 1e-6 of the peak)
        {"disc at 0.6 R", Disc(2.2e-3, -1.5e-3, 1.8e-3), true, 5e-8},
        {"disc touching the rim", Disc(-3.5e-3, 0, 3e-3), true, 2e-6},
        {"rectangle 1:3", Rectangle(1.0e-3, 2.0e-3, 1.0e-3, 3.0e-3), false, 6e-3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MembraneGeometry g = RoundMembrane({c.pad});
        const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
        const double R = g.diameter_m / 2, p = Pressure(120, g.separation_m);
        const ExactMembrane model(g, grid);
        EXPECT_EQ(model.InClosedForm(0), c.closedForm);
        const std::vector<double> z = model.Influence(0, 120);
        const MembranePad pad = c.pad;
        auto off = [&](double x, double y) {
            // Sample every third point and keep a step away from the pad.
            const double margin = 2 * grid.dx;
            const bool near = pad.shape == PadShape::Disc
                                  ? std::hypot(x - pad.x, y - pad.y) < pad.width / 2 + margin
                                  : std::abs(x - pad.x) < pad.width / 2 + margin &&
                                        std::abs(y - pad.y) < pad.height / 2 + margin;
            const int i = static_cast<int>(std::lround(x / grid.dx)),
                      j = static_cast<int>(std::lround(y / grid.dx));
            return !near && (i % 3 == 0) && (j % 3 == 0);
        };
        auto ref = [&](double x, double y) {
            return pad.shape == PadShape::Disc ? QuadratureDisc(x, y, pad, R, p)
                                               : QuadratureRectangle(x, y, pad, R, p);
        };
        EXPECT_LT(WorstShare(z, grid, R, g.Tension(), ref, off), c.tolerance);
    }
}

TEST(ExactMembrane, FiniteDifferencesConvergeAtSecondOrder) {
    // Off-centre disc pads (exact answer: the closed form) on finer and finer
    // grids; the error must fall about four times per halving of dx, also
    // for a pad reaching close to the rim, where the rim's cut arms matter.
    struct Case {
        const char* name;
        MembranePad pad;
    };
    const Case cases[] = {{"inner pad", Disc(1.3e-3, -0.9e-3, 2.5e-3)},
                          {"pad by the rim", Disc(-3.2e-3, 1.0e-3, 2.6e-3)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MembraneGeometry g = RoundMembrane({c.pad});
        std::vector<double> errors;
        for (int n : {40, 80, 160}) {
            const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m, n);
            const std::vector<double> exact = ExactMembrane(g, grid).Influence(0, 100);
            const std::vector<double> fd =
                ExactMembrane(g, grid, ExactMembrane::Method::FiniteDifference).Influence(0, 100);
            double sum = 0;
            for (std::size_t k = 0; k < exact.size(); ++k)
                sum += (fd[k] - exact[k]) * (fd[k] - exact[k]);
            errors.push_back(std::sqrt(sum / static_cast<double>(exact.size())) / Peak(exact));
        }
        for (std::size_t k = 1; k < errors.size(); ++k) {
            const double order = std::log2(errors[k - 1] / errors[k]);
            EXPECT_GT(order, 1.7) << "between grids " << k - 1 << " and " << k << ": "
                                  << errors[k - 1] << " -> " << errors[k];
        }
    }
}

TEST(ExactMembrane, RingsFollowTheAxisymmetricSolution) {
    // T w of the centred annulus ri..ro from the radial equation.
    const double ri = 1.0e-3, ro = 2.2e-3;
    const MembraneGeometry g = RoundMembrane({Ring(0, 0, ri, ro)});
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    const double R = g.diameter_m / 2, p = Pressure(180, g.separation_m);
    auto ref = [&](double x, double y) {
        const double r = std::hypot(x, y);
        if (r < ri)
            return p * (ro * ro - ri * ri) / 4 + p * ro * ro / 2 * std::log(R / ro) -
                   p * ri * ri / 2 * std::log(R / ri);
        if (r < ro)
            return p * (ro * ro - r * r) / 4 + p * ro * ro / 2 * std::log(R / ro) -
                   p * ri * ri / 2 * std::log(R / r);
        return p * (ro * ro - ri * ri) / 2 * std::log(R / r);
    };
    auto all = [](double, double) { return true; };
    const ExactMembrane closed(g, grid);
    EXPECT_TRUE(closed.InClosedForm(0));
    EXPECT_LT(WorstShare(closed.Influence(0, 180), grid, R, g.Tension(), ref, all), 1e-12);
    const ExactMembrane fd(g, grid, ExactMembrane::Method::FiniteDifference);
    EXPECT_LT(WorstShare(fd.Influence(0, 180), grid, R, g.Tension(), ref, all), 5e-3);
}

TEST(ExactMembrane, QuarterRingsAddUpToTheRing) {
    // A quarter ring's quadrant follows the signs of its centre; centres a
    // vanishing distance off the origin pick the four quadrants of one ring.
    const double e = 1e-15, ri = 0.6e-3, ro = 1.9e-3;
    std::vector<MembranePad> pads;
    for (const auto& [sx, sy] :
         {std::pair{1, 1}, std::pair{1, -1}, std::pair{-1, 1}, std::pair{-1, -1}})
        pads.push_back(Ring(sx * e, sy * e, ri, ro, PadShape::QuarterRing));
    pads.push_back(Ring(0, 0, ri, ro));
    const MembraneGeometry g = RoundMembrane(pads);
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    const ExactMembrane fd(g, grid, ExactMembrane::Method::FiniteDifference);
    std::vector<double> sum(grid.Points(), 0.0);
    for (int k = 0; k < 4; ++k) {
        const std::vector<double> q = fd.Influence(k, 150);
        EXPECT_GT(Peak(q), 0.0);
        for (std::size_t p = 0; p < sum.size(); ++p)
            sum[p] += q[p];
    }
    const std::vector<double> ring = fd.Influence(4, 150);
    double worst = 0;
    for (std::size_t p = 0; p < sum.size(); ++p)
        worst = std::max(worst, std::abs(sum[p] - ring[p]));
    EXPECT_LT(worst, 1e-12 * Peak(ring));
    // And the sum is the closed-form ring.
    const std::vector<double> exact = ExactMembrane(g, grid).Influence(4, 150);
    worst = 0;
    for (std::size_t p = 0; p < sum.size(); ++p)
        worst = std::max(worst, std::abs(sum[p] - exact[p]));
    EXPECT_LT(worst, 5e-3 * Peak(exact));
    // One quadrant is the mirror image of its neighbour.
    const std::vector<double> q1 = fd.Influence(0, 150), q2 = fd.Influence(1, 150);
    for (int i = 0; i < grid.n; ++i)
        for (int j = 1; j < grid.n; ++j)
            ASSERT_NEAR(q1[static_cast<std::size_t>(i * grid.n + j)],
                        q2[static_cast<std::size_t>(i * grid.n + (grid.n - j))], 1e-12 * Peak(q1));
}

TEST(ExactMembrane, PadCoveringTheWholeMembraneGivesTheParabola) {
    // A pad crossing the rim everywhere loads the whole membrane uniformly:
    // T w = p (R^2 - r^2) / 4. Both a disc and a square larger than the membrane.
    for (const MembranePad& pad : {Disc(0.3e-3, 0, 12e-3), Rectangle(0, 0.2e-3, 11e-3, 10.6e-3)}) {
        const MembraneGeometry g = RoundMembrane({pad});
        const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
        const ExactMembrane model(g, grid);
        EXPECT_FALSE(model.InClosedForm(0));
        const double R = g.diameter_m / 2, p = Pressure(100, g.separation_m);
        auto ref = [&](double x, double y) { return p * (R * R - x * x - y * y) / 4; };
        EXPECT_LT(WorstShare(model.Influence(0, 100), grid, R, g.Tension(), ref,
                             [](double, double) { return true; }),
                  2e-3);
    }
}

TEST(ExactMembrane, SquareMembraneFollowsItsFourierSeries) {
    // A rectangular membrane Lx x Ly clamped on its edges, loaded everywhere:
    // T w = sum over odd m, n of 16 p sin(m pi x'/Lx) sin(n pi y'/Ly) /
    // (pi^2 m n ((m pi/Lx)^2 + (n pi/Ly)^2)), with x' = x + Lx/2, y' = y + Ly/2.
    MembraneGeometry g = RoundMembrane({Rectangle(0, 0, 12e-3, 12e-3)});
    g.square = true;
    g.yExtent_m = 8e-3;
    const double Lx = g.diameter_m, Ly = g.yExtent_m, p = Pressure(100, g.separation_m);
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    const ExactMembrane model(g, grid);
    ASSERT_TRUE(model.IsValid());
    const std::vector<double> z = model.Influence(0, 100);
    double worst = 0, peak = 0;
    for (int i = 0; i < grid.n; i += 3)
        for (int j = 0; j < grid.n; j += 3) {
            const double x = grid.X(i) + Lx / 2, y = grid.X(j) + Ly / 2;
            const double value = z[static_cast<std::size_t>(i * grid.n + j)];
            if (x <= 0 || x >= Lx || y <= 0 || y >= Ly) {
                EXPECT_EQ(value, 0.0);
                continue;
            }
            double sum = 0;
            for (int m = 1; m < 160; m += 2)
                for (int n = 1; n < 160; n += 2) {
                    const double km = m * kPi / Lx, kn = n * kPi / Ly;
                    sum += 16 * p * std::sin(km * x) * std::sin(kn * y) /
                           (kPi * kPi * m * n * (km * km + kn * kn));
                }
            const double expected = -sum / g.Tension();
            worst = std::max(worst, std::abs(value - expected));
            peak = std::max(peak, std::abs(expected));
        }
    EXPECT_LT(worst, 2e-3 * peak);
}

// A mirror mixing closed-form discs, finite-difference pads and a surface electrode.
MembraneGeometry MixedMirror() {
    MembraneGeometry g = RoundMembrane({Disc(0, 0, 2e-3), Disc(2.5e-3, 1e-3, 1.5e-3),
                                        Rectangle(-2e-3, -2e-3, 1e-3, 2.5e-3),
                                        Ring(-1e-3, 2.5e-3, 0.3e-3, 0.9e-3, PadShape::QuarterRing),
                                        Disc(4.5e-3, 0, 2e-3), MembranePad{}});
    g.surfaceIndex = 5;
    return g;
}

TEST(ExactMembrane, LinearSurfaceIsTheSumOfTheInfluences) {
    const MembraneGeometry g = MixedMirror();
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    const ExactMembrane model(g, grid);
    ASSERT_TRUE(model.IsValid());
    EXPECT_TRUE(model.InClosedForm(0));
    EXPECT_FALSE(model.InClosedForm(2));
    EXPECT_FALSE(model.InClosedForm(4)); // crosses the rim

    std::vector<std::vector<double>> influence;
    ASSERT_TRUE(model.InfluenceFunctions(100, influence));
    ASSERT_EQ(influence.size(), 6u);
    EXPECT_EQ(Peak(influence[5]), 0.0); // the surface electrode has no pad

    // Pad voltages relative to the membrane at 30 V; each pad's share is
    // (V - 30)^2 / 100^2 of its influence, whatever the sign of V - 30.
    const std::vector<double> volts = {130, 80, -20, 30, 230, 30};
    const std::vector<double> z = model.LinearSurface(volts);
    for (std::size_t p = 0; p < z.size(); ++p) {
        double expected = 0;
        for (int k = 0; k < 5; ++k) {
            const double rel = (volts[static_cast<std::size_t>(k)] - 30) / 100;
            expected += rel * rel * influence[static_cast<std::size_t>(k)][p];
        }
        ASSERT_NEAR(z[p], expected, 1e-12 * Peak(z)) << p;
    }
    // Doubling one pad's voltage quadruples its influence.
    const std::vector<double> one = model.Influence(2, 50), two = model.Influence(2, 100);
    for (std::size_t p = 0; p < one.size(); ++p)
        ASSERT_NEAR(two[p], 4 * one[p], 1e-15 + 1e-12 * std::abs(two[p]));
}

TEST(ExactMembrane, AllPadsAtTheMembraneVoltageLeaveItFlat) {
    const MembraneGeometry g = MixedMirror();
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    EXPECT_EQ(Peak(model.LinearSurface(std::vector<double>(6, 175.0))), 0.0);
    // Only the membrane driven pulls it towards every pad as all pads would.
    const std::vector<double> membrane = model.LinearSurface({0, 0, 0, 0, 0, 120});
    const std::vector<double> pads = model.LinearSurface({120, 120, 120, 120, 120, 0});
    EXPECT_GT(Peak(pads), 0.0);
    for (std::size_t p = 0; p < pads.size(); ++p)
        ASSERT_DOUBLE_EQ(membrane[p], pads[p]);
}

TEST(ExactMembrane, UnsolvableInputGivesAReasonAndFlatGrids) {
    struct Case {
        const char* name;
        double diameter, stress, separation;
    };
    const Case cases[] = {{"no diameter", 0, 1e8, 4e-5},
                          {"no stress", 1e-2, 0, 4e-5},
                          {"no gap", 1e-2, 1e8, 0},
                          {"not a number", std::numeric_limits<double>::quiet_NaN(), 1e8, 4e-5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MembraneGeometry g = RoundMembrane({Disc(0, 0, 2e-3)});
        g.diameter_m = c.diameter;
        g.stress_Pa = c.stress;
        g.separation_m = c.separation;
        const ExactMembrane model(g, EngineGrid{100, 1e-4});
        EXPECT_FALSE(model.IsValid());
        EXPECT_FALSE(model.Problem().empty());
        EXPECT_EQ(Peak(model.Influence(0, 100)), 0.0);
        EXPECT_EQ(Peak(model.LinearSurface({100})), 0.0);
    }
    // A grid of no points is refused, not allocated.
    const ExactMembrane noGrid(RoundMembrane({Disc(0, 0, 2e-3)}), EngineGrid{-100000, 1e-4});
    EXPECT_FALSE(noGrid.IsValid());
    EXPECT_TRUE(noGrid.Influence(0, 100).empty());
    // Pads far off the membrane or with absurd coordinates pull on nothing.
    const MembraneGeometry g = RoundMembrane({Rectangle(1e300, 0, 1e-3, 1e-3), Disc(0.5, 0.5, 1e-3),
                                              Ring(-1e200, 1e200, 0, 1e-3, PadShape::QuarterRing)});
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    ASSERT_TRUE(model.IsValid());
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(Peak(model.Influence(k, 100)), 0.0);
    EXPECT_EQ(Peak(model.Influence(7, 100)), 0.0);
    EXPECT_EQ(Peak(model.Influence(-1, 100)), 0.0);
}

TEST(ExactMembrane, InfluenceRunStopsWhenCancelled) {
    const MembraneGeometry g = MixedMirror();
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    std::atomic<int> asked{0};
    std::vector<std::vector<double>> out;
    EXPECT_FALSE(model.InfluenceFunctions(100, out, [&] { return ++asked > 2; }));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(asked.load(), 3);
}

// The shipped mirrors' pads as the model reads them.
MembraneGeometry Shipped(const std::string& file) {
    IniFile ini;
    EXPECT_TRUE(ini.Load(std::string(OSTRANDER_SOURCE_DIR) + "/Devices/" + file));
    DMInfoClass dm;
    EXPECT_TRUE(dm.Load(ini));
    return MembraneGeometryFromModel(dm);
}

TEST(MembraneGeometry, ShippedMirrorsGiveTheirPads) {
    const MembraneGeometry hex = Shipped("Hex61S.ini");
    ASSERT_EQ(hex.pads.size(), 62u);
    EXPECT_EQ(hex.surfaceIndex, 61);
    EXPECT_EQ(hex.pads[61].shape, PadShape::None);
    EXPECT_EQ(std::count_if(hex.pads.begin(), hex.pads.end(),
                            [](const MembranePad& p) { return p.shape == PadShape::Disc; }),
              61);
    EXPECT_DOUBLE_EQ(hex.Tension(), 150.0);

    const MembraneGeometry ring = Shipped("Ring7.ini");
    ASSERT_EQ(ring.pads.size(), 7u);
    EXPECT_EQ(ring.pads[1].shape, PadShape::Ring);
    EXPECT_DOUBLE_EQ(ring.pads[1].innerRadius, 0.0004);
    EXPECT_DOUBLE_EQ(ring.pads[1].outerRadius, 0.0011);
    EXPECT_DOUBLE_EQ(ring.pads[1].y, -0.0028);

    const MembraneGeometry quarters = Shipped("QuarterRing16.ini");
    ASSERT_EQ(quarters.pads.size(), 16u);
    EXPECT_EQ(quarters.pads[0].shape, PadShape::QuarterRing);
    EXPECT_EQ(quarters.surfaceIndex, -1);

    const MembraneGeometry square = Shipped("Square36.ini");
    EXPECT_TRUE(square.square);
    EXPECT_EQ(square.pads[0].shape, PadShape::Rectangle);
    EXPECT_DOUBLE_EQ(square.pads[0].height, 0.0022);
}

TEST(MembraneGeometry, VoltagesFollowTheDisplayNumbers) {
    IniFile ini;
    ASSERT_TRUE(ini.Load(std::string(OSTRANDER_SOURCE_DIR) + "/Devices/Hex19.ini"));
    DMInfoClass dm;
    ASSERT_TRUE(dm.Load(ini));
    dm.ApplyMapText("1 6\n6 0\n");
    const std::vector<double> volts =
        VoltagesByModelIndex(dm, [](int displayIndex) { return 10.0 * displayIndex; });
    ASSERT_EQ(volts.size(), 19u);
    EXPECT_EQ(volts[0], 70.0); // actuator 1 shows as number 7
    EXPECT_EQ(volts[5], 10.0); // actuator 6 as number 1
    EXPECT_EQ(volts[1], 20.0);
}

TEST(MembraneGeometry, EveryShippedMirrorSolves) {
    for (const char* file : {"Hex19.ini", "Hex37.ini", "Hex61S.ini", "Ring7.ini",
                             "QuarterRing16.ini", "Small9.ini", "Square36.ini"}) {
        SCOPED_TRACE(file);
        const MembraneGeometry g = Shipped(file);
        const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
        ASSERT_TRUE(model.IsValid()) << model.Problem();
        std::vector<double> volts(g.pads.size(), 100.0);
        if (g.surfaceIndex >= 0)
            volts[static_cast<std::size_t>(g.surfaceIndex)] = 0;
        const std::vector<double> z = model.LinearSurface(volts);
        EXPECT_GT(Peak(z), 0.0);
        for (double v : z)
            ASSERT_LE(v, 0.0); // every pad pulls towards the electrodes
    }
}

} // namespace
} // namespace ostrander
