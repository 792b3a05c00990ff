#include "driver/DriverClass.h"

#include "driver/DummyFormatterClass.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrander {

DriverClass::DriverClass(int channelCount) {
    Valid = channelCount >= 0 && channelCount <= MaxChannelCount;
    ChannelCount = Valid ? channelCount : 0;
    Info = std::make_unique<DriverInfoClass>();
    Formatter = std::make_unique<DummyFormatterClass>("Dummy", *this);
    BytesPerValue = Formatter->GetBytesPerValue();
    ResizeBuffer();
}

DriverClass::~DriverClass() {
    if (Interface && Formatter) {
        for (int c = 0; c < ChannelCount; ++c)
            SetAndSend(c, 0.0);
    }
    Formatter.reset();
    Interface.reset();
    Info.reset();
    WriteLock lock(BufferLock);
    std::vector<std::uint8_t>().swap(Buffer);
}

void DriverClass::ResizeBuffer() {
    if (Valid) {
        int values = ChannelCount;
        // Formatters of this family carry one extra value per bank.
        if (Formatter && Formatter->GetName().compare(0, 4, "Vosk") == 0)
            ++values;
        BytesPerBank = BytesPerValue * values;
    }
    if (!Info)
        return;
    WriteLock lock(BufferLock);
    ++Revision;
    std::vector<std::uint8_t>().swap(Buffer);
    const long long bytes = static_cast<long long>(BytesPerBank) * std::max(BankCount, 0);
    if (bytes > 0)
        Buffer.assign(static_cast<std::size_t>(bytes), 0);
}

int DriverClass::GetMinVoltage() const {
    if (!Info || !std::isfinite(Info->MinVoltage))
        return 0;
    const double v = std::clamp(Info->MinVoltage, double(std::numeric_limits<int>::min()),
                                double(std::numeric_limits<int>::max()));
    return static_cast<int>(v);
}

std::string DriverClass::GetName() const {
    return Info ? Info->DriverName : std::string();
}

int DriverClass::GetBankCount() const {
    ReadLock lock(BufferLock);
    return BankCount;
}

double DriverClass::Get(int channel, int bank) {
    return Formatter ? Formatter->Read(channel, bank) : 0.0;
}

void DriverClass::GetBank(int bank, double* out, int count) {
    if (Formatter)
        Formatter->ReadBank(bank, out, count);
    else
        std::fill(out, out + std::max(count, 0), 0.0);
}

bool DriverClass::Set(int channel, int bank, double volts) {
    if (!Formatter || std::isnan(volts) || volts == -std::numeric_limits<double>::infinity())
        return false;
    WriteLock lock(BufferLock);
    if (channel < 0 || channel >= ChannelCount || bank < 0 || bank >= BankCount)
        return false;
    ++Revision;
    if (volts > MaxVoltage) {
        Formatter->Store(MaxVoltage, channel, bank);
        return false;
    }
    Formatter->Store(volts, channel, bank);
    return true;
}

bool DriverClass::SetAndSend(int channel, double volts) {
    if (!Set(channel, 0, volts))
        return false;
    return SendChannel(channel, 0);
}

bool DriverClass::SendChannel(int channel, int bank) {
    if (OutputHold.load() || !Interface)
        return false;
    Interface->SendChannel(channel, bank);
    return true;
}

bool DriverClass::SendBank(int bank) {
    if (OutputHold.load() || !Interface)
        return false;
    Interface->SendBank(bank);
    return true;
}

void DriverClass::Control(int code, int a, int b) {
    ++Revision; // a formatter may rewrite its buffer on a control code
    if (Formatter)
        Formatter->Control(code, a, b);
    if (Interface)
        Interface->Update();
}

void DriverClass::SetBankCount(int n) {
    {
        WriteLock lock(BufferLock);
        BankCount = std::clamp(n, 0, MaxBankCount);
        ResizeBuffer();
    }
    if (Interface)
        Interface->Configure(*this);
}

void DriverClass::SetInterface(std::unique_ptr<DriverInterfaceClass> interface) {
    Interface = std::move(interface);
    if (Interface)
        Interface->Configure(*this);
}

} // namespace ostrander
