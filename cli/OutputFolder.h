#pragma once
// An output folder that appears whole or not at all: files are written into
// a hidden staging folder beside the target, which is renamed into place when
// everything is written. Until then nothing exists at the target, and the
// staging folder is removed when the object goes without committing.
#include <filesystem>
#include <string>

class QImage;

namespace ostrander {

class OutputFolder {
public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Checks, without creating anything, that the target can be written:
    // its parent folder exists and the target is absent, an empty folder, or
    // (with replace) a folder of earlier results (holding summary.json or
    // summary.csv).
    bool Check(const std::string& target, bool replace, std::string& error);
    // Creates the staging folder (after Check).
    bool Begin(std::string& error);

    // Paths relative to the folder; subfolders must be made first.
    bool MakeFolder(const std::string& relative, std::string& error);
    bool WriteText(const std::string& relative, const std::string& text, std::string& error);
    bool WritePng(const std::string& relative, const QImage& image, std::string& error);

    // Moves the staging folder to the target (replacing an old one when
    // allowed). On failure the target is as it was before.
    bool Commit(std::string& error);

private:
    void Discard();

    std::filesystem::path target_;
    std::filesystem::path staging_;
    bool replace_ = false;
    bool committed_ = false;
};

} // namespace ostrander
