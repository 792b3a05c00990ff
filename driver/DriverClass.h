#pragma once
// The electronics that drive a mirror's electrodes: one voltage per channel
// and bank, kept in a byte buffer through an output formatter, with a
// ceiling of 350 V. Sends go to a port interface; without one (always, in
// this program) the output stays held and every send reports false.
//
// Locking: BufferLock guards the buffer and the bank count. Callers that
// hold a lock of their own (the mirror) take it before BufferLock.
#include "driver/DriverFormatterClass.h"
#include "driver/DriverInfoClass.h"
#include "driver/DriverInterfaceClass.h"
#include "driver/VoltageLimits.h"
#include "toolkit/Synchronizer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ostrander {

class DriverClass {
public:
    // Largest channel count a driver accepts; more makes an invalid driver
    // without a buffer, as does a negative count.
    static constexpr int MaxChannelCount = 4096;
    // Bank counts are clamped to 0 .. MaxBankCount.
    static constexpr int MaxBankCount = 64;

    explicit DriverClass(int channelCount);
    // With a port interface, drives every channel to 0 V and sends it.
    ~DriverClass();
    DriverClass(const DriverClass&) = delete;
    DriverClass& operator=(const DriverClass&) = delete;

    bool IsValid() const { return Valid; }
    double GetMaxVoltage() const { return MaxVoltage; }
    int GetMinVoltage() const; // the info's lowest voltage, whole volts
    std::string GetName() const;
    int GetChannelCount() const { return ChannelCount; }
    int GetBankCount() const;
    int GetBytesPerValue() const { return BytesPerValue; }
    int GetBytesPerBank() const { return BytesPerBank; }

    double Get(int channel, int bank);
    // Channels 0 .. count - 1 of a bank into out, as Get gives each (0 V
    // outside the driver), read under one hold of the buffer lock.
    void GetBank(int bank, double* out, int count);
    // Stores volts for (channel, bank). Above the ceiling the ceiling is
    // stored and the result is false; out-of-range channels and banks and
    // NaN or -inf are refused with nothing stored. No lower bound here.
    bool Set(int channel, int bank, double volts);
    // Counts the changes to the buffer made through Set, SetBankCount and
    // Control, so that a holder of values derived from it (the mirror's
    // running sums) can tell whether someone else has written since.
    std::uint64_t GetRevision() const { return Revision.load(); }
    bool SetAndSend(int channel, double volts);
    bool SendChannel(int channel, int bank);
    bool SendBank(int bank);
    void Control(int code, int a, int b);
    // Resizes the buffer to n banks (clamped to 0 .. MaxBankCount), zeroed.
    void SetBankCount(int n);
    void SetOutputHold(bool hold) { OutputHold.store(hold); }
    bool GetOutputHold() const { return OutputHold.load(); }

    // Attaches a port interface (none in this program) and configures it.
    void SetInterface(std::unique_ptr<DriverInterfaceClass> interface);

    DriverFormatterClass* GetFormatter() { return Formatter.get(); }
    DriverInfoClass* GetInfo() { return Info.get(); }

    // For formatters: the buffer and its lock. Hold BufferLock while using
    // the buffer.
    Synchronizer& GetBufferLock() { return BufferLock; }
    std::uint8_t* GetBuffer() { return Buffer.empty() ? nullptr : Buffer.data(); }
    long long GetBufferLength() const { return static_cast<long long>(Buffer.size()); }

    // Settings handed to formatters and interfaces; 0 in this program.
    std::uint16_t GetSetting(int i) const { return (i >= 0 && i < 4) ? Setting[i] : 0; }
    double GetDoubleSetting(int i) const { return (i >= 0 && i < 2) ? DoubleSetting[i] : 0.0; }

private:
    void ResizeBuffer();

    double MaxVoltage = kCeilingVoltage;
    int BytesPerValue = 0;
    bool Valid = false;
    std::unique_ptr<DriverInfoClass> Info;
    std::unique_ptr<DriverInterfaceClass> Interface;
    std::atomic<bool> OutputHold{true};
    std::atomic<std::uint64_t> Revision{0};
    int ChannelCount = 0;
    int BankCount = 1;
    int BytesPerBank = 0;
    std::vector<std::uint8_t> Buffer;
    mutable Synchronizer BufferLock;
    std::uint16_t Setting[4] = {0, 0, 0, 0};
    double DoubleSetting[2] = {0.0, 0.0};
    // Last, so that it is destroyed first: it writes into the buffer.
    std::unique_ptr<DriverFormatterClass> Formatter;
};

} // namespace ostrander
