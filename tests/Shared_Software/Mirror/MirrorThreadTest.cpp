// Several threads setting and reading voltages at once through one mirror,
// and one driver shared the same way. Run under ThreadSanitizer (label
// `threads`); here the checks are that every snapshot taken under the
// mirror's lock is consistent and within the rules.
#include "MirrorCheck.h"
#include "MirrorFixture.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace ostrander;
using namespace ostrander::testing_support;

namespace {

class MirrorThreads : public DeviceFolderTest {};

} // namespace

TEST_F(MirrorThreads, ConcurrentRequestsKeepTheMirrorConsistent) {
    MirrorLayout layout;
    layout.actuators = 8;
    layout.limitVoltage = 90;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    constexpr int Writers = 4;
    constexpr int Steps = 1500;
    std::atomic<bool> done{false};
    std::atomic<int> snapshots{0};
    std::atomic<int> badSnapshots{0};
    std::atomic<int> badReads{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < Writers; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(100 + t);
            std::uniform_int_distribution<int> op(0, 7), display(0, 9);
            std::uniform_real_distribution<double> volts(-100.0, 500.0);
            for (int i = 0; i < Steps; ++i) {
                switch (op(rng)) {
                case 0:
                case 1:
                    m.SetVoltage(display(rng), volts(rng));
                    break;
                case 2:
                    m.SetChannelAndSend(display(rng) - 1, volts(rng), 0);
                    break;
                case 3:
                    m.SetAllChannels(volts(rng));
                    break;
                case 4: {
                    VoltageListClass list;
                    m.ReadVoltages(list);
                    if (list.Count() != 8)
                        ++badReads;
                    for (VoltageListEntry* e = list.First(); e; e = e->next)
                        e->Voltage = volts(rng);
                    m.ApplyVoltageList(&list, 0);
                    break;
                }
                case 5: {
                    const double v = m.GetVoltage(display(rng));
                    if (v < 0.0 || v > 350.0)
                        ++badReads;
                    m.GetVoltageText(display(rng));
                    m.GetMeanVoltage(0);
                    break;
                }
                case 6:
                    if (i % 100 == 0)
                        m.ZeroAll();
                    break;
                default:
                    m.SetStepSize(m.GetStepSize() + 1.0);
                    break;
                }
            }
        });
    }
    // The checker takes at least one snapshot even when the writers finish first.
    std::thread checker([&] {
        do {
            WriteLock lock(m.GetLock());
            bool ok = true;
            DriverClass* d = m.GetDriver();
            for (int i = 1; i <= 8; ++i) {
                const double v = d->Get(i - 1, 0);
                ok = ok && m.GetVoltage(i, true) == v &&
                     m.GetVoltageText(i, true) == FormatFloat("0", v) + "V";
            }
            const double mean = ExpectedMean(m, -1);
            ok = ok && std::fabs(m.GetMeanVoltage(0, true) - mean) < 1e-9 && mean <= 90.0 + 1e-9;
            if (!ok)
                ++badSnapshots;
            ++snapshots;
        } while (!done.load());
    });
    for (std::thread& t : threads)
        t.join();
    done = true;
    checker.join();

    EXPECT_GT(snapshots.load(), 0);
    EXPECT_EQ(badSnapshots.load(), 0);
    EXPECT_EQ(badReads.load(), 0);
    ExpectConsistent(m, -1);
    EXPECT_LE(ExpectedMean(m, -1), 90.0 + 1e-9);
}

TEST(DriverThreads, SetsReadsAndResizesShareTheBuffer) {
    DriverClass d(16);
    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(t);
            for (int i = 0; i < 5000; ++i) {
                const int c = static_cast<int>(rng() % 18) - 1;
                const int b = static_cast<int>(rng() % 3);
                d.Set(c, b, 10.0 * t + 1.0);
                const double v = d.Get(c, b);
                // Only values some thread stored, 0 after a resize, or nothing.
                if (v != 0.0 && v != 1.0 && v != 11.0 && v != 21.0)
                    ++badReads;
            }
        });
    }
    std::thread resizer([&] {
        for (int i = 0; !done.load() && i < 200; ++i)
            d.SetBankCount(1 + i % 3);
    });
    for (std::thread& t : threads)
        t.join();
    done = true;
    resizer.join();
    EXPECT_EQ(badReads.load(), 0);
}
