#include "driver/DriverClass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

using namespace ostrander;

namespace {

// Records what the driver asks of its port.
struct Calls {
    std::vector<std::pair<int, int>> channels; // (channel, bank)
    std::vector<int> banks;
    int updates = 0;
    std::vector<double> voltsAtSend; // the driver's value when the channel was sent
};

class RecordingInterface : public DriverInterfaceClass {
public:
    RecordingInterface(Calls& calls, DriverClass*& driver) : calls_(calls), driver_(driver) {}
    bool SendChannel(int channel, int bank) override {
        calls_.channels.emplace_back(channel, bank);
        calls_.voltsAtSend.push_back(driver_->Get(channel, bank));
        return true;
    }
    bool SendBank(int bank) override {
        calls_.banks.push_back(bank);
        return true;
    }
    void Update() override { ++calls_.updates; }

private:
    Calls& calls_;
    DriverClass*& driver_;
};

} // namespace

TEST(Driver, NewDriverHasAZeroedBufferAndDefaults) {
    DriverClass d(37);
    EXPECT_TRUE(d.IsValid());
    EXPECT_EQ(d.GetChannelCount(), 37);
    EXPECT_EQ(d.GetBankCount(), 1);
    EXPECT_EQ(d.GetBytesPerValue(), 8);
    EXPECT_EQ(d.GetBytesPerBank(), 296);
    ASSERT_EQ(d.GetBufferLength(), 296);
    for (long long i = 0; i < d.GetBufferLength(); ++i)
        ASSERT_EQ(d.GetBuffer()[i], 0) << i;
    for (int c = 0; c < 37; ++c)
        EXPECT_EQ(d.Get(c, 0), 0.0);
    EXPECT_EQ(d.GetMaxVoltage(), 350.0);
    EXPECT_EQ(d.GetMinVoltage(), 0);
    EXPECT_EQ(d.GetName(), "");
    EXPECT_TRUE(d.GetOutputHold());
    ASSERT_NE(d.GetInfo(), nullptr);
    EXPECT_FALSE(d.GetInfo()->IsValid());
    EXPECT_EQ(d.GetInfo()->DeviceName, "NA");
}

TEST(Driver, LowestVoltageIsTheInfosCutToWholeVolts) {
    DriverClass d(1);
    struct Case {
        double info;
        int expected;
    } cases[] = {
        {12.9, 12}, {-3.7, -3}, {1e300, std::numeric_limits<int>::max()}, {std::nan(""), 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.info);
        d.GetInfo()->MinVoltage = c.info;
        EXPECT_EQ(d.GetMinVoltage(), c.expected);
    }
}

TEST(Driver, SetStoresUpToTheCeiling) {
    DriverClass d(4);
    struct Case {
        double volts;
        bool result;
        double stored;
    } cases[] = {
        {0.0, true, 0.0},
        {123.4, true, 123.4},
        {350.0, true, 350.0},
        {351.0, false, 350.0},
        {-20.0, true, -20.0}, // no lower bound in the driver
        {std::numeric_limits<double>::infinity(), false, 350.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volts);
        d.Set(2, 0, 1.0);
        EXPECT_EQ(d.Set(2, 0, c.volts), c.result);
        EXPECT_EQ(d.Get(2, 0), c.stored);
    }
}

TEST(Driver, RefusedSetsStoreNothing) {
    DriverClass d(4);
    d.SetBankCount(2);
    for (int b = 0; b < 2; ++b)
        for (int c = 0; c < 4; ++c)
            d.Set(c, b, 10.0 * b + c);
    const std::vector<std::uint8_t> before(d.GetBuffer(), d.GetBuffer() + d.GetBufferLength());
    struct Case {
        int channel, bank;
        double volts;
    } cases[] = {{-1, 0, 1.0},         {4, 0, 1.0},
                 {0, -1, 1.0},         {0, 2, 1.0},
                 {4, 0, 400.0}, // out of range even above the ceiling
                 {0, 0, std::nan("")}, {0, 0, -std::numeric_limits<double>::infinity()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channel << "," << c.bank << "," << c.volts);
        EXPECT_FALSE(d.Set(c.channel, c.bank, c.volts));
        EXPECT_EQ(std::vector<std::uint8_t>(d.GetBuffer(), d.GetBuffer() + d.GetBufferLength()),
                  before);
    }
}

