#include "model/DMModelLocal.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"

#include <utility>

namespace ostrander {

DMModelLocal::DMModelLocal() = default;

DMModelLocal::~DMModelLocal() {
    ReleaseMirror();
}

void DMModelLocal::ReleaseMirror() {
    // The mirror goes first: it drives its channels to 0 V as it is destroyed.
    Mirror.reset();
    MirrorInfo.reset();
}

void DMModelLocal::SelectMirror(int32_t index, std::unique_ptr<MirrorInfoClass> info,
                                std::unique_ptr<MirrorClass> mirror, int32_t actuatorCount) {
    ReleaseMirror();
    ++MirrorGeneration;
    MirrorInfo = std::move(info);
    Mirror = std::move(mirror);
    MirrorIndex = index;
    ResetActuatorVoltages(actuatorCount);
}

void DMModelLocal::ResetActuatorVoltages(int32_t count) {
    ActuatorVoltageCount = count > 0 ? count : 0;
    ActuatorVoltages.assign(static_cast<std::size_t>(ActuatorVoltageCount), 0.0);
}

} // namespace ostrander
