#pragma once
// Where the program finds its files.
#include <ctime>
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

// The device folder prefix as the design uses it ("..\Devices\"), relative to
// the program folder, and its absolute form ("/opt/x/Devices/" for the program
// folder "/opt/x/bin": ".." resolved, a trailing '/').
inline constexpr const char* DeviceFolderRelative = "..\\Devices\\";
std::string DeviceFolder();

bool FileExists(const std::string& path);
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
