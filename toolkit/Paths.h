#pragma once
// Where the program finds its files.
#include <ctime>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

// The folder of the running executable, without a trailing separator.
// Tests set it to a temporary folder.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);

// Every '\' becomes '/'. Paths in files and in the design use '\'.
std::string NormalizePath(std::string path);

// Program folder + "\" + relative name, normalised: the way every file named
// in a device file is opened.
std::string ProgramPath(const std::string& relativeName);

// The device folder prefix beside the program ("..\Devices\"), relative to
// the program folder, as device files name their neighbours.
inline constexpr const char* DeviceFolderRelative = "..\\Devices\\";

// One place the device folder may be, named the way the user is told where
// the program looked ("--devices", "OSTRANDER_DEVICES", ...).
struct DeviceFolderCandidate {
    std::string origin;
    std::string folder;
};

// The device folder in use: the first candidate that is a folder (absolute,
// with a trailing '/'), or none, and every place that was looked at.
struct DeviceFolderChoice {
    std::string folder; // empty when no candidate exists
    std::string origin;
    std::vector<DeviceFolderCandidate> searched;
    bool Found() const { return !folder.empty(); }
    // "Devices from /x/Devices/ (OSTRANDER_DEVICES)" or "No device folder;
    // looked in: /a (--devices), /b (beside the program)".
    std::string Describe() const;
};

// The build tree's folder: ../Devices beside the executable.
DeviceFolderCandidate DeviceFolderBesideProgram();
// Candidates with an empty folder (an unset variable) are skipped; relative
// folders are taken from the working directory.
DeviceFolderChoice ChooseDeviceFolder(const std::vector<DeviceFolderCandidate>& candidates);
// Makes the choice the folder every scan and read of the process uses.
// Cleared (tests), DeviceFolder() is ../Devices beside the program again.
void UseDeviceFolder(const DeviceFolderChoice& choice);
void ClearDeviceFolderChoice();
// The folder in use, absolute with a trailing '/': the chosen one, else
// ../Devices beside the program ("/opt/x/Devices/" for "/opt/x/bin").
std::string DeviceFolder();
// What UseDeviceFolder was given; before that, the build-tree folder alone.
DeviceFolderChoice DeviceFolderInUse();

bool FileExists(const std::string& path);
// The bytes of a regular file of at most maxBytes; none for a file that is
// missing, not regular, larger, or cannot be read. The path is taken as it is.
std::optional<std::string> ReadFileUpTo(const std::string& path, std::uintmax_t maxBytes);
bool DirectoryExists(const std::string& path);
// Names (not paths) of the regular files in folder (separators normalised)
// whose names match the wildcard pattern ('*' and '?', case-insensitive),
// sorted by name. Hidden files (names starting with '.') and folders are not
// listed; a missing folder gives an empty list.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);
std::optional<std::time_t> FileModificationTime(const std::string& path);
// Folder part of a path including its last separator ("" when there is none),
// file name part, extension with its dot ("" when there is none). Separators
// are normalised first.
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);
bool WildcardMatch(const std::string& name, const std::string& pattern);

} // namespace ostrander
