#include "model/MainData.h"
#include "model/DMModelLocal.h"

#include "tests/model/ModelFixture.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "driver/DriverClass.h"
#include "driver/DriverInterfaceClass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;

TEST(MainData, StartsEmptyAndResetsToStartState) {
    MainData data;
    EXPECT_TRUE(data.Surface.empty());
    EXPECT_TRUE(data.FarField.empty());
    EXPECT_TRUE(data.InfluenceFunctions.empty());
    EXPECT_EQ(data.GridSize, 0);
    EXPECT_DOUBLE_EQ(data.GridFill, 0.97);

    data.AllocateSurface(100);
    data.AllocateInfluenceFunctions(3, 100);
    data.AllocateFarField(256);
    data.IFSavedVoltages.assign(3, 1.0);
    data.GridSize = 100;
    data.IFStepReady = true;
    data.Reset();
    EXPECT_TRUE(data.Surface.empty());
    EXPECT_TRUE(data.InfluenceFunctions.empty());
    EXPECT_TRUE(data.FarField.empty());
    EXPECT_TRUE(data.IFSavedVoltages.empty());
    EXPECT_EQ(data.GridRows, 0);
    EXPECT_EQ(data.IFActuatorCount, 0);
    EXPECT_EQ(data.IFGridSize, 0);
    EXPECT_EQ(data.FarFieldSize, 0);
    EXPECT_EQ(data.GridSize, 0);
    EXPECT_FALSE(data.IFStepReady);
}

TEST(MainData, GridsAreZeroedAndRecordTheirSizes) {
    MainData data;
    // A surface allocated under another size keeps its own row count, so the
    // engine can tell that it does not fit GridSize.
    data.GridSize = 100;
    data.AllocateSurface(7);
    EXPECT_EQ(data.GridRows, 7);
    EXPECT_EQ(data.Surface.Rows(), 7);
    EXPECT_EQ(data.Surface.Cols(), 7);
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j)
            EXPECT_EQ(data.Surface[i][j], 0.0);
    data.Surface[6][6] = 2.0;
    data.AllocateSurface(100);
    EXPECT_EQ(data.GridRows, 100);
    EXPECT_EQ(data.Surface.at(6, 6), 0.0) << "a new surface starts at zero";
    data.Surface[99][99] = 1.0;
    data.AllocateSurface(0);
    EXPECT_TRUE(data.Surface.empty());
    EXPECT_EQ(data.GridRows, 0);

    // The store: count + 2 planes of (n + 1)^2, zeroed, with count and n
    // recorded; a later GridSize does not change them.
    data.AllocateInfluenceFunctions(2, 5);
    EXPECT_EQ(data.IFActuatorCount, 2);
    EXPECT_EQ(data.IFGridSize, 5);
    ASSERT_EQ(data.InfluenceFunctions.size(), 4u);
    for (const Grid<double>& plane : data.InfluenceFunctions) {
        ASSERT_EQ(plane.Rows(), 6);
        ASSERT_EQ(plane.Cols(), 6);
        for (int i = 0; i <= 5; ++i)
            for (int j = 0; j <= 5; ++j)
                EXPECT_EQ(plane[i][j], 0.0);
    }
    // The planes are separate: writing one leaves the others alone.
    data.InfluenceFunctions[1][2][3] = 4.0;
    EXPECT_EQ(data.InfluenceFunctions[0][2][3], 0.0);
    EXPECT_EQ(data.InfluenceFunctions[2][2][3], 0.0);

    data.GridSize = 100;
    data.AllocateInfluenceFunctions(1, 100);
    EXPECT_EQ(data.IFActuatorCount, 1);
    ASSERT_EQ(data.InfluenceFunctions.size(), 3u);
    data.InfluenceFunctions[2][100][100] = 1.0;
    EXPECT_EQ(data.InfluenceFunctions[2].at(100, 100), 1.0);

    // A negative count or size leaves no store.
    data.AllocateInfluenceFunctions(-1, 100);
    EXPECT_TRUE(data.InfluenceFunctions.empty());
    EXPECT_EQ(data.IFActuatorCount, 0);
    EXPECT_EQ(data.IFGridSize, 0);
}

TEST(MainData, FarFieldLayoutIsOneBasedInterleaved) {
    MainData data;
    data.AllocateFarField(256);
    EXPECT_EQ(data.FarFieldSize, 256);
    EXPECT_EQ(data.FarFieldIndex(1, 1), 1);
    EXPECT_EQ(data.FarFieldIndex(1, 2), 3);
    EXPECT_EQ(data.FarFieldIndex(2, 1), 2 * 256 + 1);
    EXPECT_EQ(data.FarFieldIndex(256, 256), 2 * 256 * 256 - 1);
    // The whole buffer of 2 x 257 x 257 floats is there and zeroed.
    ASSERT_EQ(data.FarField.size(), 2u * 257 * 257);
    for (float v : data.FarField)
        ASSERT_EQ(v, 0.0f);
    // No size gives no buffer.
    data.AllocateFarField(0);
    EXPECT_TRUE(data.FarField.empty());
    EXPECT_EQ(data.FarFieldSize, 0);
}

