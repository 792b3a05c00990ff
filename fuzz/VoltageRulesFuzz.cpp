// The voltage rules of the mirror object under any sequence of requests: the
// input picks a mirror (actuator count, limit, surface electrode, lowest
// voltage) and then a sequence of operations with their arguments. After
// every call, on every bank: each channel holds a finite voltage no higher
// than the ceiling and no lower than the lowest voltage (or 0 V, which only
// zeroing stores), the magnitude of the mean of (voltage - surface voltage)
// over the display numbers is within the limit, and the mirror's own mean and
// surface voltage agree with what the driver holds. Everything is in memory.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "fuzz/FuzzSupport.h"
#include "toolkit/IniFile.h"

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using namespace ostrander;
using ostrander::fuzz::Check;

namespace {

// Reads the input a byte at a time; 0 once it is used up.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    int Next() { return pos_ < size_ ? data_[pos_++] : 0; }
    int Pick(int n) { return n <= 0 ? 0 : Next() % n; }

    double Volts() {
        static constexpr double inf = std::numeric_limits<double>::infinity();
        static const double special[] = {0.0,  0.1,   -0.0,  350.0, 351.0, 349.999, 1e300,
                                         -1e300, inf, -inf,  std::nan(""), 5e-324, -5.0, 100.0};
        const int kind = Next();
        if (kind < 64)
            return special[static_cast<std::size_t>(kind) % std::size(special)];
        // -100 V to 500 V in steps of about 0.01 V.
        return -100.0 + 600.0 * ((Next() << 8) | Next()) / 65535.0;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A mirror info file of n actuators in a row, display numbers 1 ... n.
std::string MirrorText(int n, double limit, int surface) {
    std::string text = "[General]\nFileType=Mirror Info\nDeviceName=Fuzz\nLimitVoltage=" +
                       std::to_string(limit) + "\n[DM Model]\nDiameter_m=0.01\nActuators=" +
                       std::to_string(n) + "\n";
    for (int i = 0; i < n; ++i) {
        text += "[A" + std::to_string(i) + "]\nIndex=" + std::to_string(i) +
                "\nX=" + std::to_string(0.001 * i) + "\nDpad_m=0.001\n";
        if (i == surface)
            text += "Surface=1\nAuxilary=1\n";
    }
    return text;
}

// The parsed mirror info file of a mirror, kept across inputs: the text and
// its parse depend on nothing else, and the mirror is built anew from it for
// every input. Bounded, so that a long run does not gather every mirror.
const IniFile& MirrorIni(int n, double limit, int surface) {
    static std::map<std::tuple<int, double, int>, IniFile> cache;
    const auto key = std::make_tuple(n, limit, surface);
    if (auto found = cache.find(key); found != cache.end())
        return found->second;
    if (cache.size() >= 1024)
        cache.clear();
    return cache.emplace(key, IniFile::FromText(MirrorText(n, limit, surface))).first->second;
}

void CheckRules(MirrorClass& mirror, double limit) {
    DriverClass* driver = mirror.GetDriver();
    const double lowest = driver->GetMinVoltage();
    const double ceiling = driver->GetMaxVoltage();
    const int n = mirror.GetModelActuators();
    const int surface = mirror.GetSurfaceChannel();
    // Each bank's voltages read from the driver once, for both checks.
    std::vector<double> volts(static_cast<std::size_t>(mirror.GetChannelCount()));
    for (int bank = 0; bank < driver->GetBankCount(); ++bank) {
        driver->GetBank(bank, volts.data(), static_cast<int>(volts.size()));
        for (std::size_t c = 0; c < volts.size(); ++c) {
            const double v = volts[c];
            Check(std::isfinite(v), "a channel holds a voltage that is not finite");
            Check(v <= ceiling, "a channel is above the ceiling");
            Check(v == 0.0 || v >= lowest, "a channel is below the lowest voltage");
        }
        auto held = [&](int c) {
            return c >= 0 && c < static_cast<int>(volts.size()) ? volts[static_cast<std::size_t>(c)]
                                                                : driver->Get(c, bank);
        };
        const double s = surface >= 0 ? held(surface) : 0.0;
        double sum = 0.0;
        for (int i = 1; i <= n; ++i) {
            const DmActuatorInfoClass* a = mirror.GetInfo()->Model->FindByDisplayIndex(i);
            sum += (a != nullptr && a->Channel >= 0 ? held(a->Channel) : 0.0) - s;
        }
        const double mean = n > 0 ? std::fabs(sum / n) : 0.0;
        const double allowed = limit > 0.0 ? limit : 0.0;
        Check(mean <= allowed * (1 + 1e-12) + 1e-9, "the mean is beyond the limit");
        if (bank < static_cast<int>(mirror.GetBankCount())) {
            Check(std::fabs(mirror.GetMeanVoltage(bank) - mean) <= 1e-9 * (1 + mean),
                  "the mirror's mean differs from the driver's voltages");
            Check(mirror.GetSurfaceVoltage(bank) == s,
                  "the mirror's surface voltage differs from the driver's");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    Bytes in(data, size);
    const int n = 1 + in.Pick(64);
    static const double limits[] = {100.0, 0.0, 20.0, 60.0, 150.0, 350.0, 1000.0, -5.0};
    const double limit = limits[in.Pick(static_cast<int>(std::size(limits)))];
    const int surface = in.Pick(n + 1) - 1;
    const int lowest = in.Pick(4) == 0 ? in.Pick(20) : 0;

    MirrorClass mirror("fuzz.ini", MirrorIni(n, limit, surface));
    Check(mirror.IsValid(), "the generated mirror is not valid");
    mirror.GetDriver()->GetInfo()->MinVoltage = lowest;
    CheckRules(mirror, limit);

    while (!in.Empty()) {
        const int op = in.Pick(13);
        const int display = in.Pick(n + 3) - 1;
        const int channel = in.Pick(n + 2) - 1;
        const int bank = in.Pick(4) == 0 ? in.Pick(3) : 0;
        const double volts = in.Volts();
        switch (op) {
        case 0:
            mirror.SetVoltage(display, volts);
            break;
        case 1:
            mirror.SetChannelVoltage(channel, volts, bank);
            break;
        case 2:
            mirror.SetVoltageAndSend(display, volts);
            break;
        case 3:
            mirror.SetChannelAndSend(channel, volts, bank);
            break;
        case 4:
            mirror.SetAllChannels(volts);
            break;
        case 5:
            mirror.SetAllActuators(volts);
            break;
        case 6:
        case 7: {
            VoltageListClass list;
            const int count = in.Pick(n + 2);
            for (int i = 0; i < count; ++i)
                list.Insert(in.Pick(n + 3) - 1, in.Volts());
            if (op == 6)
                mirror.ApplyVoltageList(&list, bank);
            else
                mirror.ApplyVoltageListAndSend(&list, bank);
            break;
        }
        case 8:
            mirror.ZeroAll();
            break;
        case 9: {
            // A map that moves actuators to other display numbers, some of
            // them beyond the counted ones.
            std::string map;
            const int pairs = in.Pick(n + 1);
            for (int i = 0; i < pairs; ++i)
                map += std::to_string(1 + in.Pick(n + 1)) + " " + std::to_string(in.Pick(n + 2)) +
                       "\n";
            mirror.SetMapText(map);
            break;
        }
        case 10:
            mirror.SetBankCount(1 + in.Pick(3));
            break;
        case 11:
            mirror.RecomputeMean(bank);
            break;
        default: {
            VoltageListClass list;
            mirror.ReadVoltages(list);
            Check(list.Count() == mirror.GetActuatorCount(), "read voltages has the wrong length");
            break;
        }
        }
        CheckRules(mirror, limit);
    }
    return 0;
}
