#pragma once
// The mirrors of the device folder in use (DeviceFolder()) and the lookup of
// the mirror a command names.
#include <string>
#include <vector>

namespace ostrander {

struct DeviceEntry {
    std::string deviceName;
    std::string fileName;    // e.g. "Hex19.ini"
    std::string programPath; // as the program opens it, e.g. "/usr/share/ostrander/Devices/Hex19.ini"
    std::string absolutePath;
    int actuators = 0;
    double limitVoltage = 0.0; // V, the limit on the mean voltage
};

// Every mirror info file of the device folder, in file-name order.
std::vector<DeviceEntry> ListDevices();

// The info file named by `mirror`: a device name as listed (exactly, or
// else ignoring case), a file name in the device folder (with or without
// ".ini"), or a path to a mirror info file. infoFile is what MirrorInfoClass
// and MirrorClass open. False with a one-line reason when nothing matches or
// a name matches several devices.
bool ResolveMirror(const std::string& mirror, std::string& infoFile, std::string& error);

} // namespace ostrander
