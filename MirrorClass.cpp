#include "Shared_Software/Mirror/MirrorClass.h"
namespace ostrander {
MirrorClass::MirrorClass(const std::string& fileName) {
    if (fileName.empty()) return;
    Info = std::make_unique<MirrorInfoClass>(fileName);
    if (!Info->Valid) return;
    LimitVoltage = Info->LimitVoltage;
    Info->ApplyMapFile(Info->MapFileName);
    v.assign(Info->Model->Actuators, 0.0);
    Valid = true;
}
}
