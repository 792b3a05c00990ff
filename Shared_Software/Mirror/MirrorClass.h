#pragma once
// The live mirror: binds a mirror description to a driver that holds one
// voltage per channel, translates display numbers into driver channels, and
// enforces the voltage rules: the driver's lowest voltage, its highest
// voltage (350 V) and the limit on the mean voltage over all actuators. Each
// actuator's voltage text and colour follow what the driver holds.
//
// Numbering: display numbers 1 .. Actuators (what the user sees and what
// voltage lists carry), driver channels 0 .. Actuators - 1.
//
// Locking: every operation takes the write lock of Lock (even reads), so no
// thread ever sees half-updated voltages, means and texts. The trailing flag
// `locked` says that the caller already holds it; the holder may take it
// again. The driver's buffer lock is always taken inside the mirror's.
#include "Shared_Software/Mirror/ChannelTableClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "driver/DriverClass.h"
#include "toolkit/Synchronizer.h"
#include "toolkit/TColor.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrander {

class VoltageListClass;

class MirrorClass {
public:
    // Name of the device entry that has no mirror behind it.
    static constexpr const char* DriverDiagnosticName = "Driver Diagnostic";

    // infoFileName is relative to the program's folder, as the device scan
    // gives it. The mirror is invalid for an empty name, for "Driver
    // Diagnostic", for a file that is not a mirror info file, and for a model
    // whose Actuators is negative or above DriverClass::MaxChannelCount.
    explicit MirrorClass(const std::string& infoFileName);
    // The same from a mirror info file already read (tests, fuzzing).
    MirrorClass(const std::string& infoFileName, const IniFile& ini);
    // Drives every channel to 0 V first.
    ~MirrorClass();
    MirrorClass(const MirrorClass&) = delete;
    MirrorClass& operator=(const MirrorClass&) = delete;

    bool IsValid(bool locked = false);
    double GetStepSize(bool locked = false);
    void SetStepSize(double volts, bool locked = false); // non-finite values are ignored
    double GetLimitVoltage(bool locked = false);
    // The driver's highest voltage; 0 for an invalid mirror.
    double GetMaxVoltage(bool locked = false);
    std::string GetFileName(bool locked = false);
    // Re-reads the surface channel from the description; -1 when there is
    // none, 0 without a description.
    int GetSurfaceChannel(bool locked = false);
    int GetActuatorCount(bool locked = false); // actuator sections read
    int GetChannelCount(bool locked = false);
    int GetModelActuators(bool locked = false); // the model's Actuators key
    std::string GetMapFileName(bool locked = false);
    std::time_t GetLastChangeTime(bool locked = false);
    double GetMeanVoltage(int bank = 0, bool locked = false);
    double GetSurfaceVoltage(int bank = 0, bool locked = false);
    int GetBankCount(bool locked = false);

    // Bank 0 voltage of the actuator with this display number; 0 V when no
    // actuator carries it.
    double GetVoltage(int displayIndex, bool locked = false);
    // Text ("12V") and colour of the actuator with this display number; ""
    // and black when there is none.
    std::string GetVoltageText(int displayIndex, bool locked = false);
    TColor GetVoltageColour(int displayIndex, bool locked = false);
    // Fills the list with (display number, voltage) for 1 .. GetActuatorCount,
    // rebuilt when its count differs, else each entry's voltage in place.
    void ReadVoltages(VoltageListClass& list, bool locked = false);

    // The core rule. A request below the lowest voltage is raised to it; one
    // above the highest is taken as the highest and reported false. The mean
    // of (voltage - surface voltage) over the display numbers must stay
    // within the limit in magnitude: a request that would carry it beyond is
    // cut to the value that brings it to the limit (true). Refused, with
    // nothing changed: no driver, bank or channel out of range, NaN, a
    // surface-channel value that breaks the limit, and a cut that would fall
    // below the lowest voltage.
    bool SetChannelVoltage(int channel, double volts, int bank, bool locked = false);
    bool SetVoltage(int displayIndex, double volts, bool locked = false);
    bool SetVoltageOnBank(int displayIndex, double volts, int bank, bool locked = false);
    // (display number, volts) requests on a bank, in order, each as
    // SetVoltageOnBank takes it (the same voltages, texts and means at the
    // end) but reading the driver once for all; true only if all succeeded.
    bool SetVoltages(const std::vector<std::pair<int, double>>& requests, int bank = 0,
                     bool locked = false);
    // Every channel on bank 0; true only if all succeeded (all are tried).
    bool SetAllChannels(double volts, bool locked = false);
    // Display numbers 1 .. GetModelActuators, then the bank is sent.
    void SetAllActuators(double volts, bool locked = false);
    bool SetVoltageAndSend(int displayIndex, double volts, bool locked = false);
    bool SetChannelAndSend(int channel, double volts, int bank, bool locked = false);
    // Every entry in list order; true only if all succeeded; false for null.
    bool ApplyVoltageList(const VoltageListClass* list, int bank, bool locked = false);
    // As ApplyVoltageList, then sends the bank; the result is that of the settings.
    bool ApplyVoltageListAndSend(const VoltageListClass* list, int bank, bool locked = false);
    // False without a driver or while the output is held (always, here).
    bool SendBank(int bank, bool locked = false);
    // Applies an actuator map file to the description; on success remembers
    // it and renumbers the lookup tables. The display numbers decide which
    // channels the mean counts, so every voltage held is then requested
    // again under the rules (channel by channel, the surface electrode
    // last), which lowers what the new numbering would put over the limit.
    bool SetMapFile(const std::string& path, bool locked = false);
    // The same with the map file's text.
    void SetMapText(std::string_view text, bool locked = false);
    void SetOutputHold(bool hold, bool locked = false);
    // n banks (clamped to 0 .. DriverClass::MaxBankCount), all at 0 V.
    void SetBankCount(int n, bool locked = false);
    // Every channel of bank 0 to 0 V, sent, with the formatter told code 1
    // before the means are reset and code 2 after.
    void ZeroAll(bool locked = false);
    void RecomputeMean(int bank, bool locked = false);

