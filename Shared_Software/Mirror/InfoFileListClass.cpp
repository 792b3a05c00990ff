#include "Shared_Software/Mirror/InfoFileListClass.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <utility>

namespace ostrander {

namespace {
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
} // namespace

InfoFileListClass::InfoFileListClass(std::string fileType) : fileType_(std::move(fileType)) {}

bool InfoFileListClass::Scan(const std::string& pathOrPattern,
                             const std::string& defaultExtension) {
    std::string extension = defaultExtension;
    if (extension.empty() || extension[0] != '.')
        extension = "." + extension;

    std::string folder;
    std::string pattern = pathOrPattern;
    for (std::size_t i = pathOrPattern.size(); i > 0; --i)
        if (IsSeparator(pathOrPattern[i - 1])) {
            folder = pathOrPattern.substr(0, i);
            pattern = pathOrPattern.substr(i);
            break;
        }
    if (!folder.empty() && !IsSeparator(folder.back()))
        folder += '\\';
    if (pattern.empty())
        pattern = "*" + extension;
    else if (pattern.find('.') == std::string::npos)
        pattern += extension;

    const std::string directory = DevicePath(folder.empty() ? "." : folder);
    for (const std::string& name : ListFiles(directory, pattern)) {
        IniFile ini(directory + "/" + name);
        if (ini.ReadString("General", "FileType", "UnKnown") != fileType_)
            continue;
        entries_.push_back(
            InfoFileEntry{ini.ReadString("General", "DeviceName", name), folder + name});
    }
    return true;
}

std::string InfoFileListClass::GetDeviceName(int i) const {
    return i >= 0 && i < Count() ? entries_[static_cast<std::size_t>(i)].DeviceName : std::string();
}

std::string InfoFileListClass::GetPath(int i) const {
    return i >= 0 && i < Count() ? entries_[static_cast<std::size_t>(i)].Path : std::string();
}

} // namespace ostrander
