#include "tools/samples/SamplePatterns.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "model/DMModelLocal.h"
#include "model/ExactMembrane.h"
#include "model/MembraneGeometry.h"
#include "model/PullIn.h"
#include "support/TempFolder.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

using testing_support::ReadWhole;

const std::string Devices = std::string(OSTRANDER_SOURCE_DIR) + "/Devices";

std::vector<std::string> ShippedSets() {
    std::vector<std::string> sets;
    for (const std::string& name : ListFiles(Devices, "*_Patterns*.pat"))
        sets.push_back(name);
    return sets;
}

// The mirror info file a shipped set belongs to.
std::string MirrorFileOf(const std::string& set) {
    return set.substr(0, set.find("_Patterns")) + ".ini";
}

// The mirrors of Devices/, each with a sample set.
const std::vector<std::string> kMirrors = {"Hex19.ini",         "Hex37.ini", "Hex61S.ini",
                                           "QuarterRing16.ini", "Ring7.ini", "Small9.ini",
                                           "Square36.ini"};

// The shipped set of a mirror info file.
std::unique_ptr<PatternClass> ShippedSetOf(const std::string& infoFile) {
    return std::make_unique<PatternClass>(Devices + "/" + infoFile.substr(0, infoFile.size() - 4) +
                                          "_Patterns.pat");
}

// The volts of pattern p by display number - 1.
std::vector<double> VoltsOf(const PatternClass& set, int p, int actuators) {
    auto list = set.GetPatternVoltages(p);
    std::vector<double> volts(actuators, 0.0);
    for (const VoltageListEntry* e = list->First(); e != nullptr; e = e->next)
        if (e->Actuator >= 1 && e->Actuator <= actuators)
            volts[e->Actuator - 1] = e->Voltage;
    return volts;
}

using testing_support::TempFolder;

} // namespace

// The shipped sets as the generator writes them, with the voltages taken
// from the shipped files: names, their order, the set's header, both file
// versions of the first mirror. What the fits give is checked below.
TEST(SamplePatterns, ShippedSetsAreWrittenAsTheGeneratorWritesThem) {
    TempFolder out("ostrander-samples");
    std::vector<std::string> made;
    const auto written = WriteSamplePatterns(
        Devices, out.Path().string(),
        [&](const std::string& infoFile,
            const MirrorInfoClass& info) -> std::unique_ptr<PatternClass> {
            made.push_back(infoFile);
            const std::unique_ptr<PatternClass> shipped = ShippedSetOf(infoFile);
            const std::optional<SamplePlan> plan = PlanOfSet(*shipped);
            if (!plan) {
                ADD_FAILURE() << infoFile << ": a shipped name is not a sample shape's";
                return nullptr;
            }
            int next = 0;
            return MakeSamplePatterns(info, *plan, [&](const SampleShape&, double) {
                return std::optional(VoltsOf(*shipped, next++, info.Model->Actuators));
            });
        });
    EXPECT_EQ(made, kMirrors);
    EXPECT_EQ(written, ShippedSets());
    for (const std::string& name : written) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadWhole(out.Path() / name), ReadWhole(fs::path(Devices) / name))
            << "regenerate with: make_sample_patterns Devices";
    }
}

class SampleRegeneration : public ::testing::TestWithParam<std::string> {};

// Fitted again from the shapes its names give, a mirror's set comes out
// byte for byte, about the bias the generator's rule chooses. (The search
// for the largest amplitudes, some two hundred fits, is left to the
// generator.) A set takes 3 to 12 s of fits in an optimised build and ten
// times that unoptimised, so unoptimised builds (Debug, the sanitizers)
// skip it; the checks on every shipped pattern below run in every build.
TEST_P(SampleRegeneration, FitsGiveTheShippedSetByteForByte) {
#ifndef __OPTIMIZE__
    GTEST_SKIP() << "the fits take minutes without optimisation";
#endif
    const std::string mirrorFile = GetParam();
    TempFolder out("ostrander-samples");
    const auto written = WriteSamplePatterns(
        Devices, out.Path().string(),
        [&](const std::string& infoFile,
            const MirrorInfoClass& info) -> std::unique_ptr<PatternClass> {
            std::unique_ptr<PatternClass> shipped = ShippedSetOf(infoFile);
            if (infoFile != mirrorFile)
                return shipped;
            const std::optional<SamplePlan> plan = PlanOfSet(*shipped);
            SampleMirror mirror;
            std::string error;
            if (!plan || !mirror.Load(infoFile, error)) {
                ADD_FAILURE() << error;
                return nullptr;
            }
            EXPECT_EQ(plan->bias, mirror.ChosenBias());
            return MakeSamplePatterns(info, *plan, [&](const SampleShape& shape, double bias) {
                std::string why;
                auto volts = mirror.Volts(shape, bias, &why);
                EXPECT_TRUE(volts.has_value()) << SampleShapeName(shape, bias) << ": " << why;
                return volts;
            });
        });
    ASSERT_FALSE(written.empty());
    const std::string stem = mirrorFile.substr(0, mirrorFile.size() - 4);
    int compared = 0;
    for (const std::string& name : written)
        if (name.rfind(stem + "_", 0) == 0) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ReadWhole(out.Path() / name), ReadWhole(fs::path(Devices) / name))
                << "regenerate with: make_sample_patterns Devices";
            ++compared;
        }
    EXPECT_GE(compared, 1);
}

