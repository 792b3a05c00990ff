// The whole mirror description path: a mirror info file and its actuator map
// file, read into a MirrorInfoClass and a MirrorClass, then voltages set,
// read and applied as lists. Whatever the files hold, every stored voltage
// stays finite and within the driver's range.
//
// Input: the mirror info file, then optionally a line "#DMMAP" followed by
// the map file's text. Both stay in memory: the map text is applied as the
// map file would be.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "fuzz/FuzzSupport.h"
#include "toolkit/IniFile.h"

#include <cmath>
#include <limits>
#include <string>

using namespace ostrander;
using ostrander::fuzz::Check;

namespace {

constexpr std::string_view MapMarker = "#DMMAP";
constexpr int kMaxActuatorsHere = 256;

void CheckVoltages(MirrorClass& mirror) {
    DriverClass* driver = mirror.GetDriver();
    const double lowest = driver->GetMinVoltage();
    const double highest = driver->GetMaxVoltage();
    for (int c = 0; c < mirror.GetChannelCount(); ++c) {
        const double v = driver->Get(c, 0);
        Check(std::isfinite(v) && v >= std::fmin(lowest, 0.0) && v <= highest,
              "a channel holds a voltage outside the driver's range");
    }
    for (int d = -1; d <= mirror.GetModelActuators() + 1; ++d)
        Check(std::isfinite(mirror.GetVoltage(d)), "a display number reads a non-finite voltage");
    Check(std::isfinite(mirror.GetMeanVoltage(0)) && std::isfinite(mirror.GetSurfaceVoltage(0)),
          "mean or surface voltage not finite");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInputBytes)
        return 0;
    const std::string_view input = fuzz::AsText(data, size);
    std::string_view infoText = input;
    std::string_view mapText;
    bool hasMap = false;
    if (auto marker = input.find(MapMarker); marker != std::string_view::npos) {
        infoText = input.substr(0, marker);
        auto lineEnd = input.find('\n', marker);
        mapText =
            lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);
        hasMap = true;
    }

    const IniFile ini = IniFile::FromText(infoText);
    const std::string name = "fuzz-mirror.ini";
    // Every voltage rule walks all channels; a declared count of thousands
    // takes the same paths as a few hundred, only far slower.
    if (ini.ReadInteger("DM Model", "Actuators", 0) > kMaxActuatorsHere)
        return 0;

    {
        MirrorInfoClass info(name, ini, std::nullopt);
        if (info.IsValid() && hasMap)
            info.Model->ApplyMapText(mapText);
        if (info.IsValid()) {
            Check(info.DisplayIndexByIndex.size() ==
                      static_cast<std::size_t>(info.Model->ActuatorCount),
                  "display table length differs from the actuator count");
            int listed = 0;
            for (auto* e = info.Model->ActuatorList.first; e != nullptr; e = e->next)
                ++listed;
            Check(listed == info.Model->ActuatorCount,
                  "actuator list length differs from the count");
        }
    }

    {
        MirrorClass mirror(name, ini);
        if (mirror.IsValid() && hasMap)
            mirror.SetMapText(mapText);
        if (mirror.IsValid()) {
            const int n = mirror.GetModelActuators();
            Check(n >= 0 && n <= DriverClass::MaxChannelCount,
                  "mirror accepted an unusable channel count");
            Check(mirror.GetChannelCount() == n, "channel count differs from the model");
            CheckVoltages(mirror);

            const double inf = std::numeric_limits<double>::infinity();
            const double requests[] = {-5,    0,    0.1,   50,    mirror.GetLimitVoltage(),
                                       349.9, 350,  351,   1e9,   std::nan(""),
                                       inf,   -inf, 1e300, -1e300};
            const int displays[] = {-1, 0, 1, 2, n / 2, n - 1, n, n + 1};
            for (int d : displays)
                for (double v : requests)
                    mirror.SetVoltage(d, v);
            CheckVoltages(mirror);

            for (double v : requests) {
                mirror.SetAllChannels(v);
                mirror.SetChannelAndSend(0, v, 0);
            }
            CheckVoltages(mirror);

            VoltageListClass list;
            mirror.ReadVoltages(list);
            Check(list.Count() == mirror.GetActuatorCount(), "read voltages has the wrong length");
            mirror.SetAllActuators(0.1);
            mirror.ApplyVoltageList(&list, 0);
            list.Insert(n + 5, 100.0);
            list.Insert(-3, 100.0);
            mirror.ApplyVoltageListAndSend(&list, 0);
            mirror.ApplyVoltageList(nullptr, 0);
            for (int d : displays) {
                mirror.GetVoltageText(d);
                mirror.GetVoltageColour(d);
            }
            if (hasMap)
                mirror.SetMapText(mapText);
            mirror.SetBankCount(3);
            mirror.SetVoltageOnBank(1, 100.0, 2);
            mirror.SetBankCount(1);
            mirror.RecomputeMean(0);
            mirror.GetSurfaceChannel();
            CheckVoltages(mirror);
        }
    }
    return 0;
}
