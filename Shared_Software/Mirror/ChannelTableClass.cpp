#include "Shared_Software/Mirror/ChannelTableClass.h"

namespace ostrander {

ChannelTableClass::ChannelTableClass(int length) : Slots(length > 0 ? length : 0) {}

DmActuatorInfoClass* ChannelTableClass::Actuator(int i) const {
    return (i >= 0 && i < Length()) ? Slots[i].Actuator : nullptr;
}

int ChannelTableClass::Channel(int i) const {
    return (i >= 0 && i < Length()) ? Slots[i].Channel : -1;
}

void ChannelTableClass::Set(int i, DmActuatorInfoClass* actuator, int channel) {
    if (i >= 0 && i < Length())
        Slots[i] = Slot{actuator, channel};
}

} // namespace ostrander