INSTANTIATE_TEST_SUITE_P(Devices, SampleRegeneration, ::testing::ValuesIn(kMirrors),
                         [](const auto& info) {
                             return info.param.substr(0, info.param.size() - 4);
                         });

// What the generator leaves out: an amplitude past the pull-in margin, a
// term the pads cannot make. (Optimised builds only, as the refitting.)
TEST(SamplePatterns, GeneratorRefusesShapesPastPullInOrBeyondThePads) {
#ifndef __OPTIMIZE__
    GTEST_SKIP() << "the fits take minutes without optimisation";
#endif
    SetProgramFolder(Devices);
    SampleMirror rings;
    std::string error;
    ASSERT_TRUE(rings.Load("Ring7.ini", error)) << error;
    const double bias = rings.ChosenBias();
    EXPECT_EQ(bias, 100);
    const std::optional<std::vector<double>> flat = rings.Volts({}, bias);
    ASSERT_TRUE(flat.has_value());
    EXPECT_EQ(*flat, std::vector<double>(7, bias));
    EXPECT_GE(rings.PullInFactor(*flat), kPullInMargin);
    // Seven rings in a hexagon make no astigmatism of their own.
    std::string why;
    EXPECT_FALSE(rings.Volts({6, 0.05e-6}, bias, &why).has_value());
    EXPECT_TRUE(why.find("other terms") != std::string::npos ||
                why.find("achieved") != std::string::npos)
        << why;

    // Four times the shipped focus on the 19-pad mirror: the membrane
    // would snap down.
    SampleMirror hex;
    ASSERT_TRUE(hex.Load("Hex19.ini", error)) << error;
    EXPECT_FALSE(hex.Volts({4, 1e-6}, hex.ChosenBias(), &why).has_value());
    EXPECT_NE(why.find("pull"), std::string::npos) << why;
}

TEST(SamplePatterns, ShapeNamesReadBackAsTheirShapes) {
    const std::vector<std::pair<SampleShape, std::string>> cases = {
        {{0, 0.0}, "Flat at 70 V"},
        {{4, -0.5e-6}, "Focus -0.50 um RMS"},
        {{4, 0.25e-6}, "Focus +0.25 um RMS"},
        {{2, 1e-6}, "Tilt X +1.00 um RMS"},
        {{3, 0.1e-6}, "Tilt Y +0.10 um RMS"},
        {{6, 0.25e-6}, "Astigmatism 0 deg +0.25 um RMS"},
        {{5, 0.05e-6}, "Astigmatism 45 deg +0.05 um RMS"},
        {{8, 0.1e-6}, "Coma X +0.10 um RMS"},
        {{7, 0.1e-6}, "Coma Y +0.10 um RMS"}};
    for (const auto& [shape, name] : cases) {
        EXPECT_EQ(SampleShapeName(shape, 70), name);
        double bias = 0;
        const std::optional<SampleShape> back = ParseSampleShapeName(name, &bias);
        ASSERT_TRUE(back.has_value()) << name;
        EXPECT_EQ(back->noll, shape.noll) << name;
        EXPECT_NEAR(back->amplitude, shape.amplitude, 1e-15) << name;
        if (shape.noll == 0)
            EXPECT_EQ(bias, 70);
    }
    for (const char* other :
         {"Flat", "Focus 1", "Focus +0.5 um RMS", "Focus +0.50 um", "Tilt Z +0.10 um RMS",
          "Flat at 70 V!", "Focus +0.00 um RMS", "Coma X +0.10 um RMS x"})
        EXPECT_FALSE(ParseSampleShapeName(other).has_value()) << other;
}

