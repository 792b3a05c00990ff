#pragma once
// Output formatter: turns channel voltages into the bytes a driver's
// electronics expect and keeps them in the driver's buffer.
#include <cstdint>
#include <string>

namespace ostrander {

class DriverClass;

class DriverFormatterClass {
public:
    virtual ~DriverFormatterClass() = default;
    DriverFormatterClass(const DriverFormatterClass&) = delete;
    DriverFormatterClass& operator=(const DriverFormatterClass&) = delete;

    // Store on bank 0.
    virtual void Store(double volts, int channel) = 0;
    virtual void Store(double volts, int channel, int bank) = 0;
    // Notification from the driver; the mirror sends code 1 before and code 2
    // after it drives every channel to 0 V.
    virtual void Control(int code, int a, int b) = 0;
    // Read bank 0.
    virtual double Read(int channel) = 0;
    virtual double Read(int channel, int bank) = 0;
    // Channels 0 .. count - 1 of a bank into out, each as Read gives it.
    virtual void ReadBank(int bank, double* out, int count);

    int GetBytesPerValue() const { return BytesPerValue; }
    bool IsInitialised() const { return Initialised; }
    const std::string& GetName() const { return Name; }
    int GetChannelCount() const { return ChannelCount; }

protected:
    DriverFormatterClass(std::string name, DriverClass& driver);

    int BytesPerValue = 0;
    DriverClass* Driver; // not owned
    bool Initialised = false;
    std::string Name;
    int ChannelCount = 0; // the driver's channel count at construction
    // Settings copied from the driver; real electronics would use them.
    std::uint16_t Setting[4] = {0, 0, 0, 0};
    double DoubleSetting[2] = {0.0, 0.0};
    int Reserved[2] = {0, 0};
};

} // namespace ostrander
