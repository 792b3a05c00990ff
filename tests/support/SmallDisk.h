#pragma once
// Two ways to run out of room while writing, for tests of full disks:
// SmallTmpfs mounts a real, tiny filesystem (only where this process may
// mount, as root in a container); FileSizeLimit holds a file-size limit
// (RLIMIT_FSIZE) for the current process, under which a write past the
// limit fails with EFBIG instead of raising SIGXFSZ.
#include "support/TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace ostrander::testing_support {

class SmallTmpfs {
public:
    explicit SmallTmpfs(std::size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        mounted_ = ::mount("tmpfs", Path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    // Unmounted first; the mount point goes with the member after.
    ~SmallTmpfs() {
        if (mounted_)
            ::umount2(Path().c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    // False where mounting is not allowed: the test is then skipped.
    bool Mounted() const { return mounted_; }
    const std::filesystem::path& Path() const { return mountPoint_.Path(); }

private:
    TempFolder mountPoint_{"ostrander-small"};
    bool mounted_ = false;
};

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // For a child process about to run another program: the same limit,
    // with SIGXFSZ ignored (which survives exec).
    static void ApplyInChild(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }

private:
    struct rlimit saved_ {};
    void (*previous_)(int) = SIG_DFL;
};

} // namespace ostrander::testing_support
