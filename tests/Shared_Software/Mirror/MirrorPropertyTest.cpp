// Random sequences of requests: whatever is asked, the driver stays within
// the lowest and highest voltage, the mean of what it holds stays within the
// limit (with and without a surface electrode), and the texts, colours and
// means always agree with the driver; batches of requests end exactly where
// the same requests one by one do.
#include "MirrorCheck.h"
#include "MirrorFixture.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace ostrander;
using namespace ostrander::testing_support;

namespace {

struct PropertyCase {
    const char* name;
    int actuators;
    double limit;
    int surfaceIndex;
    int lowest; // the driver's lowest voltage
};

void PrintTo(const PropertyCase& c, std::ostream* os) {
    *os << c.name;
}

class MirrorProperty : public DeviceFolderTest,
                       public ::testing::WithParamInterface<PropertyCase> {
protected:
    // The mirror file of a case: its actuators, limit and surface electrode.
    std::string WriteCaseMirror(const PropertyCase& p) {
        MirrorLayout layout;
        layout.actuators = p.actuators;
        layout.limitVoltage = p.limit;
        layout.surfaceIndex = p.surfaceIndex;
        return WriteMirror("m.ini", layout);
    }
};

double RandomVolts(std::mt19937& rng) {
    switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
    case 0:
        return 350.0;
    case 1:
        return 351.0;
    case 2:
        return 0.0;
    default:
        return std::uniform_real_distribution<double>(-100.0, 500.0)(rng);
    }
}

} // namespace

TEST_P(MirrorProperty, RulesHoldForAnySequenceOfRequests) {
    const PropertyCase& p = GetParam();
    MirrorClass m(WriteCaseMirror(p));
    ASSERT_TRUE(m.IsValid());
    m.GetDriver()->GetInfo()->MinVoltage = p.lowest;
    const int n = p.actuators;
    const int surface = p.surfaceIndex; // display number = channel + 1 here
    const double ceiling = m.GetMaxVoltage();

    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 rng(seed);
        m.ZeroAll();
        for (int step = 0; step < 1500; ++step) {
            const int op = std::uniform_int_distribution<int>(0, 10)(rng);
            const int display = std::uniform_int_distribution<int>(-1, n + 1)(rng);
            const int channel = std::uniform_int_distribution<int>(-1, n)(rng);
            const int bank = std::uniform_int_distribution<int>(0, 9)(rng) == 0 ? 1 : 0;
            const double volts = RandomVolts(rng);
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << step << " op " << op
                                              << " display " << display << " channel " << channel
                                              << " bank " << bank << " volts " << volts);
            const double before =
                (channel >= 0 && channel < n) ? m.GetDriver()->Get(channel, 0) : 0.0;
            bool result = false;
            switch (op) {
            case 0:
                result = m.SetVoltage(display, volts);
                break;
            case 1:
                result = m.SetChannelVoltage(channel, volts, bank);
                break;
            case 2:
                result = m.SetVoltageAndSend(display, volts);
                break;
            case 3:
                result = m.SetChannelAndSend(channel, volts, bank);
                break;
            case 4:
                m.SetAllChannels(volts);
                break;
            case 5:
                m.SetAllActuators(volts);
                break;
            case 6:
            case 7: {
                VoltageListClass list;
                const int count = std::uniform_int_distribution<int>(0, n + 1)(rng);
                for (int i = 0; i < count; ++i)
                    list.Insert(std::uniform_int_distribution<int>(0, n + 1)(rng),
                                RandomVolts(rng));
                if (op == 6)
                    m.ApplyVoltageList(&list, bank);
                else
                    m.ApplyVoltageListAndSend(&list, bank);
                break;
            }
            case 8:
                if (step % 50 == 0)
                    m.ZeroAll();
                break;
            case 9: {
                VoltageListClass list;
                m.ReadVoltages(list);
                ASSERT_EQ(list.Count(), n);
                for (VoltageListEntry* e = list.First(); e; e = e->next)
                    ASSERT_EQ(e->Voltage, m.GetVoltage(e->Actuator));
                break;
            }
            default:
                m.RecomputeMean(0);
                break;
            }

            // Every channel within the lowest and the highest voltage.
            for (int c = 0; c < n; ++c) {
                const double v = m.GetDriver()->Get(c, 0);
                ASSERT_GE(v, std::min<double>(p.lowest, 0.0)) << "channel " << c;
                ASSERT_LE(v, ceiling) << "channel " << c;
                // Only ZeroAll stores 0 V below a higher lowest voltage.
                ASSERT_TRUE(v == 0.0 || v >= p.lowest) << "channel " << c;
            }
            ASSERT_LE(ExpectedMean(m, surface), p.limit * (1 + 1e-12) + 1e-9);
            // A single request on bank 0: met requests store a value between
            // the present one and the request (apart from the lowest
            // voltage), and one that differs from the request was cut to the
            // limit; requests above the ceiling are reported unmet; refused
            // ones change nothing.
            if ((op == 1 || op == 3) && bank == 0 && channel >= 0 && channel < n) {
                const double asked = std::max(std::min(volts, ceiling), double(p.lowest));
                const double stored = m.GetDriver()->Get(channel, 0);
                if (result) {
                    ASSERT_LE(stored, std::max(asked, before) + 1e-9);
                    ASSERT_GE(stored, std::min(asked, before) - 1e-9);
                    if (stored != asked) {
                        ASSERT_NEAR(m.GetMeanVoltage(0), p.limit, 1e-9 * (1 + p.limit));
                    }
                }
                if (volts > ceiling && channel != surface) {
                    ASSERT_FALSE(result);
                }
                if (!result && volts <= ceiling) {
                    ASSERT_EQ(stored, before) << "a refused request changed the driver";
                }
            }
            ExpectConsistent(m, surface);
            if (HasFailure())
                return;
        }
    }
}

