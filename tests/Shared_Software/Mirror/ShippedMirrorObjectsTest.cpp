// Every mirror info file shipped in Devices/ makes a valid mirror whose
// display numbers, channels and rules work.
#include "MirrorCheck.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace ostrander;
using namespace ostrander::testing_support;

TEST(ShippedMirrorObjects, EveryDeviceFileMakesAWorkingMirror) {
    // Any existing folder beside the shipped device folder serves as the
    // program folder.
    SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(OSTRANDER_SOURCE_DIR) + "/Devices"))
        if (entry.path().extension() == ".ini")
            names.push_back(entry.path().filename().string());
    ASSERT_FALSE(names.empty());

    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        MirrorClass m(std::string(DeviceFolderRelative) + name);
        ASSERT_TRUE(m.IsValid());
        const int n = m.GetModelActuators();
        EXPECT_GT(n, 0);
        EXPECT_EQ(m.GetChannelCount(), n);
        EXPECT_EQ(m.GetActuatorCount(), n);
        EXPECT_GT(m.GetLimitVoltage(), 0.0);
        const int surface = m.GetSurfaceChannel();

        // Display numbers 1..n reach n distinct channels 0..n-1.
        std::set<int> channels;
        for (int i = 1; i <= n; ++i) {
            ASSERT_TRUE(m.SetVoltage(i, 1.0 + (i % 3))) << "display number " << i;
            for (int c = 0; c < n; ++c)
                if (m.GetDriver()->Get(c, 0) != 0.0 && channels.insert(c).second)
                    break;
            m.ZeroAll();
        }
        EXPECT_EQ(channels.size(), static_cast<size_t>(n));
        EXPECT_EQ(*channels.rbegin(), n - 1);

        VoltageListClass list;
        m.ReadVoltages(list);
        EXPECT_EQ(list.Count(), n);
        m.SetAllActuators(m.GetLimitVoltage() * 2);
        ExpectConsistent(m, surface);
        EXPECT_LE(m.GetMeanVoltage(0), m.GetLimitVoltage() + 1e-9);
        if (surface < 0) {
            EXPECT_NEAR(m.GetMeanVoltage(0), m.GetLimitVoltage(), 1e-9);
        }
    }
}
