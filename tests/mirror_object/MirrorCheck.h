#pragma once
// Independent checks of a mirror's state against what its driver holds.
#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "toolkit/Format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrander::testing_support {

// Mean over display numbers 1 .. Actuators of (voltage - surface voltage),
// from the driver directly; display number i is channel i - 1.
inline double ExpectedMean(MirrorClass& m, int surfaceChannel) {
    DriverClass* d = m.GetDriver();
    const int n = m.GetModelActuators();
    if (n <= 0)
        return 0.0;
    const double s = surfaceChannel >= 0 ? d->Get(surfaceChannel, 0) : 0.0;
    double sum = 0.0;
    for (int c = 0; c < n; ++c)
        sum += d->Get(c, 0) - s;
    return std::fabs(sum / n);
}

// Texts, colours, means and surface voltage agree with the driver.
inline void ExpectConsistent(MirrorClass& m, int surfaceChannel) {
    DriverClass* d = m.GetDriver();
    ASSERT_NE(d, nullptr);
    for (int i = 1; i <= m.GetModelActuators(); ++i) {
        const double v = d->Get(i - 1, 0);
        SCOPED_TRACE(::testing::Message() << "display number " << i << " at " << v << " V");
        EXPECT_EQ(m.GetVoltage(i), v);
        EXPECT_EQ(m.GetVoltageText(i), FormatFloat("0", v) + "V");
        EXPECT_EQ(m.GetVoltageColour(i), ScaleColor(v, d->GetMinVoltage(), d->GetMaxVoltage()));
    }
    EXPECT_NEAR(m.GetMeanVoltage(0), ExpectedMean(m, surfaceChannel), 1e-9);
    EXPECT_EQ(m.GetSurfaceVoltage(0), surfaceChannel >= 0 ? d->Get(surfaceChannel, 0) : 0.0);
}

} // namespace ostrander::testing_support
