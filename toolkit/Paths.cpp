#include "toolkit/Paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace ostrander {

namespace {
std::mutex g_folderMutex;
std::string g_programFolder;

std::string ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path(ec).string();
    return exe.parent_path().string();
}
} // namespace

std::string ProgramFolder() {
    std::lock_guard lock(g_folderMutex);
    if (g_programFolder.empty())
        g_programFolder = ExecutableFolder();
    return g_programFolder;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard lock(g_folderMutex);
    std::string f = NormalizePath(folder);
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    g_programFolder = f;
}

std::string NormalizePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string ProgramPath(const std::string& relativeName) {
    return NormalizePath(ProgramFolder() + "\\" + relativeName);
}

namespace {
std::optional<DeviceFolderChoice> g_deviceChoice; // guarded by g_folderMutex

std::string FolderWithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}
} // namespace

DeviceFolderCandidate DeviceFolderBesideProgram() {
    // "/opt/x/bin/../Devices/" is shown to the user as "/opt/x/Devices/".
    return {"beside the program",
            FolderWithSlash(fs::path(ProgramPath(DeviceFolderRelative)).lexically_normal().string())};
}

DeviceFolderChoice ChooseDeviceFolder(const std::vector<DeviceFolderCandidate>& candidates) {
    DeviceFolderChoice choice;
    for (const DeviceFolderCandidate& candidate : candidates) {
        if (candidate.folder.empty())
            continue;
        std::error_code ec;
        fs::path folder = fs::absolute(NormalizePath(candidate.folder), ec);
        if (ec)
            folder = NormalizePath(candidate.folder);
        const std::string shown = FolderWithSlash(folder.lexically_normal().string());
        choice.searched.push_back({candidate.origin, shown});
        if (!choice.Found() && DirectoryExists(shown)) {
            choice.folder = shown;
            choice.origin = candidate.origin;
        }
        if (choice.Found())
            break;
    }
    return choice;
}

std::string DeviceFolderChoice::Describe() const {
    if (Found())
        return "Devices from " + folder + " (" + origin + ")";
    std::string text = "No device folder; looked in: ";
    for (std::size_t i = 0; i < searched.size(); ++i)
        text += (i ? ", " : "") + searched[i].folder + " (" + searched[i].origin + ")";
    if (searched.empty())
        text += "nowhere";
    return text;
}

void UseDeviceFolder(const DeviceFolderChoice& choice) {
    std::lock_guard lock(g_folderMutex);
    g_deviceChoice = choice;
}

void ClearDeviceFolderChoice() {
    std::lock_guard lock(g_folderMutex);
    g_deviceChoice.reset();
}

DeviceFolderChoice DeviceFolderInUse() {
    {
        std::lock_guard lock(g_folderMutex);
        if (g_deviceChoice)
            return *g_deviceChoice;
    }
    return ChooseDeviceFolder({DeviceFolderBesideProgram()});
}

std::string DeviceFolder() {
    {
        std::lock_guard lock(g_folderMutex);
        if (g_deviceChoice && g_deviceChoice->Found())
            return g_deviceChoice->folder;
    }
    return DeviceFolderBesideProgram().folder;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(NormalizePath(path), ec);
}

std::optional<std::string> ReadFileUpTo(const std::string& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    const auto size = fs::file_size(path, ec);
    if (ec || size > maxBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (in.bad())
        return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(NormalizePath(path), ec);
}

bool WildcardMatch(const std::string& name, const std::string& pattern) {
    // Iterative '*' / '?' matcher, case-insensitive.
    std::size_t n = 0, p = 0, star = std::string::npos, mark = 0;
    auto eq = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || eq(pattern[p], name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(NormalizePath(folder), ec);
    if (ec)
        return names;
    for (const auto& entry : it) {
        std::error_code e2;
        if (!entry.is_regular_file(e2))
            continue;
        std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        if (WildcardMatch(name, pattern))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::time_t> FileModificationTime(const std::string& path) {
    struct stat st {};
    if (::stat(NormalizePath(path).c_str(), &st) != 0)
        return std::nullopt;
    return st.st_mtime;
}

std::string ExtractFilePath(const std::string& path) {
    std::string p = NormalizePath(path);
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    std::string p = NormalizePath(path);
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& path) {
    std::string name = ExtractFileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

} // namespace ostrander
