// Fourier modes: present only for 61/62 channels, each scaled by its own
// whole-number maximum, per object.
#include "Shared_Software/Mirror/MirrorFourierClass.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ostrander {
namespace {

TEST(MirrorFourierClass, OnlyTheSixtyOneAndSixtyTwoChannelMirrorsHaveModes) {
    for (int actuators : {0, 9, 37, 60, 63, -1}) {
        SCOPED_TRACE(actuators);
        MirrorFourierClass fourier(actuators, false);
        EXPECT_FALSE(fourier.IsValid());
        EXPECT_EQ(fourier.ChannelCount, actuators);
        for (int mode = 0; mode < MirrorFourierClass::ModeCount; ++mode) {
            EXPECT_TRUE(fourier.Modes[mode].empty());
            EXPECT_EQ(fourier.ModeMaximum[mode], 0);
        }
    }
}

TEST(MirrorFourierClass, ModesAreScaledToALargestValueOfOne) {
    for (int actuators : {61, 62}) {
        for (bool square : {false, true}) {
            SCOPED_TRACE(testing::Message() << actuators << (square ? " square" : " round"));
            MirrorFourierClass fourier(actuators, square);
            ASSERT_TRUE(fourier.IsValid());
            EXPECT_EQ(fourier.ChannelCount, actuators);
            for (int mode = 0; mode < MirrorFourierClass::ModeCount; ++mode) {
                SCOPED_TRACE(mode);
                const std::vector<double>& values = fourier.Modes[mode];
                ASSERT_EQ(values.size(), 62u);
                EXPECT_EQ(fourier.ModeMaximum[mode], 49);
                for (int i = 0; i < actuators; ++i)
                    EXPECT_DOUBLE_EQ(values[i], FourierModeTables[mode][i] / 49.0) << i;
                EXPECT_EQ(*std::max_element(values.begin(), values.begin() + actuators), 1.0);
                EXPECT_EQ(values[61], 0.0);
            }
        }
    }
}

TEST(MirrorFourierClass, TablesHoldWholeVoltsWithTheSampleHeads) {
    const double heads[12][8] = {
        {35, 35, 35, 46, 46, 46, 46, 46}, {49, 49, 49, 46, 46, 46, 46, 46},
        {46, 35, 19, 46, 49, 46, 35, 19}, {19, 0, 19, 46, 35, 19, 0, 19},
        {35, 35, 35, 49, 49, 49, 49, 49}, {49, 49, 49, 35, 35, 35, 35, 35},
        {0, 35, 49, 49, 35, 0, 35, 49},   {35, 49, 35, 35, 0, 35, 49, 35},
        {35, 35, 35, 46, 46, 46, 46, 46}, {49, 49, 49, 19, 19, 19, 19, 19},
        {46, 35, 19, 46, 0, 46, 35, 19},  {46, 0, 46, 19, 35, 46, 0, 46},
    };
    for (int mode = 0; mode < FourierModeCount; ++mode) {
        SCOPED_TRACE(mode);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(FourierModeTables[mode][i], heads[mode][i]) << i;
        double largest = 0;
        for (int i = 0; i < FourierModeLength; ++i) {
            const double v = FourierModeTables[mode][i];
            EXPECT_TRUE(v >= 0 && v <= 49 && v == static_cast<int>(v)) << i << ": " << v;
            largest = std::max(largest, v);
        }
        EXPECT_EQ(largest, 49);
        EXPECT_EQ(FourierModeTables[mode][61], 0);
    }
}

TEST(MirrorFourierClass, EveryObjectScalesItsOwnCopy) {
    MirrorFourierClass first(62, false);
    first.Modes[0][0] = 7; // a user of one object cannot disturb another
    MirrorFourierClass second(62, false);
    EXPECT_DOUBLE_EQ(second.Modes[0][0], FourierModeTables[0][0] / 49.0);
    EXPECT_EQ(FourierModeTables[0][0], 35); // the table itself stays in volts
}

} // namespace
} // namespace ostrander