TEST(Driver, SendsReportFalseWhileHeldAndSetStillStores) {
    DriverClass d(3);
    EXPECT_FALSE(d.SendBank(0));
    EXPECT_FALSE(d.SendChannel(1, 0));
    EXPECT_FALSE(d.SetAndSend(1, 42.0));
    EXPECT_EQ(d.Get(1, 0), 42.0);
    // Without a port there is nothing to send to, held or not.
    d.SetOutputHold(false);
    EXPECT_FALSE(d.SendBank(0));
    EXPECT_FALSE(d.SetAndSend(1, 43.0));
    EXPECT_EQ(d.Get(1, 0), 43.0);
}

TEST(Driver, BankCountResizesAZeroedBuffer) {
    DriverClass d(5);
    d.Set(4, 0, 100.0);
    d.SetBankCount(2);
    EXPECT_EQ(d.GetBankCount(), 2);
    ASSERT_EQ(d.GetBufferLength(), 80);
    for (long long i = 0; i < 80; ++i)
        ASSERT_EQ(d.GetBuffer()[i], 0) << i;
    EXPECT_TRUE(d.Set(4, 1, 7.0));
    EXPECT_EQ(d.Get(4, 1), 7.0);

    struct Case {
        int asked, banks;
        long long bytes;
    } cases[] = {{0, 0, 0},
                 {-3, 0, 0},
                 {DriverClass::MaxBankCount + 1, DriverClass::MaxBankCount,
                  40LL * DriverClass::MaxBankCount},
                 {1, 1, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        d.SetBankCount(c.asked);
        EXPECT_EQ(d.GetBankCount(), c.banks);
        EXPECT_EQ(d.GetBufferLength(), c.bytes);
        EXPECT_FALSE(d.Set(0, c.banks, 1.0));
    }
}

TEST(Driver, ChannelCountsOutsideTheSupportedRangeMakeAnInvalidDriver) {
    for (int n : {-1, -100000, DriverClass::MaxChannelCount + 1, 1 << 30}) {
        SCOPED_TRACE(n);
        DriverClass d(n);
        EXPECT_FALSE(d.IsValid());
        EXPECT_EQ(d.GetChannelCount(), 0);
        EXPECT_EQ(d.GetBufferLength(), 0);
        EXPECT_FALSE(d.Set(0, 0, 1.0));
        EXPECT_EQ(d.Get(0, 0), 0.0);
    }
    DriverClass largest(DriverClass::MaxChannelCount);
    EXPECT_TRUE(largest.IsValid());
    EXPECT_EQ(largest.GetBufferLength(), 8LL * DriverClass::MaxChannelCount);
}

TEST(Driver, PortInterfaceGetsSendsUpdatesAndGeometry) {
    Calls calls;
    DriverClass* self = nullptr;
    {
        DriverClass d(3);
        self = &d;
        auto port = std::make_unique<RecordingInterface>(calls, self);
        RecordingInterface* raw = port.get();
        d.SetInterface(std::move(port));
        EXPECT_EQ(raw->GetChannelCount(), 3);
        EXPECT_EQ(raw->GetBytesPerValue(), 8);
        EXPECT_EQ(raw->GetBankCount(), 1);
        EXPECT_EQ(raw->GetBytesPerBank(), 24);

        d.SetBankCount(2);
        EXPECT_EQ(raw->GetBankCount(), 2);

        EXPECT_FALSE(d.SetAndSend(0, 5.0)); // held
        EXPECT_TRUE(calls.channels.empty());
        d.SetOutputHold(false);
        EXPECT_TRUE(d.SetAndSend(1, 5.0));
        EXPECT_TRUE(d.SendBank(1));
        EXPECT_FALSE(d.SetAndSend(2, 400.0)); // ceiling: stored but not sent
        EXPECT_EQ((calls.channels), (std::vector<std::pair<int, int>>{{1, 0}}));
        EXPECT_EQ(calls.banks, std::vector<int>{1});

        d.Control(1, 0, 0);
        EXPECT_EQ(calls.updates, 1);
        calls.channels.clear();
        calls.voltsAtSend.clear();
    }
    // Destruction drives every channel to 0 V and sends it.
    EXPECT_EQ((calls.channels), (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(calls.voltsAtSend, (std::vector<double>{0.0, 0.0, 0.0}));
}