TEST(DMModelLocal, DefaultsAndArrays) {
    DMModelLocal local;
    EXPECT_EQ(local.MirrorIndex, -1);
    EXPECT_EQ(local.MirrorInfo, nullptr);
    EXPECT_EQ(local.Mirror, nullptr);
    EXPECT_FALSE(local.DisplaysValid);
    EXPECT_TRUE(local.ActuatorVoltages.empty());
    EXPECT_EQ(local.ActuatorVoltageCount, 0);
    EXPECT_FALSE(local.RemoveFocus);
    EXPECT_EQ(local.FarFieldZoom, 1);
    EXPECT_DOUBLE_EQ(local.BeamFraction, 0.8);
    EXPECT_DOUBLE_EQ(local.FocusAdjust, 0.0);
    EXPECT_TRUE(local.FarFieldPlotGrid.empty());
    EXPECT_TRUE(local.ThreeDImageGrid.empty());

    const uint64_t generation = local.MirrorGeneration;
    local.SelectMirror(3, nullptr, nullptr, 4);
    EXPECT_EQ(local.MirrorIndex, 3);
    EXPECT_EQ(local.MirrorGeneration, generation + 1);
    ASSERT_EQ(local.ActuatorVoltageCount, 4);
    ASSERT_EQ(local.ActuatorVoltages.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(local.ActuatorVoltages[i], 0.0);
    local.ActuatorVoltages[2] = 7.0;
    local.ResetActuatorVoltages(3);
    ASSERT_EQ(local.ActuatorVoltageCount, 3);
    EXPECT_EQ(local.ActuatorVoltages[2], 0.0);
    local.SelectMirror(4, nullptr, nullptr, 0);
    EXPECT_TRUE(local.ActuatorVoltages.empty());
    EXPECT_EQ(local.ActuatorVoltageCount, 0);
    local.ResetActuatorVoltages(-2);
    EXPECT_TRUE(local.ActuatorVoltages.empty());
    EXPECT_EQ(local.ActuatorVoltageCount, 0);
}

// Records, for every bank the driver sends, its largest channel magnitude.
class BankPeakPort : public DriverInterfaceClass {
public:
    BankPeakPort(DriverClass& driver, std::vector<double>& peaks)
        : driver_(driver), peaks_(peaks) {}
    bool SendChannel(int, int) override { return true; }
    bool SendBank(int bank) override {
        double peak = 0.0;
        for (int c = 0; c < driver_.GetChannelCount(); ++c)
            peak = std::max(peak, std::fabs(driver_.Get(c, bank)));
        peaks_.push_back(peak);
        return true;
    }
    void Update() override {}

private:
    DriverClass& driver_;
    std::vector<double>& peaks_;
};

TEST(DMModelLocal, TheMirrorLeavesItsChannelsAtZeroWhenReplacedOrDestroyed) {
    enum class Ending { Replaced, Released, Destroyed };
    for (Ending ending : {Ending::Replaced, Ending::Released, Ending::Destroyed}) {
        SCOPED_TRACE(static_cast<int>(ending));
        std::vector<double> peaks;
        {
            EngineHarness h;
            ModelLayout layout;
            layout.pads = {{0, 0, 1.5e-3}, {3e-3, 0, 1.5e-3}};
            ASSERT_TRUE(h.Select(layout));
            MirrorClass& mirror = *h.local.Mirror;
            ASSERT_TRUE(mirror.SetVoltage(1, 80.0));
            ASSERT_TRUE(mirror.SetVoltage(2, 40.0));
            mirror.GetDriver()->SetInterface(
                std::make_unique<BankPeakPort>(*mirror.GetDriver(), peaks));
            mirror.SetOutputHold(false);
            peaks.clear();
            if (ending == Ending::Replaced) {
                const uint64_t generation = h.local.MirrorGeneration;
                h.local.SelectMirror(5, nullptr, nullptr, 0);
                EXPECT_EQ(h.local.MirrorGeneration, generation + 1);
            } else if (ending == Ending::Released) {
                h.local.ReleaseMirror();
            }
            if (ending != Ending::Destroyed) {
                EXPECT_EQ(h.local.Mirror, nullptr);
                EXPECT_EQ(h.local.MirrorInfo, nullptr);
            }
        }
        ASSERT_FALSE(peaks.empty()) << "the mirror sent nothing as it went";
        EXPECT_EQ(peaks.back(), 0.0);
    }
}

} // namespace
} // namespace ostrander
