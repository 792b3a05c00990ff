#include "cli/DeviceLookup.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/InfoFileListClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/MembraneModel.h"
#include "toolkit/Format.h"
#include "toolkit/Paths.h"
#include "toolkit/IniFile.h"
#include "toolkit/TerminalText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ostrander {

std::string ShownName(const std::string& name, std::size_t maxBytes) {
    if (name.size() <= maxBytes)
        return TerminalSafe(name);
    // Cut before a UTF-8 continuation byte, never inside a character.
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return TerminalSafe(std::string_view(name).substr(0, cut)) + "...";
}

std::string Quoted(const std::string& text) {
    return "\"" + ShownName(text, 200) + "\"";
}

std::string MirrorFileContentProblem(const std::string& path) {
    const IniFile ini(path);
    if (!ini.SectionExists("General"))
        return "it has no [General] section";
    if (ini.ReadString("General", "FileType", "") != MirrorInfoClass::MirrorInfoFileType)
        return "its FileType is not \"" + std::string(MirrorInfoClass::MirrorInfoFileType) + "\"";
    if (!ini.SectionExists("DM Model"))
        return "it has no [DM Model] section";
    return {};
}

std::vector<DeviceEntry> ListDevices() {
    InfoFileListClass list(MirrorInfoClass::MirrorInfoFileType);
    list.Scan(DeviceFolder(), ".ini");
    std::vector<DeviceEntry> devices;
    for (int i = 0; i < list.Count(); ++i) {
        DeviceEntry entry;
        entry.deviceName = list.GetDeviceName(i);
        entry.programPath = list.GetPath(i);
        entry.fileName = ExtractFileName(NormalizePath(entry.programPath));
        entry.absolutePath = DevicePath(entry.programPath);
        std::error_code ec;
        const auto canonical = std::filesystem::weakly_canonical(entry.absolutePath, ec);
        if (!ec)
            entry.absolutePath = canonical.string();
        const MirrorInfoClass info(entry.programPath);
        if (info.Model) {
            entry.actuators = info.Model->Actuators;
            for (const MembraneModelInfo& model : MembraneModels())
                if (model.make()->CheckActuators(*info.Model) == RunStart::Started)
                    entry.models.emplace_back(model.name);
        }
        entry.limitVoltage = info.LimitVoltage;
        devices.push_back(std::move(entry));
    }
    return devices;
}

std::string FileReadReason(const std::string& path, std::size_t limit) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status))
        return "no such file";
    if (!std::filesystem::is_regular_file(status))
        return "it is not a file";
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > limit)
        return "it is " + std::to_string(size) + " bytes, over the limit of " +
               std::to_string(limit) + " bytes";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::strerror(errno);
    std::fclose(f);
    return {};
}

std::string FileReadProblem(const std::string& path, std::size_t limit, const char* kind) {
    const std::string reason = FileReadReason(path, limit);
    if (reason.empty())
        return {};
    const std::string quoted = Quoted(path);
    if (reason.rfind("it is ", 0) == 0 && reason != "it is not a file")
        return std::string(kind) + " " + quoted + " is " + reason.substr(6);
    return "cannot read " + std::string(kind) + " " + quoted + ": " + reason;
}

std::vector<UnreadableDevice> UnreadableDevices() {
    std::vector<UnreadableDevice> files;
    const std::string folder = DevicePath(DeviceFolder());
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || name.size() < 4 ||
            !SameText(name.substr(name.size() - 4), ".ini"))
            continue;
        std::string reason = FileReadReason(it->path().string(), IniFile::MaxFileBytes);
        if (!reason.empty())
            files.push_back({name, std::move(reason)});
    }
    std::sort(files.begin(), files.end(),
              [](const UnreadableDevice& a, const UnreadableDevice& b) { return a.fileName < b.fileName; });
    return files;
}

namespace {

// The devices that `matches` accepts; an error names them when several do.
template <typename Match>
int FindDevice(const std::vector<DeviceEntry>& devices, const std::string& mirror, Match matches,
               std::string& infoFile, std::string& error) {
    std::vector<const DeviceEntry*> found;
    for (const DeviceEntry& d : devices)
        if (matches(d))
            found.push_back(&d);
    if (found.size() == 1) {
        infoFile = found.front()->programPath;
        return 1;
    }
    if (found.size() > 1) {
        error = "\"" + mirror + "\" matches several mirrors (";
        for (std::size_t i = 0; i < found.size(); ++i)
            error += (i ? ", " : "") + found[i]->fileName;
        error += "); name the file instead";
        return -1;
    }
    return 0;
}

bool HasSeparator(const std::string& text) {
    return text.find('/') != std::string::npos || text.find('\\') != std::string::npos;
}

} // namespace

bool ResolveMirror(const std::string& mirror, std::string& infoFile, std::string& error) {
    if (mirror.empty()) {
        error = "no mirror named";
        return false;
    }
    if (!HasSeparator(mirror)) {
        const std::vector<DeviceEntry> devices = ListDevices();
        const auto lookups = {
            +[](const DeviceEntry& d, const std::string& m) { return d.deviceName == m; },
            +[](const DeviceEntry& d, const std::string& m) { return SameText(d.deviceName, m); },
            +[](const DeviceEntry& d, const std::string& m) {
                return SameText(d.fileName, m) || SameText(d.fileName, m + ".ini");
            }};
        for (auto lookup : lookups) {
            const int result = FindDevice(
                devices, mirror, [&](const DeviceEntry& d) { return lookup(d, mirror); }, infoFile,
                error);
            if (result != 0)
                return result > 0;
        }
    }
    std::error_code ec;
    if (std::filesystem::is_regular_file(mirror, ec)) {
        infoFile = std::filesystem::absolute(mirror, ec).string();
        return !ec;
    }
    // A file of the device folder that is there but cannot be read.
    if (!HasSeparator(mirror))
        for (const UnreadableDevice& file : UnreadableDevices())
            if (SameText(file.fileName, mirror) || SameText(file.fileName, mirror + ".ini")) {
                error = "cannot read mirror file \"" + ShownName(file.fileName, 200) +
                        "\" of the device folder: " + file.reason;
                return false;
            }
    error = "unknown mirror \"" + mirror +
            "\" (not a device name, not a file; see \"ostrander-cli mirrors\")";
    const DeviceFolderChoice devices = DeviceFolderInUse();
    if (!devices.Found())
        error += "; " + devices.Describe();
    return false;
}

bool LocateMirrorFile(const std::string& mirror, std::string& infoFile, std::string& error) {
    if (!ResolveMirror(mirror, infoFile, error))
        return false;
    const std::string path = DevicePath(infoFile);
    if (std::string problem = FileReadProblem(path, IniFile::MaxFileBytes, "mirror file");
        !problem.empty()) {
        infoFile.clear();
        error = problem;
        return false;
    }
    if (std::string problem = MirrorFileContentProblem(path); !problem.empty()) {
        infoFile.clear();
        error = Quoted(mirror) + " is not a mirror info file: " + problem;
        return false;
    }
    return true;
}

} // namespace ostrander