TEST(SamplePatterns, EachSetSuitsItsMirrorAndTheMirrorTakesItUnchanged) {
    SetProgramFolder(Devices);
    int versionTwo = 0;
    for (const std::string& name : ShippedSets()) {
        SCOPED_TRACE(name);
        PatternClass set(Devices + "/" + name);
        ASSERT_TRUE(set.IsValid());
        const std::string version =
            IniFile(Devices + "/" + name).ReadString("FileInformation", "FileVersion", "");
        versionTwo += version == "2.0";
        EXPECT_TRUE(version == "1.0" || version == "2.0");

        // The flat at the bias first, then focus of both signs, then
        // further shapes, each named once.
        const std::optional<SamplePlan> plan = PlanOfSet(set);
        ASSERT_TRUE(plan.has_value());
        ASSERT_GE(plan->shapes.size(), 5u);
        EXPECT_EQ(plan->shapes[0].noll, 0);
        EXPECT_GT(plan->bias, 0);
        int negative = 0, positive = 0;
        for (std::size_t k = 1; k < plan->shapes.size(); ++k) {
            const SampleShape& shape = plan->shapes[k];
            EXPECT_NE(shape.noll, 0);
            negative += shape.noll == 4 && shape.amplitude < 0;
            positive += shape.noll == 4 && shape.amplitude > 0;
            for (std::size_t j = 0; j < k; ++j)
                EXPECT_FALSE(plan->shapes[j] == shape) << k;
        }
        EXPECT_GE(negative, 2);
        EXPECT_GE(positive, 2);

        MirrorClass mirror(MirrorFileOf(name));
        ASSERT_TRUE(mirror.IsValid());
        EXPECT_EQ(set.GetVoltageCount(), mirror.GetModelActuators());
        const DMInfoClass& model = *mirror.GetInfo()->Model;
        for (int p = 0; p < set.GetPatternCount(); ++p) {
            SCOPED_TRACE(set.FindPattern(p)->PatternName);
            auto volts = set.GetPatternVoltages(p);
            ASSERT_TRUE(mirror.ApplyVoltageList(volts.get(), 0));
            for (const VoltageListEntry* e = volts->First(); e != nullptr; e = e->next) {
                EXPECT_DOUBLE_EQ(mirror.GetVoltage(e->Actuator), e->Voltage) << e->Actuator;
                EXPECT_EQ(std::round(e->Voltage * 10) / 10, e->Voltage) << e->Actuator;
            }
            EXPECT_LE(mirror.GetMeanVoltage(0), mirror.GetLimitVoltage() + 1e-9);
            mirror.ZeroAll();
        }

        // Every driven pad of the flat is at the bias; a tilt pulls harder
        // on the side it goes down to: the added pull (V^2 - bias^2) grows
        // along its axis (least-squares slope over the driven pads).
        const std::vector<double> flat = VoltsOf(set, 0, model.Actuators);
        for (int p = 0; p < set.GetPatternCount(); ++p) {
            const std::optional<SampleShape> shape =
                ParseSampleShapeName(set.FindPattern(p)->PatternName);
            ASSERT_TRUE(shape.has_value());
            if (shape->noll != 2 && shape->noll != 3)
                continue;
            const std::vector<double> volts = VoltsOf(set, p, model.Actuators);
            double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
            for (int d = 1; d <= model.Actuators; ++d) {
                const DmActuatorInfoClass* a = model.FindByDisplayIndex(d);
                if (a == nullptr || a->Auxilary || a->Surface)
                    continue;
                EXPECT_EQ(flat[d - 1], plan->bias) << d;
                const double x = shape->noll == 2 ? a->X : a->Y;
                const double y = volts[d - 1] * volts[d - 1] - plan->bias * plan->bias;
                n += 1, sx += x, sy += y, sxx += x * x, sxy += x * y;
            }
            ASSERT_GT(n, 2);
            EXPECT_LT((n * sxy - sx * sy) / (n * sxx - sx * sx), 0)
                << set.FindPattern(p)->PatternName;
        }
    }
    EXPECT_GE(versionTwo, 1);
}

