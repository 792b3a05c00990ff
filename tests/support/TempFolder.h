#pragma once
// The temporary folders of the tests. TempFolder is a fresh folder under the
// system's temporary folder with a name no other test (or test run) has,
// removed with everything in it when the object goes. TempProgramFolder is
// one with a program folder bin/ beside a device folder Devices/, and the
// program folder pointed at bin/ while it lives, so that the device scan
// reads Devices/. With them, whole files read and written as bytes and the
// names in a folder.
#include "toolkit/Paths.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostrander::testing_support {

// The bytes of a file; empty when it cannot be read.
inline std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteWhole(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// The names in a folder, sorted: to see what a save left beside its target.
inline std::vector<std::string> Entries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class TempFolder {
public:
    // prefix: the start of the folder's name, to tell whose folder it is.
    explicit TempFolder(const std::string& prefix = "ostrander") {
        std::string templ =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(templ.data()) == nullptr)
            throw std::runtime_error("cannot make a temporary folder like " + templ);
        path_ = std::filesystem::canonical(templ);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of `name` in the folder, as text.
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Writes `name` with the bytes of `text` and returns its path.
    std::string Write(const std::string& name, const std::string& text) const {
        WriteWhole(path_ / name, text);
        return File(name);
    }
    // Makes the folder `name` (and those above it) and returns its path.
    std::string Make(const std::string& name) const {
        std::filesystem::create_directories(path_ / name);
        return File(name);
    }

private:
    std::filesystem::path path_;
};

class TempProgramFolder : public TempFolder {
public:
    explicit TempProgramFolder(const std::string& prefix = "ostrander-program")
        : TempFolder(prefix), previous_(ProgramFolder()) {
        Make("bin");
        Make("Devices");
        SetProgramFolder(File("bin"));
    }
    ~TempProgramFolder() { SetProgramFolder(previous_); }

    // Writes Devices/<name> and returns the name as the program uses it.
    std::string WriteDevice(const std::string& name, const std::string& text) const {
        Write("Devices/" + name, text);
        return std::string(DeviceFolderRelative) + name;
    }

private:
    std::string previous_;
};

} // namespace ostrander::testing_support
