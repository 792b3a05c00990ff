#pragma once
// Fixed-length lookup table from a number (display number, model index or
// driver channel) to an actuator and its driver channel. Every slot starts
// as (none, -1); reads outside the table give the same.
#include <vector>

namespace ostrander {

class DmActuatorInfoClass;

class ChannelTableClass {
public:
    explicit ChannelTableClass(int length);

    int Length() const { return static_cast<int>(Slots.size()); }
    DmActuatorInfoClass* Actuator(int i) const;
    int Channel(int i) const;
    // Ignored outside the table.
    void Set(int i, DmActuatorInfoClass* actuator, int channel);

private:
    struct Slot {
        DmActuatorInfoClass* Actuator = nullptr; // not owned
        int Channel = -1;
    };
    std::vector<Slot> Slots;
};

} // namespace ostrander
