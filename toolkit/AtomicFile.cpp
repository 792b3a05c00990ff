#include "toolkit/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrander {

namespace {

std::atomic<atomic_file_testing::SaveHook> g_saveHook{nullptr};
std::atomic<atomic_file_testing::NameSource> g_nameSource{nullptr};

// How many names are tried before giving up: only an attacker (or the test
// seam) makes more than the first one fail.
constexpr int kNameAttempts = 64;
// Longest part of the target's name kept in the temporary name, so that the
// temporary name stays within the usual 255-byte limit.
constexpr std::size_t kMaxStem = 200;

std::string RandomLetters() {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string out(12, 'x');
    for (char& c : out)
        c = letters[pick(generator)];
    return out;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// A temporary file older than this was left by a save that never finished
// (a killed process); a save still running renames its file within seconds.
constexpr std::time_t kStaleSeconds = 60 * 60;

bool IsRandomPart(std::string_view text) {
    if (text.size() != 12)
        return false;
    for (const char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Removes the temporary files that earlier saves of the same file left
// behind: regular files of this process's user named exactly
// ".<stem>.<12 letters or digits>.tmp~" and last changed over an hour ago.
void RemoveStaleTemporaries(const std::string& folder, std::string_view stem) {
    const std::string prefix = "." + std::string(stem.substr(0, kMaxStem)) + ".";
    const std::string suffix = ".tmp~";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() != prefix.size() + 12 + suffix.size() || name.substr(0, prefix.size()) != prefix ||
            name.substr(name.size() - suffix.size()) != suffix ||
            !IsRandomPart(name.substr(prefix.size(), 12)))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime <= kStaleSeconds)
            continue;
        ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

namespace atomic_file_testing {
void SetSaveHook(SaveHook hook) {
    g_saveHook = hook;
}
void SetNameSource(NameSource source) {
    g_nameSource = source;
}
} // namespace atomic_file_testing

int CreateExclusiveTemporary(const std::string& folder, std::string_view stem, std::string& path) {
    const std::string base = folder.empty() ? "." : folder;
    const std::string prefix =
        base + (base.back() == '/' ? "." : "/.") + std::string(stem.substr(0, kMaxStem)) + ".";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const auto source = g_nameSource.load();
        const std::string candidate =
            prefix + (source ? source(attempt) : RandomLetters()) + ".tmp~";
        // O_EXCL with O_CREAT fails on any existing entry, a symbolic link
        // included, and never follows one; O_NOFOLLOW says the same twice.
        const int fd = ::open(candidate.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            path = candidate;
            return fd;
        }
        if (errno != EEXIST && errno != EINTR)
            return -1;
    }
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ResolveSaveTarget(const std::string& fileName, std::string& target) {
    namespace fs = std::filesystem;
    std::string current = fileName;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = current;
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size())
            return false;
        link.resize(static_cast<std::size_t>(n));
        // A relative link is relative to the folder that holds it.
        const fs::path next(link);
        current = next.is_absolute() ? link : (fs::path(FolderOf(current)) / next).string();
    }
    return false;
}

bool AtomicWriteFile(const std::string& fileName, std::string_view text) {
    if (fileName.empty())
        return false;
    std::string target;
    if (!ResolveSaveTarget(fileName, target))
        return false;
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode))
        return false;

    const std::string folder = FolderOf(target);
    RemoveStaleTemporaries(folder, std::filesystem::path(target).filename().string());
    std::string tmp;
    const int fd =
        CreateExclusiveTemporary(folder, std::filesystem::path(target).filename().string(), tmp);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text);
    if (ok && hadOld)
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (const auto hook = g_saveHook.load(); ok && hook && !hook(tmp))
        ok = false;
    if (!ok || std::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    SyncFolder(folder);
    return true;
}

} // namespace ostrander
