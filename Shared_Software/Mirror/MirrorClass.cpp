#include "Shared_Software/Mirror/MirrorClass.h"

#include "Shared_Software/Pattern/VoltageListClass.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

// Takes the write lock unless the caller already holds it.
class MirrorClass::Guard {
public:
    Guard(Synchronizer& lock, bool locked) : lock_(locked ? nullptr : &lock) {
        if (lock_)
            lock_->BeginWrite();
    }
    ~Guard() {
        if (lock_)
            lock_->EndWrite();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    Synchronizer* lock_;
};

MirrorClass::MirrorClass(const std::string& infoFileName) {
    if (infoFileName.empty() || infoFileName == DriverDiagnosticName)
        return;
    Build(std::make_unique<MirrorInfoClass>(infoFileName));
}

MirrorClass::MirrorClass(const std::string& infoFileName, const IniFile& ini) {
    if (infoFileName.empty() || infoFileName == DriverDiagnosticName)
        return;
    Build(std::make_unique<MirrorInfoClass>(infoFileName, ini, std::nullopt));
}

void MirrorClass::Build(std::unique_ptr<MirrorInfoClass> info) {
    Guard guard(Lock, false);
    Info = std::move(info);
    if (!Info->IsValid()) {
        Info.reset();
        return;
    }
    // A file must not be able to demand any allocation it likes.
    const int actuators = Info->Model->Actuators;
    if (actuators < 0 || actuators > DriverClass::MaxChannelCount) {
        Info.reset();
        return;
    }
    Driver = std::make_unique<DriverClass>(actuators);
    if (!Driver->IsValid()) {
        Driver.reset();
        Info.reset();
        return;
    }
    SetBankCount(1, true);
    LimitVoltage = Info->LimitVoltage;
    SetMapFile(Info->MapFileName, true);
    SurfaceChannel = Info->SurfaceChannel();
    const int n = Driver->GetChannelCount() + 1;
    ByDisplayIndex = std::make_unique<ChannelTableClass>(n);
    ByIndex = std::make_unique<ChannelTableClass>(n);
    ByChannel = std::make_unique<ChannelTableClass>(n);
    FillTables();
    ZeroAll(true);
    Valid = true;
}

MirrorClass::~MirrorClass() {
    Guard guard(Lock, false);
    ZeroAll(true);
    ByDisplayIndex.reset();
    ByIndex.reset();
    ByChannel.reset();
    Driver.reset();
    Info.reset();
}

void MirrorClass::FillTables() {
    if (!Info || !ByDisplayIndex)
        return;
    const DMInfoClass& model = *Info->Model;
    for (int i = 0; i < ByDisplayIndex->Length(); ++i) {
        DmActuatorInfoClass* a = model.FindByDisplayIndex(i);
        ByDisplayIndex->Set(i, a, a ? a->Channel : -1);
        a = model.FindByIndex(i);
        ByIndex->Set(i, a, a ? a->Channel : -1);
        a = model.FindByChannel(i);
        ByChannel->Set(i, a, a ? a->Channel : -1);
    }
    // Which channels the mean counts, and how often, follow the numbering.
    const int channels = Driver ? Driver->GetChannelCount() : 0;
    Slots.assign(static_cast<std::size_t>(channels), 0);
    DisplayChannels.clear();
    for (int i = 1; i <= GetModelActuators(true); ++i) {
        const int c = DisplayChannel(i);
        const bool inside = c >= 0 && c < channels;
        if (inside)
            ++Slots[static_cast<std::size_t>(c)];
        DisplayChannels.push_back(inside ? c : channels);
    }
    for (RunningSum& r : Sums)
        r.valid = false;
}

bool MirrorClass::IsValid(bool locked) {
    Guard guard(Lock, locked);
    return Valid;
}

double MirrorClass::GetStepSize(bool locked) {
    Guard guard(Lock, locked);
    return StepSize;
}

void MirrorClass::SetStepSize(double volts, bool locked) {
    Guard guard(Lock, locked);
    if (std::isfinite(volts))
        StepSize = volts;
}

double MirrorClass::GetLimitVoltage(bool locked) {
    Guard guard(Lock, locked);
    return LimitVoltage;
}

double MirrorClass::GetMaxVoltage(bool locked) {
    Guard guard(Lock, locked);
    return (Valid && Driver && Driver->IsValid()) ? Driver->GetMaxVoltage() : 0.0;
}

std::string MirrorClass::GetFileName(bool locked) {
    Guard guard(Lock, locked);
    return Info ? Info->FileName : std::string();
}

int MirrorClass::GetSurfaceChannel(bool locked) {
    Guard guard(Lock, locked);
    if (!Info)
        return 0;
    SurfaceChannel = Info->SurfaceChannel();
    return SurfaceChannel;
}

int MirrorClass::GetActuatorCount(bool locked) {
    Guard guard(Lock, locked);
    return Info ? Info->Model->ActuatorCount : 0;
}

int MirrorClass::GetChannelCount(bool locked) {
    Guard guard(Lock, locked);
    return Driver ? Driver->GetChannelCount() : 0;
}

int MirrorClass::GetModelActuators(bool locked) {
    Guard guard(Lock, locked);
    return Info ? Info->Model->Actuators : 0;
}

std::string MirrorClass::GetMapFileName(bool locked) {
    Guard guard(Lock, locked);
    return MapFileName;
}

std::time_t MirrorClass::GetLastChangeTime(bool locked) {
    Guard guard(Lock, locked);
    return LastChangeTime;
}

double MirrorClass::GetMeanVoltage(int bank, bool locked) {
    Guard guard(Lock, locked);
    if (bank >= 0 && bank < static_cast<int>(MeanStale.size()) && MeanStale[bank])
        RecomputeMean(bank, true);
    return (bank >= 0 && bank < static_cast<int>(MeanVoltage.size())) ? MeanVoltage[bank] : 0.0;
}

double MirrorClass::GetSurfaceVoltage(int bank, bool locked) {
    Guard guard(Lock, locked);
    return (bank >= 0 && bank < static_cast<int>(SurfaceVoltage.size())) ? SurfaceVoltage[bank]
                                                                         : 0.0;
}

int MirrorClass::GetBankCount(bool locked) {
    Guard guard(Lock, locked);
    return BankCount;
}

double MirrorClass::ChannelVoltage(int channel, int bank) {
    if (!Driver || channel < 0 || channel >= Driver->GetChannelCount())
        return 0.0;
    return Driver->Get(channel, bank);
}

int MirrorClass::DisplayChannel(int displayIndex) {
    return ByDisplayIndex ? ByDisplayIndex->Channel(displayIndex) : -1;
}

int MirrorClass::ActuatorChannel(int displayIndex) {
    if (!ByDisplayIndex || displayIndex < 0 || displayIndex > GetModelActuators(true))
        return -1;
    return ByDisplayIndex->Channel(displayIndex);
}

double MirrorClass::GetVoltage(int displayIndex, bool locked) {
    Guard guard(Lock, locked);
    return Held(DisplayChannel(displayIndex), 0);
}

std::string MirrorClass::GetVoltageText(int displayIndex, bool locked) {
    Guard guard(Lock, locked);
    DmActuatorInfoClass* a = ByDisplayIndex ? ByDisplayIndex->Actuator(displayIndex) : nullptr;
    return a ? a->VoltageText : std::string();
}

TColor MirrorClass::GetVoltageColour(int displayIndex, bool locked) {
    Guard guard(Lock, locked);
    DmActuatorInfoClass* a = ByDisplayIndex ? ByDisplayIndex->Actuator(displayIndex) : nullptr;
    return a ? a->VoltageColour : clBlack;
}

void MirrorClass::ReadVoltages(VoltageListClass& list, bool locked) {
    Guard guard(Lock, locked);
    const int count = GetActuatorCount(true);
    if (list.Count() != count) {
        list.Clear();
        for (int i = 1; i <= count; ++i)
            list.Insert(i, GetVoltage(i, true));
        return;
    }
    for (VoltageListEntry* e = list.First(); e != nullptr; e = e->next)
        e->Voltage = GetVoltage(e->Actuator, true);
}

void MirrorClass::UpdateActuator(int channel, int bank) {
    DmActuatorInfoClass* a = ByChannel ? ByChannel->Actuator(channel) : nullptr;
    if (a != nullptr && Driver)
        a->SetVoltage(Held(channel, bank), Driver->GetMinVoltage(),
                      Driver->GetMaxVoltage());
}

bool MirrorClass::SetChannelVoltage(int channel, double volts, int bank, bool locked) {
    Guard guard(Lock, locked);
    return StoreUnderRules(channel, volts, bank, nullptr);
}

bool MirrorClass::StoreUnderRules(int channel, double volts, int bank, BatchStores* batch) {
    if (!Driver || MeanVoltage.empty() || bank < 0 || bank >= BankCount || channel < 0 ||
        channel >= Driver->GetChannelCount() || std::isnan(volts))
        return false;
    const double lowest = Driver->GetMinVoltage();
    if (lowest > volts)
        volts = lowest;
    LastChangeTime = std::time(nullptr);
    // A request above the ceiling is a request for the ceiling that is not
    // met: the ceiling goes through the mean rule like any other value, and
    // the texts and means follow whatever the driver then holds.
    bool met = true;
    if (volts > Driver->GetMaxVoltage()) {
        volts = Driver->GetMaxVoltage();
        met = false;
    }
    // The mean rule works on the signed mean of (voltage - surface voltage)
    // that the request would give; its magnitude must stay within the limit.
    // A negative limit admits nothing but a mean of 0.
    const double limit = LimitVoltage > 0.0 ? LimitVoltage : 0.0;
    int slots = 0;
    const double prospective = CertainlyWithinLimit(channel, volts, bank, limit)
                                   ? 0.0
                                   : ProspectiveMean(channel, volts, bank, slots);
    if (std::fabs(prospective) > limit) {
        // The surface electrode moves every difference at once: refused,
        // nothing changes.
        if (channel == SurfaceChannel)
            return false;
        if (slots > 0) {
            // The absolute voltage that brings the mean to exactly the limit,
            // kept between the present voltage and the request.
            const double present = Held(channel, bank);
            const double bound = prospective > 0.0 ? limit : -limit;
            const double cut = volts + (bound - prospective) * GetModelActuators(true) / slots;
            volts = std::clamp(cut, std::min(present, volts), std::max(present, volts));
            // Below the lowest voltage both rules cannot hold: refused.
            if (volts < lowest)
                return false;
        }
    }
    const double before = Held(channel, bank);
    const std::uint64_t revision = Driver->GetRevision();
    const bool stored = Driver->Set(channel, bank, volts);
    NoteStored(channel, bank, before, revision);
    if (batch) {
        // Texts and means wait for the end of the batch.
        batch->touched[static_cast<std::size_t>(channel)] = true;
        batch->stored = true;
        return stored && met;
    }
    UpdateActuator(channel, bank);
    MeanChanged(bank);
    return stored && met;
}

namespace {

// Unit roundoff of double.
constexpr double Roundoff = 0x1p-53;

// Bound on the rounding error of summing n terms of magnitude at most
// largest one after another (each term itself a rounded difference), with
// room to spare.
double SequentialError(int n, double largest) {
    return 2.0 * (n + 1) * Roundoff * n * largest;
}

} // namespace

void MirrorClass::SyncRevision() {
    const std::uint64_t now = Driver->GetRevision();
    if (now == SumRevision)
        return;
    for (RunningSum& r : Sums) {
        r.valid = false;
        r.copied = false;
    }
    SumRevision = now;
}

std::vector<double>& MirrorClass::BankCopy(int bank) {
    SyncRevision();
    RunningSum& r = Sums[static_cast<std::size_t>(bank)];
    if (!r.copied) {
        const int count = Driver->GetChannelCount();
        r.values.assign(static_cast<std::size_t>(count) + 1, 0.0);
        Driver->GetBank(bank, r.values.data(), count);
        r.copied = true;
    }
    return r.values;
}

MirrorClass::RunningSum& MirrorClass::SyncedSum(int bank) {
    const std::vector<double>& values = BankCopy(bank);
    RunningSum& r = Sums[static_cast<std::size_t>(bank)];
    if (!r.valid) {
        double sum = 0.0;
        double largest = 0.0;
        for (const int c : DisplayChannels) {
            const double v = values[static_cast<std::size_t>(c)];
            sum += v;
            largest = std::max(largest, std::fabs(v));
        }
        r.sum = sum;
        r.largest = largest;
        r.error = SequentialError(static_cast<int>(DisplayChannels.size()), largest);
        r.valid = true;
    }
    return r;
}

double MirrorClass::DisplaySum(const std::vector<double>& values, double surface) const {
    double sum = 0.0;
    for (const int c : DisplayChannels)
        sum += values[static_cast<std::size_t>(c)] - surface;
    return sum;
}

bool MirrorClass::CertainlyWithinLimit(int channel, double volts, int bank, double limit) {
    const int n = GetModelActuators(true);
    if (n <= 0 || !(limit > 0.0) || !std::isfinite(volts) || bank >= static_cast<int>(Sums.size()) ||
        channel >= static_cast<int>(Slots.size()))
        return false;
    const RunningSum& r = SyncedSum(bank);
    const double slots = Slots[static_cast<std::size_t>(channel)];
    const double present = Held(channel, bank);
    const double surface = channel == SurfaceChannel ? volts
                           : SurfaceChannel < 0      ? 0.0
                                                     : Held(SurfaceChannel, bank);
    // The exact sum of (voltage - surface) the request gives is within
    // r.error plus the rounding of this line of total; the full sum that
    // ProspectiveMean takes is within SequentialError of the exact one.
    const double total = r.sum + slots * (volts - present) - n * surface;
    const double largest = std::max({r.largest, std::fabs(volts), std::fabs(present)});
    const double spread = std::fabs(r.sum) + 2.0 * n * (largest + std::fabs(surface));
    const double margin =
        r.error + 8.0 * Roundoff * spread + SequentialError(n, largest + std::fabs(surface));
    return std::fabs(total) + margin < n * limit * (1.0 - 1e-12);
}

void MirrorClass::NoteStored(int channel, int bank, double before, std::uint64_t revision) {
    if (bank >= static_cast<int>(Sums.size()))
        return;
    RunningSum& r = Sums[static_cast<std::size_t>(bank)];
    // Only a store of ours right on top of a copy and sum in step is
    // followed; after anything else they are taken again when next needed.
    if (revision != SumRevision || Driver->GetRevision() != revision + 1 ||
        channel >= static_cast<int>(Slots.size())) {
        r.valid = false;
        r.copied = false;
        return;
    }
    SumRevision = Driver->GetRevision();
    const double after = ChannelVoltage(channel, bank);
    if (r.copied)
        r.values[static_cast<std::size_t>(channel)] = after;
    const int slots = Slots[static_cast<std::size_t>(channel)];
    if (!r.valid || slots == 0)
        return;
    r.sum += slots * (after - before);
    r.largest = std::max(r.largest, std::fabs(after));
    r.error += 4.0 * Roundoff * (slots * (std::fabs(after) + std::fabs(before)) + std::fabs(r.sum));
    // Sum again once the drift has grown to a few times what a fresh sum
    // carries: every n stores or so, which keeps a store O(1) on average.
    if (r.error > 4.0 * SequentialError(GetModelActuators(true), r.largest + 1.0))
        r.valid = false;
}

void MirrorClass::MeanChanged(int bank) {
    if (bank < 0 || bank >= static_cast<int>(MeanStale.size()) ||
        bank >= static_cast<int>(SurfaceVoltage.size()))
        return;
    SurfaceVoltage[bank] = SurfaceChannel < 0 ? 0.0 : Held(SurfaceChannel, bank);
    MeanStale[bank] = 1;
}

double MirrorClass::Held(int channel, int bank) {
    if (!Driver || channel < 0 || channel >= Driver->GetChannelCount() || bank < 0 ||
        bank >= static_cast<int>(Sums.size()))
        return ChannelVoltage(channel, bank);
    return BankCopy(bank)[static_cast<std::size_t>(channel)];
}

bool MirrorClass::StoreBatch(const std::vector<std::pair<int, double>>& channels, int bank) {
    if (!Driver || bank < 0 || bank >= BankCount)
        return channels.empty();
    // Each request goes through the rules as SetChannelVoltage takes it, in
    // order, and the texts and means follow the voltages held at the end.
    const int count = Driver->GetChannelCount();
    BatchStores batch;
    batch.touched.assign(static_cast<std::size_t>(std::max(count, 0)), false);
    bool ok = true;
    for (const auto& [channel, volts] : channels)
        ok = (channel >= 0 && StoreUnderRules(channel, volts, bank, &batch)) && ok;
    if (!batch.stored)
        return ok;
    for (int c = 0; c < count; ++c)
        if (batch.touched[static_cast<std::size_t>(c)])
            UpdateActuator(c, bank);
    MeanChanged(bank);
    return ok;
}

bool MirrorClass::SetVoltages(const std::vector<std::pair<int, double>>& requests, int bank,
                              bool locked) {
    Guard guard(Lock, locked);
    std::vector<std::pair<int, double>> channels;
    channels.reserve(requests.size());
    for (const auto& [displayIndex, volts] : requests)
        channels.emplace_back(ActuatorChannel(displayIndex), volts);
    return StoreBatch(channels, bank);
}

double MirrorClass::ProspectiveMean(int channel, double volts, int bank, int& slots) {
    slots = 0;
    const int actuators = GetModelActuators(true);
    if (actuators <= 0)
        return 0.0;
    const double surface = channel == SurfaceChannel ? volts
                           : SurfaceChannel < 0      ? 0.0
                                                     : Held(SurfaceChannel, bank);
    // The request stands in the copy for the sum, in display order as
    // always, and the present voltage goes back after it.
    std::vector<double>& values = BankCopy(bank);
    double& slot = values[static_cast<std::size_t>(channel)];
    const double present = slot;
    slot = volts;
    const double sum = DisplaySum(values, surface);
    slot = present;
    slots = Slots[static_cast<std::size_t>(channel)];
    return sum / actuators;
}

bool MirrorClass::SetVoltage(int displayIndex, double volts, bool locked) {
    return SetVoltageOnBank(displayIndex, volts, 0, locked);
}

bool MirrorClass::SetVoltageOnBank(int displayIndex, double volts, int bank, bool locked) {
    Guard guard(Lock, locked);
    const int channel = ActuatorChannel(displayIndex);
    if (channel < 0)
        return false;
    return SetChannelVoltage(channel, volts, bank, true);
}

bool MirrorClass::SetAllChannels(double volts, bool locked) {
    Guard guard(Lock, locked);
    std::vector<std::pair<int, double>> channels;
    for (int c = 0; c < GetChannelCount(true); ++c)
        channels.emplace_back(c, volts);
    return StoreBatch(channels, 0) && Driver != nullptr;
}

void MirrorClass::SetAllActuators(double volts, bool locked) {
    Guard guard(Lock, locked);
    if (!Driver)
        return;
    for (int i = 1; i <= GetModelActuators(true); ++i)
        SetVoltage(i, volts, true);
    SendBank(0, true);
}

bool MirrorClass::SetVoltageAndSend(int displayIndex, double volts, bool locked) {
    Guard guard(Lock, locked);
    const int channel = ActuatorChannel(displayIndex);
    if (channel < 0)
        return false;
    return SetChannelAndSend(channel, volts, 0, true);
}

bool MirrorClass::SetChannelAndSend(int channel, double volts, int bank, bool locked) {
    Guard guard(Lock, locked);
    if (!SetChannelVoltage(channel, volts, bank, true))
        return false;
    Driver->SendChannel(channel, bank);
    return true;
}

bool MirrorClass::ApplyVoltageList(const VoltageListClass* list, int bank, bool locked) {
    Guard guard(Lock, locked);
    if (list == nullptr)
        return false;
    bool ok = true;
    for (const VoltageListEntry* e = list->First(); e != nullptr; e = e->next)
        ok = SetVoltageOnBank(e->Actuator, e->Voltage, bank, true) && ok;
    return ok;
}

bool MirrorClass::ApplyVoltageListAndSend(const VoltageListClass* list, int bank, bool locked) {
    Guard guard(Lock, locked);
    const bool ok = ApplyVoltageList(list, bank, true);
    SendBank(bank, true);
    return ok;
}

bool MirrorClass::SendBank(int bank, bool locked) {
    Guard guard(Lock, locked);
    return Driver ? Driver->SendBank(bank) : false;
}

bool MirrorClass::SetMapFile(const std::string& path, bool locked) {
    Guard guard(Lock, locked);
    if (!Info || !Info->ApplyMapFile(path))
        return false;
    MapFileName = path;
    Renumbered();
    return true;
}

void MirrorClass::SetMapText(std::string_view text, bool locked) {
    Guard guard(Lock, locked);
    if (!Info)
        return;
    Info->Model->ApplyMapText(text);
    Renumbered();
}

void MirrorClass::Renumbered() {
    // Keep what is derived from the display numbers in step with them.
    for (int i = 0; i < static_cast<int>(Info->DisplayIndexByIndex.size()); ++i) {
        DmActuatorInfoClass* a = Info->Model->FindByIndex(i);
        Info->DisplayIndexByIndex[i] = a ? a->DisplayIndex : i + 1;
    }
    FillTables();
    if (!Driver || !ByDisplayIndex)
        return; // still being built: nothing is held yet
    // The mean now counts other channels: request every voltage held again
    // from 0 V, so that the rules cut what the new numbering puts over the
    // limit. The surface electrode comes last, as it moves every difference.
    const int channels = Driver->GetChannelCount();
    for (int bank = 0; bank < BankCount; ++bank) {
        std::vector<double> held(static_cast<std::size_t>(channels));
        for (int c = 0; c < channels; ++c) {
            held[static_cast<std::size_t>(c)] = Driver->Get(c, bank);
            Driver->Set(c, bank, 0.0);
        }
        RecomputeMean(bank, true);
        for (int c = 0; c < channels; ++c)
            if (c != SurfaceChannel && held[static_cast<std::size_t>(c)] != 0.0)
                SetChannelVoltage(c, held[static_cast<std::size_t>(c)], bank, true);
        if (SurfaceChannel >= 0 && SurfaceChannel < channels &&
            held[static_cast<std::size_t>(SurfaceChannel)] != 0.0)
            SetChannelVoltage(SurfaceChannel, held[static_cast<std::size_t>(SurfaceChannel)], bank,
                              true);
        RecomputeMean(bank, true);
    }
    for (int c = 0; c < channels; ++c)
        UpdateActuator(c, 0);
}

void MirrorClass::SetOutputHold(bool hold, bool locked) {
    Guard guard(Lock, locked);
    if (Driver)
        Driver->SetOutputHold(hold);
}

void MirrorClass::SetBankCount(int n, bool locked) {
    Guard guard(Lock, locked);
    n = std::clamp(n, 0, DriverClass::MaxBankCount);
    if (Driver) {
        Driver->SetBankCount(n);
        n = Driver->GetBankCount();
    }
    BankCount = n;
    MeanVoltage.assign(n, 0.0);
    MeanStale.assign(n, 0);
    SurfaceVoltage.assign(n, 0.0);
    Sums.assign(n, RunningSum{});
    // The driver's buffer is zeroed: the texts follow.
    for (int c = 0; Driver && c < Driver->GetChannelCount(); ++c)
        UpdateActuator(c, 0);
}

void MirrorClass::ZeroAll(bool locked) {
    Guard guard(Lock, locked);
    if (!Driver)
        return;
    // The formatter may read the mean at code 1: it is still that of the
    // voltages before the reset.
    GetMeanVoltage(0, true);
    // Every channel first, then the texts from the bank read once.
    for (int c = 0; c < Driver->GetChannelCount(); ++c)
        Driver->Set(c, 0, 0.0);
    for (int c = 0; c < Driver->GetChannelCount(); ++c)
        UpdateActuator(c, 0);
    Driver->SendBank(0);
    Driver->Control(1, 0, 0);
    if (!SurfaceVoltage.empty())
        SurfaceVoltage[0] = 0.0;
    RecomputeMean(0, true);
    Driver->Control(2, 0, 0);
}

void MirrorClass::RecomputeMean(int bank, bool locked) {
    Guard guard(Lock, locked);
    if (bank < 0 || bank >= static_cast<int>(MeanVoltage.size()) ||
        bank >= static_cast<int>(SurfaceVoltage.size()))
        return;
    const double surface = SurfaceChannel < 0 ? 0.0 : Held(SurfaceChannel, bank);
    SurfaceVoltage[bank] = surface;
    if (bank < static_cast<int>(MeanStale.size()))
        MeanStale[bank] = 0;
    const int actuators = GetModelActuators(true);
    // Without a driver every voltage reads 0 V, and so does the surface.
    if (actuators <= 0 || !Driver || bank >= static_cast<int>(Sums.size())) {
        MeanVoltage[bank] = 0.0;
        return;
    }
    MeanVoltage[bank] = std::fabs(DisplaySum(BankCopy(bank), surface) / actuators);
}

} // namespace ostrander
