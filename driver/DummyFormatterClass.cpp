#include "driver/DummyFormatterClass.h"

#include "driver/DriverClass.h"
#include "toolkit/Synchronizer.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace ostrander {

namespace {
constexpr int ValueBytes = 8;

// Values are stored little-endian whatever the host's byte order; on a
// little-endian host that is a plain copy.
std::uint64_t LittleEndian(std::uint64_t bits) {
    if constexpr (std::endian::native == std::endian::little)
        return bits;
    std::uint64_t swapped = 0;
    for (int i = 0; i < ValueBytes; ++i)
        swapped |= ((bits >> (8 * i)) & 0xFFu) << (8 * (ValueBytes - 1 - i));
    return swapped;
}
} // namespace

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
    const std::uint64_t bits = LittleEndian(std::bit_cast<std::uint64_t>(volts));
    std::memcpy(buffer + p, &bits, ValueBytes);
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
    std::memcpy(&bits, buffer + p, ValueBytes);
    return std::bit_cast<double>(LittleEndian(bits));
}

void DummyFormatterClass::ReadBank(int bank, double* out, int count) {
    if (count <= 0)
        return;
    ReadLock lock(Driver->GetBufferLock());
    const std::uint8_t* buffer = Driver->GetBuffer();
    const long long length = Driver->GetBufferLength();
    for (int c = 0; c < count; ++c) {
        const long long p = ChannelCount < 1 ? -1 : Offset(c, bank);
        std::uint64_t bits = 0;
        const bool inside = p >= 0 && buffer != nullptr && p + ValueBytes <= length;
        if (inside)
            std::memcpy(&bits, buffer + p, ValueBytes);
        out[c] = inside ? std::bit_cast<double>(LittleEndian(bits)) : 0.0;
    }
}

} // namespace ostrander
