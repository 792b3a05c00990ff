#pragma once
// The list of info files of one file type in a folder (the device folder),
// with the names they are listed under.
#include <string>
#include <vector>

namespace ostrander {

struct InfoFileEntry {
    std::string DeviceName;
    std::string Path; // folder part as given to Scan + file name
};

class InfoFileListClass {
public:
    // fileType: the "General"/FileType value a file must have, e.g. "Mirror Info".
    explicit InfoFileListClass(std::string fileType);

    // Lists the files matching pathOrPattern (a folder ending in a separator,
    // a folder + wildcard pattern, or a file name; relative to the program's
    // folder unless absolute) whose FileType is exactly the wanted one, in
    // name order. defaultExtension is used when the pattern has none. A
    // missing folder gives an empty list. Always true.
    bool Scan(const std::string& pathOrPattern, const std::string& defaultExtension);

    int Count() const { return static_cast<int>(entries_.size()); }
    // For 0 <= i < Count(); empty text otherwise.
    std::string GetDeviceName(int i) const;
    std::string GetPath(int i) const;

private:
    std::string fileType_;
    std::vector<InfoFileEntry> entries_;
};

} // namespace ostrander
