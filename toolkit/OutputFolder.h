#pragma once
// An output folder that appears whole or not at all: files are written into
// a hidden staging folder beside the target (".<name>.partial-<pid>"), which
// is renamed into place when everything is written. Until then nothing
// exists at the target, and the staging folder is removed when the object
// goes without committing.
//
// Every folder this writes holds a record of what it wrote (ManifestName:
// the header line, then one line per entry: a folder as "path/", a file as
// "path" when it is about to be written and "#sha256 <size> <hex> path" once
// it is whole). Replacing an existing folder (--force) and removing a killed
// run's staging folder are allowed only for a folder that holds exactly what
// its record lists, every file still of the size and SHA-256 hash recorded,
// and removal deletes only those entries, each checked again just before it
// goes. A record of an older version (no hashes) is never trusted: such a
// folder is left for the user to remove. The root, the home folder (or a
// folder above it) and a folder holding the working directory are never
// replaced.
//
// A --force run that was killed between moving the earlier output aside
// (".<name>.old-<pid>") and moving the new one in leaves no output at the
// target: the next run into the same place moves the earlier one back, or,
// when the new output did arrive, removes the earlier one, and says so in
// Note(). Messages about the output name the user's folder, not these
// hidden ones, except a note about a folder that was left alone.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander {

class OutputFolder {
public:
    static constexpr const char* ManifestName = ".ostrander-output";
    static constexpr const char* ManifestHeader = "ostrander-cli output 2";
    // The header of records without hashes (earlier versions).
    static constexpr const char* OldManifestHeader = "ostrander-cli output";

    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Checks that the target can be written (finishing first what a killed
    // --force run left, see above):
    // its parent folder exists and the target is absent, an empty folder, or
    // (with replace) a folder written by this program and holding nothing
    // else.
    bool Check(const std::string& target, bool replace, std::string& error);
    // Removes the staging folders that killed runs left beside the target
    // (only those whose record matches what they hold; the others are
    // named in Note()), then creates this run's.
    bool Begin(std::string& error);

    // Paths relative to the folder; subfolders must be made first. Files are
    // created new (an existing name is never opened).
    bool MakeFolder(const std::string& relative, std::string& error);
    bool WriteFile(const std::string& relative, std::string_view bytes, std::string& error);
    // The same for a file made in pieces, never held whole: produce hands
    // them to the sink it is given in order, and stops when the sink says
    // false (the folder's message is then in error); it returns false with
    // its own reason in error when it cannot make them. A failed file is
    // removed; the record lists it either way until the folder goes.
    using ByteSink = std::function<bool(std::string_view)>;
    bool WriteFileInPieces(const std::string& relative,
                           const std::function<bool(const ByteSink&, std::string&)>& produce,
                           std::string& error);

    // Moves the staging folder to the target (replacing an old one when
    // allowed). On failure the target is as it was before.
    bool Commit(std::string& error);
    // After a successful Commit: notes for the user ("; " between them): an
    // interrupted run's output restored or finished, a killed run's staging
    // folder left alone, or an earlier output that could not be removed
    // completely (it is then kept beside the target).
    const std::string& Note() const { return note_; }

    const std::filesystem::path& Target() const { return target_; }
    const std::filesystem::path& Staging() const { return staging_; }

private:
    void Discard();
    bool Record(const std::string& line, std::string& error);
    void AddNote(const std::string& note);
    void FinishInterruptedReplace();

    std::filesystem::path target_;
    std::filesystem::path staging_;
    bool replace_ = false;
    bool committed_ = false;
    std::string note_;
};

// What a folder's record lists, when the folder holds exactly that (regular
// files and folders, no links, nothing unlisted, every file of its recorded
// size and hash). Otherwise false, with the first unexpected entry (or what
// is wrong with the record) in problem.
bool HoldsOnlyRecordedOutput(const std::filesystem::path& folder,
                             std::vector<std::string>& recorded, std::string& problem);

// The SHA-256 hash of bytes as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

} // namespace ostrander
