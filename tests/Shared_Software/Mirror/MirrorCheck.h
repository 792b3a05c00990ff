#pragma once
// Independent checks of a mirror's state against what its driver holds.
#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "toolkit/Format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrander::testing_support {

// Driver channel of a display number, from the model's own lookup; -1 when
// no actuator carries the number.
inline int ChannelOf(MirrorClass& m, int displayIndex) {
    const DmActuatorInfoClass* a = m.GetInfo()->Model->FindByDisplayIndex(displayIndex);
    return a ? a->Channel : -1;
}

// Bank 0 voltage of a display number, from the driver directly (0 V for none).
inline double DriverVoltage(MirrorClass& m, int displayIndex) {
    const int c = ChannelOf(m, displayIndex);
    return c >= 0 ? m.GetDriver()->Get(c, 0) : 0.0;
}

// Mean over display numbers 1 .. Actuators of (voltage - surface voltage).
inline double ExpectedMean(MirrorClass& m, int surfaceChannel) {
    DriverClass* d = m.GetDriver();
    const int n = m.GetModelActuators();
    if (n <= 0)
        return 0.0;
    const double s = surfaceChannel >= 0 ? d->Get(surfaceChannel, 0) : 0.0;
    double sum = 0.0;
    for (int i = 1; i <= n; ++i)
        sum += DriverVoltage(m, i) - s;
    return std::fabs(sum / n);
}

// Texts, colours, means and surface voltage agree with the driver.
inline void ExpectConsistent(MirrorClass& m, int surfaceChannel) {
    DriverClass* d = m.GetDriver();
    ASSERT_NE(d, nullptr);
    for (int i = 1; i <= m.GetModelActuators(); ++i) {
        const double v = DriverVoltage(m, i);
        SCOPED_TRACE(::testing::Message() << "display number " << i << " at " << v << " V");
        EXPECT_EQ(m.GetVoltage(i), v);
        EXPECT_EQ(m.GetVoltageText(i), FormatFloat("0", v) + "V");
        EXPECT_EQ(m.GetVoltageColour(i), ScaleColor(v, d->GetMinVoltage(), d->GetMaxVoltage()));
    }
    EXPECT_NEAR(m.GetMeanVoltage(0), ExpectedMean(m, surfaceChannel), 1e-9);
    EXPECT_EQ(m.GetSurfaceVoltage(0), surfaceChannel >= 0 ? d->Get(surfaceChannel, 0) : 0.0);
}

} // namespace ostrander::testing_support
