#pragma once
// The mirrors of the device folder in use (DeviceFolder()), the lookup of
// the mirror a command names, and the checks of a file before a reader takes
// it, in the words ostrander-cli and the Python module both report.
#include <cstddef>
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
    // The membrane models that compute its pads (ring pads: the exact one only).
    std::vector<std::string> models;
};

// Every mirror info file of the device folder, in file-name order.
std::vector<DeviceEntry> ListDevices();

// A file of the device folder that looks like a mirror info file by its name
// (".ini") but cannot be read, with the reason.
struct UnreadableDevice {
    std::string fileName;
    std::string reason;
};
// Those files, in file-name order, so that `mirrors` can say why they are
// not listed.
std::vector<UnreadableDevice> UnreadableDevices();

// Why a file cannot be read at all, or empty when it can: missing, not a
// file, unreadable, or over `limit` bytes; `kind` names it ("mirror file").
std::string FileReadProblem(const std::string& path, std::size_t limit, const char* kind);
// Only the reason ("it is not a file", "Permission denied", ...), empty when
// the file can be read.
std::string FileReadReason(const std::string& path, std::size_t limit);

// The info file named by `mirror`: a device name as listed (exactly, or
// else ignoring case), a file name in the device folder (with or without
// ".ini"), or a path to a mirror info file. infoFile is what MirrorInfoClass
// and MirrorClass open. False with a one-line reason when nothing matches or
// a name matches several devices.
bool ResolveMirror(const std::string& mirror, std::string& infoFile, std::string& error);

// ResolveMirror, then the file it names: readable, within the reader's size
// limit, and a mirror info file. False with a one-line reason.
bool LocateMirrorFile(const std::string& mirror, std::string& infoFile, std::string& error);
// What is wrong with a mirror info file that is readable but not usable.
std::string MirrorFileContentProblem(const std::string& path);

// A name from a file or the command line as it is shown in messages and
// tables: control characters escaped, cut to maxBytes (at a character
// boundary) with "..." after.
std::string ShownName(const std::string& name, std::size_t maxBytes = 80);
// A name or path in a message: quoted, escaped and cut to a sane length.
std::string Quoted(const std::string& text);

} // namespace ostrander
