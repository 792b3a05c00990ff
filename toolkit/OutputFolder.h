#pragma once
// An output folder that appears whole or not at all: files are written into
// a hidden staging folder beside the target (".<name>.partial-<pid>"), which
// is renamed into place when everything is written. Until then nothing
// exists at the target, and the staging folder is removed when the object
// goes without committing.
//
// Every folder this writes holds a record of what it wrote (ManifestName:
// a header line, then one relative path per line, folders ending in '/').
// Replacing an existing folder (--force) and removing a killed run's staging
// folder are allowed only for a folder that holds exactly what its record
// lists, and removal deletes only those entries, never anything else. The
// root, the home folder (or a folder above it) and a folder holding the
// working directory are never replaced.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander {

class OutputFolder {
public:
    static constexpr const char* ManifestName = ".ostrander-output";
    static constexpr const char* ManifestHeader = "ostrander-cli output";

    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Checks, without creating anything, that the target can be written:
    // its parent folder exists and the target is absent, an empty folder, or
    // (with replace) a folder written by this program and holding nothing
    // else.
    bool Check(const std::string& target, bool replace, std::string& error);
    // Removes the staging folders that killed runs left beside the target
    // (only those holding just what they recorded), then creates this run's.
    bool Begin(std::string& error);

    // Paths relative to the folder; subfolders must be made first. Files are
    // created new (an existing name is never opened).
    bool MakeFolder(const std::string& relative, std::string& error);
    bool WriteFile(const std::string& relative, std::string_view bytes, std::string& error);

    // Moves the staging folder to the target (replacing an old one when
    // allowed). On failure the target is as it was before.
    bool Commit(std::string& error);
    // After a successful Commit: a note for the user when the earlier output
    // could not be removed completely (it is then kept beside the target).
    const std::string& Note() const { return note_; }

    const std::filesystem::path& Target() const { return target_; }
    const std::filesystem::path& Staging() const { return staging_; }

private:
    void Discard();
    bool Record(const std::string& line, std::string& error);

    std::filesystem::path target_;
    std::filesystem::path staging_;
    bool replace_ = false;
    bool committed_ = false;
    std::string note_;
};

// What a folder's record lists, when the folder holds exactly that (regular
// files and folders, no links, nothing unlisted). Otherwise false, with the
// first unexpected entry (or what is wrong with the record) in problem.
bool HoldsOnlyRecordedOutput(const std::filesystem::path& folder,
                             std::vector<std::string>& recorded, std::string& problem);

} // namespace ostrander
