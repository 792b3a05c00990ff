#include "Shared_Software/Mirror/MirrorInfoClass.h"

#include "Shared_Software/Mirror/MirrorFourierClass.h"
#include "Shared_Software/Mirror/MirrorZernikeClass.h"

#include "toolkit/Format.h"
#include "toolkit/Paths.h"

namespace ostrander {

MirrorInfoClass::MirrorInfoClass(const std::string& fileName)
    : Model(std::make_unique<DMInfoClass>()) {
    const std::string path = DevicePath(fileName);
    Valid = Load(fileName, IniFile(path), FileModificationTime(path));
}

MirrorInfoClass::MirrorInfoClass(const std::string& fileName, const IniFile& ini,
                                 std::optional<std::time_t> modified)
    : Model(std::make_unique<DMInfoClass>()) {
    Valid = Load(fileName, ini, modified);
}

MirrorInfoClass::~MirrorInfoClass() {
    // Mode sets go first, Zernike before Fourier.
    Zernike.reset();
    Fourier.reset();
    DisplayIndexByIndex.clear();
    Model.reset();
}

bool MirrorInfoClass::Load(const std::string& fileName, const IniFile& ini,
                           std::optional<std::time_t> modified) {
    static constexpr const char* G = "General";
    static constexpr const char* M = "DM Model";
    if (!ini.SectionExists(G) || !ini.SectionExists(M))
        return false;
    if (ini.ReadString(G, "FileType", "NotMirrorInfo") != MirrorInfoFileType)
        return false;

    FileName = fileName;
    FileVersion = FloatToStr(ini.ReadFloat(G, "FileVersion", 0));
    DateTimeString = ini.ReadString(G, "DateTimeString", modified ? DateTimeToStr(*modified) : "");
    Creator = ini.ReadString(G, "Creator", "Brendimor");
    DeviceName = ini.ReadString(G, "DeviceName", "NA");
    MapPrefix = ini.ReadString(G, "MapPrefix", "NA");
    // The "General" value wins over the one of "DM Model".
    LimitVoltage = ini.ReadFloat(G, "LimitVoltage", ini.ReadFloat(M, "LimitVoltage", 0));

    // The info is accepted from here on even if the model cannot be read.
    Model->Load(ini);

    // A missing map file leaves the file's own numbering.
    MapFileName =
        ExtractFilePath(DevicePath(FileName)) + NormalizePath("DMmap_" + MapPrefix + ".dat");
    Model->ApplyMapFile(MapFileName);

    DisplayIndexByIndex.assign(static_cast<std::size_t>(Model->ActuatorCount), 0);
    for (std::size_t i = 0; i < DisplayIndexByIndex.size(); ++i) {
        const DmActuatorInfoClass* a = Model->FindByIndex(static_cast<int>(i));
        DisplayIndexByIndex[i] = a != nullptr ? a->DisplayIndex : static_cast<int>(i) + 1;
    }

    Zernike = std::make_unique<MirrorZernikeClass>(FileName, ini, DisplayIndexByIndex);
    Fourier = std::make_unique<MirrorFourierClass>(Model->Actuators, Model->Square);

    return true;
}

} // namespace ostrander
