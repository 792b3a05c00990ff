#include "Shared_Software/Mirror/MirrorZernikeClass.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Mirror/ZernikeTables.h"
#include "toolkit/Paths.h"

namespace ostrander {

MirrorZernikeClass::MirrorZernikeClass(const std::string& infoFileName,
                                       const std::vector<int>& displayIndexByIndex) {
    const std::string path = DevicePath(infoFileName);
    if (!FileExists(path))
        return;
    Make(infoFileName, IniFile(path), displayIndexByIndex);
}

MirrorZernikeClass::MirrorZernikeClass(const std::string& infoFileName, const IniFile& ini,
                                       const std::vector<int>& displayIndexByIndex) {
    Make(infoFileName, ini, displayIndexByIndex);
}

MirrorZernikeClass::~MirrorZernikeClass() = default;

std::string MirrorZernikeClass::DefaultSetName(int actuators, bool square) {
    return (square ? "DefaultRectangular" : "DefaultCircularHex") + std::to_string(actuators);
}

std::unique_ptr<PatternClass> MirrorZernikeClass::BuiltInSet(int actuators, bool square) {
    auto set = std::make_unique<PatternClass>(DefaultSetName(actuators, square), actuators);
    const ZernikeTable* table = FindZernikeTable(actuators, square);
    if (table == nullptr)
        return set;
    const std::vector<double> flat(static_cast<std::size_t>(table->voltageCount), 0.0);
    for (int k = 0; k < ZernikeTermCount; ++k) {
        const double* row = table->rows[k] != nullptr ? table->rows[k] : flat.data();
        set->InsertPatternFromArray(k, ZernikeTermNames[k], row, table->voltageCount);
    }
    return set;
}

void MirrorZernikeClass::Make(const std::string& infoFileName, const IniFile& ini,
                              const std::vector<int>& displayIndexByIndex) {
    static constexpr const char* G = "General";
    static constexpr const char* M = "DM Model";
    if (!ini.SectionExists(G) || !ini.SectionExists(M) ||
        ini.ReadString(G, "FileType", "NotMirrorInfo") != MirrorInfoClass::MirrorInfoFileType)
        return;

    const std::string patternFile = ini.ReadString("Patterns", "ZernikeFileName", NoFile);
    if (patternFile == NoFile) {
        Patterns = BuiltInSet(ini.ReadInteger(M, "Actuators", 0), ini.ReadBool(M, "Square", false));
        return;
    }
    // The pattern-set file lies relative to the mirror info file's folder.
    const std::string path = DevicePath(ExtractFilePath(infoFileName) + NormalizePath(patternFile));
    Patterns = std::make_unique<PatternClass>(path, displayIndexByIndex.data(),
                                              static_cast<int>(displayIndexByIndex.size()));
}

} // namespace ostrander
