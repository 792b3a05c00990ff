#include "model/MainData.h"
#include "model/DMModelLocal.h"

#include <gtest/gtest.h>

namespace ostrander {
namespace {

TEST(MainData, StartsEmptyAndResetsToStartState) {
    MainData data;
    EXPECT_EQ(data.Surface, nullptr);
    EXPECT_EQ(data.FarField, nullptr);
    EXPECT_EQ(data.InfluenceFunctions, nullptr);
    EXPECT_EQ(data.GridSize, 0);
    EXPECT_DOUBLE_EQ(data.GridFill, 0.97);

    data.AllocateSurface(100);
    data.AllocateInfluenceFunctions(3, 100);
    data.AllocateFarField(256);
    data.GridSize = 100;
    data.IFStepReady = true;
    data.Reset();
    EXPECT_EQ(data.Surface, nullptr);
    EXPECT_EQ(data.InfluenceFunctions, nullptr);
    EXPECT_EQ(data.FarField, nullptr);
    EXPECT_EQ(data.GridRows, 0);
    EXPECT_EQ(data.IFActuatorCount, 0);
    EXPECT_EQ(data.GridSize, 0);
    EXPECT_FALSE(data.IFStepReady);
}

TEST(MainData, GridsAreZeroedAndFreedByTheirRecordedSizes) {
    MainData data;
    // A surface allocated under another size must be freed by GridRows, not
    // GridSize (the sanitizer build catches a mismatch).
    data.GridSize = 100;
    data.AllocateSurface(7);
    EXPECT_EQ(data.GridRows, 7);
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j)
            EXPECT_EQ(data.Surface[i][j], 0.0);
    data.AllocateSurface(100);
    EXPECT_EQ(data.GridRows, 100);
    data.Surface[99][99] = 1.0;

    // The store: count + 2 planes of (n + 1)^2, zeroed, freed by the
    // recorded count and size even after GridSize changed.
    data.AllocateInfluenceFunctions(2, 5);
    EXPECT_EQ(data.IFActuatorCount, 2);
    EXPECT_EQ(data.IFGridSize, 5);
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i <= 5; ++i)
            for (int j = 0; j <= 5; ++j)
                EXPECT_EQ(data.InfluenceFunctions[p][i][j], 0.0);
    data.GridSize = 100;
    data.AllocateInfluenceFunctions(1, 100);
    EXPECT_EQ(data.IFActuatorCount, 1);
    data.InfluenceFunctions[2][100][100] = 1.0;
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
    EXPECT_EQ(data.FarField[2 * 257 * 257 - 1], 0.0f);
}

TEST(DMModelLocal, DefaultsAndArrays) {
    DMModelLocal local;
    EXPECT_EQ(local.MirrorIndex, -1);
    EXPECT_EQ(local.MirrorInfo, nullptr);
    EXPECT_EQ(local.Mirror, nullptr);
    EXPECT_FALSE(local.DisplaysValid);
    EXPECT_EQ(local.ActuatorVoltages, nullptr);
    EXPECT_FALSE(local.RemoveFocus);
    EXPECT_EQ(local.FarFieldZoom, 1);
    EXPECT_DOUBLE_EQ(local.BeamFraction, 0.8);
    EXPECT_DOUBLE_EQ(local.FocusAdjust, 0.0);

    local.SelectMirror(3, nullptr, nullptr, 4);
    EXPECT_EQ(local.MirrorIndex, 3);
    ASSERT_EQ(local.ActuatorVoltageCount, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(local.ActuatorVoltages[i], 0.0);
    local.SelectMirror(4, nullptr, nullptr, 0);
    EXPECT_EQ(local.ActuatorVoltages, nullptr);
}

} // namespace
} // namespace ostrander
