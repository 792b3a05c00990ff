#include "cli/OutputFolder.h"

#include <QImage>

#include <fstream>
#include <system_error>
#include <unistd.h>

namespace ostrander {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

// A hidden sibling of the target, unique to this process.
fs::path Sibling(const fs::path& target, const char* tag) {
    return target.parent_path() /
           ("." + target.filename().string() + tag + std::to_string(::getpid()));
}

} // namespace

OutputFolder::~OutputFolder() {
    if (!committed_)
        Discard();
}

void OutputFolder::Discard() {
    if (staging_.empty())
        return;
    std::error_code ignored;
    fs::remove_all(staging_, ignored);
    staging_.clear();
}

bool OutputFolder::Check(const std::string& target, bool replace, std::string& error) {
    if (target.empty()) {
        error = "no output folder given";
        return false;
    }
    std::error_code ec;
    target_ = fs::weakly_canonical(fs::absolute(target, ec), ec);
    if (!ec && !target_.has_filename())
        target_ = target_.parent_path();
    if (ec || !target_.has_filename() || target_ == target_.root_path()) {
        error = "cannot use \"" + target + "\" as the output folder";
        return false;
    }
    replace_ = replace;
    const fs::path parent = target_.parent_path();
    if (!fs::is_directory(parent, ec)) {
        error = "the folder " + Quoted(parent) + " for the output does not exist";
        return false;
    }
    const fs::file_status status = fs::symlink_status(target_, ec);
    if (!fs::exists(status))
        return true;
    if (!fs::is_directory(status)) {
        error = "output " + Quoted(target_) + " exists and is not a folder";
        return false;
    }
    if (fs::is_empty(target_, ec))
        return true;
    if (!replace) {
        error = "output folder " + Quoted(target_) + " is not empty (--force replaces it)";
        return false;
    }
    // Only an earlier output of this program is replaced, never any folder.
    if (!fs::exists(target_ / "summary.json", ec) && !fs::exists(target_ / "summary.csv", ec)) {
        error = "output folder " + Quoted(target_) +
                " holds no earlier results (no summary.json or summary.csv); not replacing it";
        return false;
    }
    return true;
}

bool OutputFolder::Begin(std::string& error) {
    staging_ = Sibling(target_, ".partial-");
    std::error_code ec;
    fs::remove_all(staging_, ec);
    if (!fs::create_directory(staging_, ec)) {
        error = "cannot create " + Quoted(staging_) + ": " + ec.message();
        staging_.clear();
        return false;
    }
    return true;
}

bool OutputFolder::MakeFolder(const std::string& relative, std::string& error) {
    std::error_code ec;
    if (!fs::create_directory(staging_ / relative, ec)) {
        error = "cannot create folder " + Quoted(target_ / relative) + ": " +
                (ec ? ec.message() : "it exists");
        return false;
    }
    return true;
}

bool OutputFolder::WriteText(const std::string& relative, const std::string& text,
                             std::string& error) {
    const fs::path path = staging_ / relative;
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        error = "cannot write " + Quoted(target_ / relative);
        return false;
    }
    return true;
}

bool OutputFolder::WritePng(const std::string& relative, const QImage& image, std::string& error) {
    const fs::path path = staging_ / relative;
    if (image.isNull() || !image.save(QString::fromStdString(path.string()), "PNG")) {
        error = "cannot write " + Quoted(target_ / relative);
        return false;
    }
    return true;
}

bool OutputFolder::Commit(std::string& error) {
    std::error_code ec;
    if (staging_.empty()) {
        error = "nothing to write";
        return false;
    }
    // rename() replaces an absent target or an empty folder in one step.
    fs::rename(staging_, target_, ec);
    if (!ec) {
        committed_ = true;
        staging_.clear();
        return true;
    }
    if (!replace_ || !fs::is_directory(target_)) {
        error = "cannot create " + Quoted(target_) + ": " + ec.message();
        return false;
    }
    // Replacing a folder with contents: move it aside, move the new one in,
    // then remove the old one; put it back if the second move fails.
    const fs::path old = Sibling(target_, ".old-");
    fs::remove_all(old, ec);
    fs::rename(target_, old, ec);
    if (ec) {
        error = "cannot replace " + Quoted(target_) + ": " + ec.message();
        return false;
    }
    fs::rename(staging_, target_, ec);
    if (ec) {
        std::error_code ignored;
        fs::rename(old, target_, ignored);
        error = "cannot replace " + Quoted(target_) + ": " + ec.message();
        return false;
    }
    committed_ = true;
    staging_.clear();
    fs::remove_all(old, ec);
    return true;
}

} // namespace ostrander
