// The mean limit right at its edge: requests aimed at exactly the value that
// puts the mean on the limit, and a few units in the last place either side,
// after long runs of stores that leave rounding in any running total. The
// mirror must decide and cut exactly as the full sum over the display
// numbers does, to the bit; a reference of the rule here sums all channels
// on every request. Writes straight into the driver, behind the mirror's
// back, must be seen by the next request.
#include "MirrorFixture.h"
#include "Shared_Software/Mirror/MirrorClass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace ostrander;
using namespace ostrander::testing_support;

namespace {

// The voltage rules on a plain vector of channels (display number =
// channel + 1), the mean taken in full on every request.
struct ReferenceRules {
    std::vector<double> volts;
    double limit;
    int surface;
    double lowest;
    double ceiling;

    bool Request(int channel, double v) {
        v = std::max(v, lowest);
        bool met = true;
        if (v > ceiling) {
            v = ceiling;
            met = false;
        }
        const double allowed = limit > 0.0 ? limit : 0.0;
        const int n = static_cast<int>(volts.size());
        const double s = channel == surface ? v : surface < 0 ? 0.0 : volts[surface];
        double sum = 0.0;
        for (int c = 0; c < n; ++c)
            sum += (c == channel ? v : volts[c]) - s;
        const double mean = sum / n;
        if (std::fabs(mean) > allowed) {
            if (channel == surface)
                return false;
            const double present = volts[channel];
            const double bound = mean > 0.0 ? allowed : -allowed;
            v = std::clamp(v + (bound - mean) * n, std::min(present, v), std::max(present, v));
            if (v < lowest)
                return false;
        }
        volts[channel] = v;
        return met;
    }

    // The request that puts the mean on +limit or -limit exactly (as far as
    // doubles go), from the present voltages.
    double OnTheLimit(int channel, bool below) const {
        const int n = static_cast<int>(volts.size());
        double others = 0.0;
        for (int c = 0; c < n; ++c)
            if (c != channel)
                others += volts[c];
        const double s = surface < 0 ? 0.0 : volts[surface];
        return (below ? -limit : limit) * n + n * s - others;
    }
};

struct EdgeCase {
    const char* name;
    int actuators;
    double limit;
    int surfaceIndex;
    int lowest;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class MirrorLimitEdge : public DeviceFolderTest, public ::testing::WithParamInterface<EdgeCase> {};

} // namespace

TEST_P(MirrorLimitEdge, DecisionsAndCutsMatchTheFullSumToTheBit) {
    const EdgeCase& p = GetParam();
    MirrorLayout layout;
    layout.actuators = p.actuators;
    layout.limitVoltage = p.limit;
    layout.surfaceIndex = p.surfaceIndex;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    m.GetDriver()->GetInfo()->MinVoltage = p.lowest;
    ASSERT_EQ(m.GetLimitVoltage(), p.limit);
    ReferenceRules ref{std::vector<double>(static_cast<std::size_t>(p.actuators), 0.0), p.limit,
                       p.surfaceIndex, double(p.lowest), m.GetMaxVoltage()};
    const int n = p.actuators;

    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int step = 0; step < 4000; ++step) {
        const int channel = pick(0, n - 1);
        const int kind = pick(0, 9);
        double volts = 0.0;
        if (kind < 6) {
            // On the limit, or a few units in the last place off it.
            volts = ref.OnTheLimit(channel, pick(0, 3) == 0);
            for (int k = pick(-3, 3); k != 0; k += k > 0 ? -1 : 1)
                volts = std::nextafter(volts, k > 0 ? 1e9 : -1e9);
        } else if (kind < 9) {
            // Decimal steps, whose sums round.
            volts = 0.1 * pick(0, 3000);
        } else if (pick(0, 1) == 0) {
            // Behind the mirror's back: the driver takes it as it is.
            volts = 0.01 * pick(0, 20000);
            m.GetDriver()->Set(channel, 0, volts);
            ref.volts[channel] = m.GetDriver()->Get(channel, 0);
            continue;
        }
        SCOPED_TRACE(::testing::Message() << "step " << step << " channel " << channel << " volts "
                                          << volts);
        const bool expected = ref.Request(channel, volts);
        ASSERT_EQ(m.SetChannelVoltage(channel, volts, 0), expected);
        for (int c = 0; c < n; ++c)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(m.GetDriver()->Get(c, 0)),
                      std::bit_cast<std::uint64_t>(ref.volts[c]))
                << "channel " << c << ": " << m.GetDriver()->Get(c, 0) << " V, expected "
                << ref.volts[c] << " V";
    }
}

INSTANTIATE_TEST_SUITE_P(Mirrors, MirrorLimitEdge,
                         ::testing::Values(EdgeCase{"few", 4, 100.0, -1, 0},
                                           EdgeCase{"decimal_limit", 7, 33.3, -1, 0},
                                           EdgeCase{"surface", 9, 60.0, 4, 0},
                                           EdgeCase{"surface_high_lowest", 9, 20.0, 0, 15},
                                           EdgeCase{"many", 300, 150.0, -1, 0},
                                           EdgeCase{"many_surface", 257, 0.7, 100, 0},
                                           EdgeCase{"zero_limit", 5, 0.0, -1, 0},
                                           EdgeCase{"negative_limit", 5, -5.0, 2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });
