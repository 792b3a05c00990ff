#pragma once
// In-memory formatter: each voltage is kept unchanged as a little-endian
// IEEE 754 double at byte offset 8 x (channel + bank x ChannelCount).
// Stores outside the driver's buffer are ignored, reads there give 0.
#include "driver/DriverFormatterClass.h"

namespace ostrander {

class DummyFormatterClass : public DriverFormatterClass {
public:
    DummyFormatterClass(std::string name, DriverClass& driver);

    void Store(double volts, int channel) override;
    void Store(double volts, int channel, int bank) override;
    void Control(int code, int a, int b) override;
    double Read(int channel) override;
    double Read(int channel, int bank) override;
    // The whole bank under one hold of the buffer lock.
    void ReadBank(int bank, double* out, int count) override;

private:
    // Byte offset of (channel, bank), or -1 when it is negative.
    long long Offset(int channel, int bank) const;
};

} // namespace ostrander
