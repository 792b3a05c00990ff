#pragma once
// One mirror info file of the device folder: section "General"
// (identification, voltage limit), the DM model, the actuator map file and
// the table from model index to display number.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "toolkit/IniFile.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

// Voltage mode sets that a mirror info object owns: made in the last step of
// Load (Zernike first, then Fourier) and destroyed before everything else.
class MirrorZernikeClass;
class MirrorFourierClass;

class MirrorInfoClass {
public:
    // fileName is relative to the program's folder, e.g. "..\Devices\m.ini",
    // or absolute; runs Load and keeps its result as IsValid().
    explicit MirrorInfoClass(const std::string& fileName);
    // Reads an ini file already parsed (tests, previews). fileName names the
    // file as above (it places the map file); modified is the file's
    // modification time, the default of DateTimeString.
    MirrorInfoClass(const std::string& fileName, const IniFile& ini,
                    std::optional<std::time_t> modified);
    ~MirrorInfoClass();
    MirrorInfoClass(const MirrorInfoClass&) = delete;
    MirrorInfoClass& operator=(const MirrorInfoClass&) = delete;

    // Forward to the model.
    bool ApplyMapFile(const std::string& path) { return Model->ApplyMapFile(path); }
    int SurfaceChannel() const { return Model->SurfaceChannel(); }

    // The accepted file type of section "General".
    static constexpr const char* MirrorInfoFileType = "Mirror Info";

    // The file was read and accepted (Load succeeded).
    bool IsValid() const { return Valid; }

    std::string FileName;
    std::string FileVersion;
    std::string DateTimeString;
    std::string Creator;
    std::string DeviceName;
    std::string MapPrefix;
    double LimitVoltage = 0; // volts: the limit on the mean actuator voltage
    // Map file beside the info file: its folder + "DMmap_" + MapPrefix + ".dat".
    std::string MapFileName;

    // Owned model; never null.
    std::unique_ptr<DMInfoClass> Model;
    // Entry i: DisplayIndex of the actuator with Index i (i + 1 where no
    // actuator has that index). Length: Model->ActuatorCount.
    std::vector<int> DisplayIndexByIndex;

    // Mode sets, made by a successful Load; null otherwise.
    std::unique_ptr<MirrorZernikeClass> Zernike;
    std::unique_ptr<MirrorFourierClass> Fourier;

private:
    bool Valid = false;
    bool Load(const std::string& fileName, const IniFile& ini, std::optional<std::time_t> modified);
};

} // namespace ostrander
