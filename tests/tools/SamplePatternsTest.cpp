#include "tests/tools/SamplePatterns.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

const std::string Devices = std::string(OSTRANDER_SOURCE_DIR) + "/Devices";

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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

} // namespace

TEST(SamplePatterns, ShippedFilesAreWhatTheGeneratorWrites) {
    const fs::path out =
        fs::temp_directory_path() / ("ostrander_samples_" + std::to_string(::getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    const auto written = WriteSamplePatterns(Devices, out.string());
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(written.size(), ShippedSets().size());
    for (const std::string& name : written) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadText(out / name), ReadText(fs::path(Devices) / name))
            << "regenerate with: make_sample_patterns Devices";
    }
    fs::remove_all(out);
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
        EXPECT_EQ(set.GetPatternNames(),
                  (std::vector<std::string>{"Flat", "Focus 1", "Focus 2", "Focus 3", "Focus 4",
                                            "Tilt X", "Tilt Y", "Astigmatism", "None"}));

        MirrorClass mirror(MirrorFileOf(name));
        ASSERT_TRUE(mirror.IsValid());
        EXPECT_EQ(set.GetVoltageCount(), mirror.GetModelActuators());
        const DMInfoClass& model = *mirror.GetInfo()->Model;
        for (int p = 0; p < set.GetPatternCount(); ++p) {
            SCOPED_TRACE(set.FindPattern(p)->PatternName);
            auto volts = set.GetPatternVoltages(p);
            ASSERT_TRUE(mirror.ApplyVoltageList(volts.get(), 0));
            for (const VoltageListEntry* e = volts->First(); e != nullptr; e = e->next)
                EXPECT_DOUBLE_EQ(mirror.GetVoltage(e->Actuator), e->Voltage) << e->Actuator;
            EXPECT_LE(mirror.GetMeanVoltage(0), mirror.GetLimitVoltage() + 1e-9);
            mirror.ZeroAll();
        }

        // Tilt X: the pull (voltage squared) grows linearly with x. Fit
        // v^2 = a + b x by least squares over the driven actuators.
        auto tilt = set.GetPatternVoltages(5);
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        std::vector<std::pair<double, double>> points;
        for (const VoltageListEntry* e = tilt->First(); e != nullptr; e = e->next) {
            const DmActuatorInfoClass* a = model.FindByDisplayIndex(e->Actuator);
            if (a == nullptr || a->Auxilary || a->Surface)
                continue;
            const double y = e->Voltage * e->Voltage;
            points.emplace_back(a->X, y);
            n += 1, sx += a->X, sy += y, sxx += a->X * a->X, sxy += a->X * y;
        }
        ASSERT_GT(n, 2);
        const double b = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        const double a = (sy - b * sx) / n;
        double peak = 0;
        for (const auto& [x, y] : points)
            peak = std::max(peak, y);
        EXPECT_GT(b, 0);
        for (const auto& [x, y] : points) // within the 0.1 V rounding
            EXPECT_NEAR(y, a + b * x, 0.2 * std::sqrt(peak) + 0.01) << x;
    }
    EXPECT_GE(versionTwo, 1);
}

// Every shipped pattern has an equilibrium on the exact membrane with room
// to spare: scaled up by 1.2 it still does not snap down.
TEST(SamplePatterns, EveryShippedPatternStaysClearOfPullIn) {
    SetProgramFolder(Devices);
    for (const std::string& name : ShippedSets()) {
        SCOPED_TRACE(name);
        PatternClass set(Devices + "/" + name);
        ASSERT_TRUE(set.IsValid());
        MirrorInfoClass info(MirrorFileOf(name));
        ASSERT_TRUE(info.IsValid());
        for (int p = 0; p < set.GetPatternCount(); ++p) {
            auto list = set.GetPatternVoltages(p);
            std::vector<double> volts(info.Model->Actuators, 0.0);
            for (const VoltageListEntry* e = list->First(); e != nullptr; e = e->next)
                if (e->Actuator >= 1 && e->Actuator <= int(volts.size()))
                    volts[e->Actuator - 1] = e->Voltage;
            EXPECT_GT(SamplePullInFactor(info, volts), kSamplePullInFactor)
                << set.FindPattern(p)->PatternName;
        }
    }
}