    // The description and the driver (owned by the mirror; null for an
    // invalid mirror). Readers that need a consistent view hold GetLock().
    MirrorInfoClass* GetInfo() { return Info.get(); }
    DriverClass* GetDriver() { return Driver.get(); }
    Synchronizer& GetLock() { return Lock; }

private:
    class Guard;

    void Build(std::unique_ptr<MirrorInfoClass> info);
    void FillTables();
    // After a renumbering: the tables, then every voltage through the rules.
    void Renumbered();
    // Text and colour of the actuator on channel c from the driver's value on bank b.
    void UpdateActuator(int channel, int bank);
    // The driver's value of channel c on bank b; 0 V for a channel outside the driver.
    double ChannelVoltage(int channel, int bank);
    int DisplayChannel(int displayIndex);
    // The channel of display number 0 .. the model's actuators (lock held);
    // -1 outside them or where no channel is mapped.
    int ActuatorChannel(int displayIndex);
    // Which channels a batch of requests stored.
    struct BatchStores {
        std::vector<bool> touched;
        bool stored = false;
    };
    // SetChannelVoltage with the lock held; with batch, the channels stored
    // are noted in it, and texts and means are left to the caller.
    bool StoreUnderRules(int channel, double volts, int bank, BatchStores* batch);
    // Requests by channel (negative: refused) through StoreUnderRules in
    // order, then the texts of the channels stored and the bank's mean.
    bool StoreBatch(const std::vector<std::pair<int, double>>& channels, int bank);
    // A channel's voltage on the bank from the bank's copy (0 V for a channel
    // outside the driver).
    double Held(int channel, int bank);
    // Signed mean over display numbers 1 .. Actuators of (voltage - surface
    // voltage) on the bank if the channel held volts; slots receives how many
    // display numbers the channel drives.
    double ProspectiveMean(int channel, double volts, int bank, int& slots);
    // Sum over display numbers 1 .. Actuators of (voltage - surface) in
    // display order, from the copy.
    double DisplaySum(const std::vector<double>& values, double surface) const;

    // The running sum of a bank: the voltages that display numbers
    // 1 .. Actuators drive (a channel once per display number it carries),
    // kept up to date by every store, so that a request well inside the mean
    // limit is accepted without summing all channels. error bounds how far
    // sum may be from the exact sum, largest bounds every magnitude in it.
    // Only a request that could come near the limit is decided by
    // ProspectiveMean, so the decisions and cuts are those of the full sum.
    // values is a copy of the bank's voltages by channel, with one more
    // slot of 0 V that unmapped display numbers point to, so that the full
    // sums run over plain memory instead of locked driver reads.
    struct RunningSum {
        double sum = 0.0;
        double error = 0.0;
        double largest = 0.0;
        bool valid = false;
        std::vector<double> values;
        bool copied = false;
    };
    // Forgets every sum and copy when someone else has written to the
    // driver since they were taken.
    void SyncRevision();
    // The bank's copy of the driver's voltages, read again when needed.
    std::vector<double>& BankCopy(int bank);
    // The bank's running sum, summed again from the copy when it is not
    // valid or someone else has written to the driver since.
    RunningSum& SyncedSum(int bank);
    // True only if the request's mean is certainly within the limit, so
    // that ProspectiveMean would not find it beyond.
    bool CertainlyWithinLimit(int channel, double volts, int bank, double limit);
    // Brings the running sum and the copy in step with a store of the
    // mirror's own:
    // before is the channel's voltage and revision the driver's revision
    // before it.
    void NoteStored(int channel, int bank, double before, std::uint64_t revision);
    // After a store: the surface voltage now, the mean when it is next read.
    void MeanChanged(int bank);

    bool Valid = false;
    double StepSize = 10.0;
    double LimitVoltage = 0.0;
    std::unique_ptr<MirrorInfoClass> Info;
    std::unique_ptr<DriverClass> Driver;
    std::unique_ptr<ChannelTableClass> ByDisplayIndex;
    std::unique_ptr<ChannelTableClass> ByIndex;
    std::unique_ptr<ChannelTableClass> ByChannel;
    int SurfaceChannel = -1;
    int BankCount = 0;
    std::vector<double> MeanVoltage;    // per bank, volts
    std::vector<char> MeanStale;        // per bank: MeanVoltage to be recomputed
    std::vector<RunningSum> Sums;       // per bank
    std::uint64_t SumRevision = 0;      // the driver's revision Sums agree with
    std::vector<int> Slots;             // per channel: display numbers it drives
    // Channel of display numbers 1 .. Actuators, the copy's 0 V slot where
    // none is mapped inside the driver.
    std::vector<int> DisplayChannels;
    std::vector<double> SurfaceVoltage; // per bank, volts
    std::string MapFileName;
    std::time_t LastChangeTime = 0;
    Synchronizer Lock;
};

} // namespace ostrander
