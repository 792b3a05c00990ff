#pragma once
// Description record of a driver. No driver info file is read, so it keeps
// its initial values: not valid, empty texts (device name "NA"), lowest
// voltage 0 V.
#include <string>

namespace ostrander {

class DriverInfoClass {
public:
    // No driver info file is read, so never.
    bool IsValid() const { return Valid; }

    std::string FileName;
    std::string FileType;
    std::string FileVersion;
    std::string DateTimeString;
    std::string Creator;
    std::string DeviceName = "NA";
    std::string DriverName; // shown after the mirror's device name
    std::string FormatterName;
    std::string InterfaceName;
    std::string SerialNumber;
    double MinVoltage = 0.0; // volts; the floor the mirror applies
    int Options = 0;

private:
    bool Valid = false;
};

} // namespace ostrander