// A batch of requests (SetVoltages, SetAllChannels) leaves the mirror exactly
// as the same requests one at a time do: every bank value to the bit, the
// texts, colours and means, and the same answer. Requests that hit the
// ceiling, the lowest voltage, the mean limit and the surface electrode, and
// display numbers outside the mirror, all come up.
TEST_P(MirrorProperty, BatchesMatchTheRequestsOneByOne) {
    const PropertyCase& p = GetParam();
    const std::string file = WriteCaseMirror(p);
    MirrorClass batched(file), single(file);
    ASSERT_TRUE(batched.IsValid());
    ASSERT_TRUE(single.IsValid());
    for (MirrorClass* m : {&batched, &single}) {
        m->GetDriver()->GetInfo()->MinVoltage = p.lowest;
        m->SetBankCount(2);
    }
    const int n = p.actuators;

    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        for (int step = 0; step < 300; ++step) {
            const int bank = std::uniform_int_distribution<int>(0, 9)(rng) == 0
                                 ? std::uniform_int_distribution<int>(1, 2)(rng)
                                 : 0;
            const int count = std::uniform_int_distribution<int>(0, 2 * n)(rng);
            std::vector<std::pair<int, double>> requests;
            for (int i = 0; i < count; ++i)
                requests.emplace_back(std::uniform_int_distribution<int>(-1, n + 1)(rng),
                                      RandomVolts(rng));
            const bool all = std::uniform_int_distribution<int>(0, 7)(rng) == 0;
            const double allVolts = RandomVolts(rng);
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << step << " bank "
                                              << bank << " requests " << count
                                              << (all ? " (all channels)" : ""));
            bool fromBatch = false, fromSingles = true;
            if (all) {
                fromBatch = batched.SetAllChannels(allVolts);
                for (int c = 0; c < single.GetChannelCount(); ++c)
                    fromSingles = single.SetChannelVoltage(c, allVolts, 0) && fromSingles;
            } else {
                fromBatch = batched.SetVoltages(requests, bank);
                for (const auto& [display, volts] : requests)
                    fromSingles = single.SetVoltageOnBank(display, volts, bank) && fromSingles;
            }
            ASSERT_EQ(fromBatch, fromSingles);
            for (int b = 0; b < 2; ++b) {
                for (int c = 0; c < n; ++c)
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(batched.GetDriver()->Get(c, b)),
                              std::bit_cast<std::uint64_t>(single.GetDriver()->Get(c, b)))
                        << "bank " << b << " channel " << c;
                ASSERT_EQ(std::bit_cast<std::uint64_t>(batched.GetMeanVoltage(b)),
                          std::bit_cast<std::uint64_t>(single.GetMeanVoltage(b)))
                    << "bank " << b;
                ASSERT_EQ(batched.GetSurfaceVoltage(b), single.GetSurfaceVoltage(b)) << "bank " << b;
            }
            for (int i = 1; i <= n; ++i) {
                ASSERT_EQ(batched.GetVoltageText(i), single.GetVoltageText(i)) << "number " << i;
                ASSERT_EQ(batched.GetVoltageColour(i), single.GetVoltageColour(i)) << "number " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Mirrors, MirrorProperty,
                         ::testing::Values(PropertyCase{"plain", 6, 100.0, -1, 0},
                                           PropertyCase{"tight", 3, 20.0, -1, 0},
                                           PropertyCase{"lowest", 5, 150.0, -1, 10},
                                           PropertyCase{"surface", 5, 80.0, 2, 0},
                                           PropertyCase{"surface first", 6, 60.0, 0, 5},
                                           PropertyCase{"zero limit", 4, 0.0, -1, 0}),
                         [](const auto& info) {
                             std::string s = info.param.name;
                             std::replace(s.begin(), s.end(), ' ', '_');
                             return s;
                         });
