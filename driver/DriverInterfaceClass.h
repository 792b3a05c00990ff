#pragma once
// Port interface contract: what a driver expects of the link to its
// electronics. No port interface exists in this program; the driver works
// without one and its output stays held.

namespace ostrander {

class DriverClass;

class DriverInterfaceClass {
public:
    virtual ~DriverInterfaceClass() = default;

    virtual bool Open() { return false; }
    virtual void Close() {}
    virtual bool IsOpen() const { return false; }
    virtual bool SendChannel(int channel, int bank) = 0;
    virtual bool SendBank(int bank) = 0;
    virtual void Update() = 0; // the driver's formatter was told something

    // Copies the driver's buffer geometry.
    void Configure(const DriverClass& driver);

    int GetBytesPerValue() const { return BytesPerValue; }
    int GetChannelCount() const { return ChannelCount; }
    int GetBankCount() const { return BankCount; }
    int GetBytesPerBank() const { return BytesPerBank; }

protected:
    int BytesPerValue = 0;
    int ChannelCount = 0;
    int BankCount = 0;
    int BytesPerBank = 0;
};

} // namespace ostrander
