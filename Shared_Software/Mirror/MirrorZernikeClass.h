#pragma once
// A mirror's fourteen Zernike voltage patterns, kept as a pattern set: read
// from the pattern-set file that section "Patterns" of the mirror info file
// names, or built from the tables for the standard geometries.
#include "Shared_Software/Pattern/PatternClass.h"
#include "toolkit/IniFile.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrander {

class MirrorZernikeClass {
public:
    // "Patterns"/ZernikeFileName value that selects the built-in tables.
    static constexpr const char* NoFile = "NoFile";

    // infoFileName is relative to the program's folder (or absolute), as the
    // mirror info object was made from. displayIndexByIndex maps voltage
    // number j of a named file to the actuator number it belongs to. A
    // missing file, or one that is not a mirror info file, gives no set.
    MirrorZernikeClass(const std::string& infoFileName,
                       const std::vector<int>& displayIndexByIndex);
    // The same from the mirror info file's contents already read.
    MirrorZernikeClass(const std::string& infoFileName, const IniFile& ini,
                       const std::vector<int>& displayIndexByIndex);
    ~MirrorZernikeClass();
    MirrorZernikeClass(const MirrorZernikeClass&) = delete;
    MirrorZernikeClass& operator=(const MirrorZernikeClass&) = delete;

    // The set, or null when there is none.
    const PatternClass* GetPatternSet() const { return Patterns.get(); }

    // "DefaultRectangular" (square membranes) or "DefaultCircularHex",
    // followed by the actuator count.
    static std::string DefaultSetName(int actuators, bool square);
    // A new set with the built-in patterns of a geometry: empty when there is
    // no table for it.
    static std::unique_ptr<PatternClass> BuiltInSet(int actuators, bool square);

private:
    void Make(const std::string& infoFileName, const IniFile& ini,
              const std::vector<int>& displayIndexByIndex);

    std::unique_ptr<PatternClass> Patterns;
};

} // namespace ostrander
