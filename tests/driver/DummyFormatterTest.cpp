#include "driver/DriverClass.h"
#include "driver/DummyFormatterClass.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace ostrander;

namespace {

std::vector<std::uint8_t> Bytes(DriverClass& d) {
    return std::vector<std::uint8_t>(d.GetBuffer(), d.GetBuffer() + d.GetBufferLength());
}

} // namespace

TEST(DummyFormatter, ValueLandsAtItsByteOffsetLittleEndian) {
    DriverClass d(4);
    d.SetBankCount(2);
    ASSERT_EQ(d.GetBufferLength(), 64);
    DriverFormatterClass* f = d.GetFormatter();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetName(), "Dummy");
    EXPECT_EQ(f->GetBytesPerValue(), 8);

    // 1.5 is 0x3FF8000000000000.
    f->Store(1.5, 1, 1);
    const std::array<std::uint8_t, 8> expected = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
    std::vector<std::uint8_t> bytes = Bytes(d);
    for (int i = 0; i < 64; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bytes[i], (i >= 40 && i < 48) ? expected[i - 40] : 0);
    }
    EXPECT_EQ(f->Read(1, 1), 1.5);
    EXPECT_EQ(f->Read(1, 0), 0.0);
    EXPECT_EQ(f->Read(5, 0), 1.5); // same offset as (1, 1)

    // The two-argument forms work on bank 0.
    f->Store(-2.25, 3);
    EXPECT_EQ(d.Get(3, 0), -2.25);
    EXPECT_EQ(f->Read(3), -2.25);
}

TEST(DummyFormatter, StoresOutsideTheBufferAreIgnoredAndReadAsZero) {
    DriverClass d(4);
    DriverFormatterClass* f = d.GetFormatter();
    const std::vector<std::uint8_t> before = Bytes(d);
    struct Case {
        int channel, bank;
    } cases[] = {{4, 0}, {0, 1}, {-1, 0}, {0, -1}, {1 << 30, 1 << 30}, {-(1 << 30), 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channel << "," << c.bank);
        f->Store(7.0, c.channel, c.bank);
        EXPECT_EQ(Bytes(d), before);
        EXPECT_EQ(f->Read(c.channel, c.bank), 0.0);
    }
}

TEST(DummyFormatter, WithoutChannelsNothingIsStored) {
    DriverClass d(0);
    EXPECT_EQ(d.GetBufferLength(), 0);
    d.GetFormatter()->Store(5.0, 0, 0);
    EXPECT_EQ(d.GetFormatter()->Read(0, 0), 0.0);
}

TEST(DummyFormatter, ReadsBackBitForBit) {
    DriverClass d(2);
    DriverFormatterClass* f = d.GetFormatter();
    const double values[] = {0.0,
                             -0.0,
                             0.1,
                             349.99999999999994,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity(),
                             std::bit_cast<double>(std::uint64_t{0x7FF8000000000123})};
    for (double v : values) {
        SCOPED_TRACE(v);
        f->Store(v, 1, 0);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(f->Read(1, 0)), std::bit_cast<std::uint64_t>(v));
    }
}

TEST(DummyFormatter, BankReadsMatchSingleReadsBitForBit) {
    // Three channels on two banks, read a bank at a time, beyond the channels
    // and beyond the banks: each value as Read gives it, 0 V outside.
    DriverClass d(3);
    d.SetBankCount(2);
    DriverFormatterClass* f = d.GetFormatter();
    const double values[2][3] = {{-0.0, 349.99999999999994, 5e-324}, {0.1, -7.5, 350.0}};
    for (int b = 0; b < 2; ++b)
        for (int c = 0; c < 3; ++c)
            f->Store(values[b][c], c, b);
    for (int bank : {0, 1, 2, -1}) {
        SCOPED_TRACE(bank);
        std::vector<double> out(5, 99.0);
        d.GetBank(bank, out.data(), static_cast<int>(out.size()));
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(out[static_cast<std::size_t>(c)]),
                      std::bit_cast<std::uint64_t>(f->Read(c, bank)))
                << "channel " << c;
    }
    std::vector<double> none(1, 99.0);
    DriverClass empty(0);
    empty.GetBank(0, none.data(), 1);
    EXPECT_EQ(none[0], 0.0);
}
