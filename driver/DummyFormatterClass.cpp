#include "driver/DummyFormatterClass.h"

#include "driver/DriverClass.h"
#include "toolkit/Synchronizer.h"

#include <bit>
#include <cstdint>

namespace ostrander {

namespace {
constexpr int ValueBytes = 8;
}

DummyFormatterClass::DummyFormatterClass(std::string name, DriverClass& driver)
    : DriverFormatterClass(std::move(name), driver) {
    BytesPerValue = ValueBytes;
    Initialised = true;
}

long long DummyFormatterClass::Offset(int channel, int bank) const {
    long long p = ValueBytes *
                  (static_cast<long long>(channel) + static_cast<long long>(bank) * ChannelCount);
    return p < 0 ? -1 : p;
}

void DummyFormatterClass::Store(double volts, int channel) {
    Store(volts, channel, 0);
}

void DummyFormatterClass::Store(double volts, int channel, int bank) {
    if (ChannelCount < 1)
        return;
    const long long p = Offset(channel, bank);
    WriteLock lock(Driver->GetBufferLock());
    std::uint8_t* buffer = Driver->GetBuffer();
    if (p < 0 || buffer == nullptr || p + ValueBytes > Driver->GetBufferLength())
        return;
    // Little-endian byte order whatever the host's.
    std::uint64_t bits = std::bit_cast<std::uint64_t>(volts);
    for (int i = 0; i < ValueBytes; ++i)
        buffer[p + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void DummyFormatterClass::Control(int, int, int) {}

double DummyFormatterClass::Read(int channel) {
    return Read(channel, 0);
}

double DummyFormatterClass::Read(int channel, int bank) {
    if (ChannelCount < 1)
        return 0.0;
    const long long p = Offset(channel, bank);
    ReadLock lock(Driver->GetBufferLock());
    const std::uint8_t* buffer = Driver->GetBuffer();
    if (p < 0 || buffer == nullptr || p + ValueBytes > Driver->GetBufferLength())
        return 0.0;
    std::uint64_t bits = 0;
    for (int i = 0; i < ValueBytes; ++i)
        bits |= static_cast<std::uint64_t>(buffer[p + i]) << (8 * i);
    return std::bit_cast<double>(bits);
}

} // namespace ostrander
