// The actuator map reader on a fixed model of eight actuators (two of them
// sharing an Index, one with a negative Index that is dropped): any text
// renumbers only existing actuators, keeps their Index and Channel, labels
// them with their display number, and gives the same result when applied twice.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "fuzz/FuzzSupport.h"

#include <climits>
#include <string>
#include <vector>

using namespace ostrander;
using ostrander::fuzz::Check;

namespace {

const char* const ModelText = "[General]\nFileType=Mirror Info\n"
                              "[DM Model]\nDiameter_m=0.01\nActuators=8\n"
                              "[A0]\nIndex=0\n[A1]\nIndex=1\n[A2]\nIndex=2\nDisplayIndex=9\n"
                              "[A3]\nIndex=3\n[A4]\nIndex=4\n[A5]\nIndex=5\n[A6]\nIndex=6\n"
                              "[A6b]\nIndex=6\nX=0.001\n[Dropped]\nIndex=-3\n";

struct Numbers {
    int index, channel, display;
    std::string label;
    bool operator==(const Numbers&) const = default;
};

std::vector<Numbers> Snapshot(const DMInfoClass& model) {
    std::vector<Numbers> out;
    int forward = 0;
    const DmActuatorInfoClass* previous = nullptr;
    for (const DmActuatorInfoClass* e = model.ActuatorList.first; e != nullptr; e = e->next) {
        Check(e->prev == previous, "actuator list links broken");
        previous = e;
        out.push_back({e->Index, e->Channel, e->DisplayIndex, e->Label});
        ++forward;
    }
    Check(model.ActuatorList.last == previous, "actuator list end broken");
    Check(forward == model.ActuatorCount, "actuator count changed");
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInputBytes)
        return 0;
    static const IniFile modelIni = IniFile::FromText(ModelText);
    DMInfoClass model;
    Check(model.Load(modelIni) && model.ActuatorCount == 8, "model not read");
    const auto before = Snapshot(model);

    model.ApplyMapText(fuzz::AsText(data, size));
    const auto after = Snapshot(model);
    for (std::size_t i = 0; i < after.size(); ++i) {
        Check(after[i].index == before[i].index && after[i].channel == before[i].channel,
              "map changed an Index or a Channel");
        Check(after[i].display != INT_MIN, "display number out of range");
        if (after[i].label != before[i].label)
            Check(after[i].label == std::to_string(after[i].display),
                  "label is not the display number");
    }
    model.ApplyMapText(fuzz::AsText(data, size));
    Check(Snapshot(model) == after, "the same map applied twice gives another numbering");

    // An empty map returns every actuator to Index + 1 and keeps the labels.
    model.ApplyMapText("");
    for (const DmActuatorInfoClass* e = model.ActuatorList.first; e != nullptr; e = e->next)
        Check(e->DisplayIndex == e->Index + 1, "empty map left a display number");
    return 0;
}