namespace {

// Least-squares coefficients of Noll terms 1 .. 8 (piston, tilts, focus,
// astigmatisms, comas; m RMS) of a surface on the engine grid over the disc
// of radius `beam`, by the normal equations.
std::vector<double> LowOrderTerms(const std::vector<double>& surface, const EngineGrid& grid,
                                  double beam) {
    constexpr int kTerms = 8;
    double a[kTerms][kTerms + 1] = {};
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j) {
            const double x = grid.X(i) / beam, y = grid.X(j) / beam;
            const double r2 = x * x + y * y;
            if (r2 >= 1)
                continue;
            const double coma = std::sqrt(8.0) * (3 * r2 - 2);
            const double z[kTerms] = {1,
                                      2 * x,
                                      2 * y,
                                      std::sqrt(3.0) * (2 * r2 - 1),
                                      std::sqrt(6.0) * 2 * x * y,
                                      std::sqrt(6.0) * (x * x - y * y),
                                      coma * y,
                                      coma * x};
            const double s = surface[static_cast<std::size_t>(i) * grid.n + j];
            for (int r = 0; r < kTerms; ++r) {
                for (int c = 0; c < kTerms; ++c)
                    a[r][c] += z[r] * z[c];
                a[r][kTerms] += z[r] * s;
            }
        }
    for (int c = 0; c < kTerms; ++c) // Gauss-Jordan; the matrix is well conditioned
        for (int r = 0; r < kTerms; ++r)
            if (r != c) {
                const double f = a[r][c] / a[c][c];
                for (int k = c; k <= kTerms; ++k)
                    a[r][k] -= f * a[c][k];
            }
    std::vector<double> terms(kTerms);
    for (int r = 0; r < kTerms; ++r)
        terms[r] = a[r][kTerms] / a[r][r];
    return terms;
}

} // namespace

// Every shipped pattern, on the exact membrane (equilibria solved here):
// scaled up by 1.2 it still has an equilibrium, and its change from the
// flat at the bias carries the named term with the named sign and about
// the named amplitude (least squares over the beam). Focus of both signs
// is there on every mirror.
class ShippedSampleSet : public ::testing::TestWithParam<std::string> {};

TEST_P(ShippedSampleSet, EveryPatternIsItsNamedShapeClearOfPullIn) {
    SetProgramFolder(Devices);
    {
        const std::string name = GetParam();
        PatternClass set(Devices + "/" + name);
        ASSERT_TRUE(set.IsValid());
        MirrorInfoClass info(MirrorFileOf(name));
        ASSERT_TRUE(info.IsValid());
        const DMInfoClass& model = *info.Model;
        const EngineGrid grid = EngineGrid::ForDiameter(model.Diameter_m);
        const ExactMembrane membrane(MembraneGeometryFromModel(model), grid);
        const double beam = model.Diameter_m * DMModelLocal().BeamFraction / 2;
        std::vector<double> flat;
        int focus = 0;
        for (int p = 0; p < set.GetPatternCount(); ++p) {
            const std::string patternName = set.FindPattern(p)->PatternName;
            SCOPED_TRACE(patternName);
            const std::optional<SampleShape> shape = ParseSampleShapeName(patternName);
            ASSERT_TRUE(shape.has_value());
            const std::vector<double> volts = VoltsOf(set, p, model.Actuators);
            // The driver holds nothing below the 0.1 V floor.
            PullInResult r = SolvePullIn(membrane, VoltagesByModelIndex(model, [&](int d) {
                                             return std::max(volts[d - 1], 0.1);
                                         }));
            ASSERT_EQ(r.status, PullInResult::Status::Equilibrium);
            EXPECT_GT(r.pullInFactor, kSamplePullInFactor);
            if (shape->noll == 0) {
                ASSERT_EQ(p, 0);
                flat = std::move(r.surface);
                continue;
            }
            ASSERT_EQ(r.surface.size(), flat.size());
            for (std::size_t k = 0; k < flat.size(); ++k)
                r.surface[k] -= flat[k];
            const double achieved = LowOrderTerms(r.surface, grid, beam)[shape->noll - 1];
            EXPECT_GT(achieved * shape->amplitude, 0) << achieved;
            EXPECT_NEAR(achieved, shape->amplitude, 0.15 * std::fabs(shape->amplitude));
            focus += shape->noll == 4;
        }
        EXPECT_GE(focus, 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, ShippedSampleSet, ::testing::ValuesIn(ShippedSets()),
                         [](const auto& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
                             return name;
                         });
