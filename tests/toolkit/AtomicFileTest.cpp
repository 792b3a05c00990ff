// Saves that never write through a name someone else planted, and that leave
// nothing behind when they fail.
#include "toolkit/AtomicFile.h"
#include "toolkit/IniFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

namespace ostrander {
namespace {

using namespace testing_support; // ReadWhole, WriteWhole, Entries

namespace fs = std::filesystem;

// The names the test seam hands out: "n0", "n1", ...
std::string CountedName(int attempt) {
    return "n" + std::to_string(attempt);
}

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir_ / "shared");
        fs::create_directory(dir_ / "private");
    }
    void TearDown() override {
        atomic_file_testing::SetNameSource(nullptr);
        atomic_file_testing::SetSaveHook(nullptr);
    }
    // A temporary name the save could choose for target, with the seam's text.
    fs::path Temporary(const fs::path& target, const std::string& letters) const {
        return target.parent_path() / ("." + target.filename().string() + "." + letters + ".tmp~");
    }
    testing_support::TempFolder temp_{"ostrander-atomic"};
    const fs::path dir_ = temp_.Path();
};

// A hostile neighbour plants symbolic links in a shared folder at every name
// the save could pick, including the fixed name older versions used: one to
// a file of the victim, one dangling into the victim's folder, one to a
// folder. The save takes the first free name, writes only the target, and
// no planted link or the file behind it changes.
TEST_F(AtomicFile, PlantedLinksAtTemporaryNamesAreNeverWrittenThrough) {
    atomic_file_testing::SetNameSource(&CountedName);
    const fs::path target = dir_ / "shared" / "set.pat";
    const fs::path notes = dir_ / "private" / "notes.txt";
    WriteWhole(target, "[General]\r\nFileType=Actuator Pattern Set\r\n");
    WriteWhole(notes, "my notes\n");

    struct Plant {
        fs::path link;
        fs::path points;
    };
    const Plant plants[] = {
        {target.string() + ".tmp~", notes},                    // the old fixed name
        {Temporary(target, "n0"), notes},                      // a file of the victim
        {Temporary(target, "n1"), dir_ / "private" / "new"},  // dangling
        {Temporary(target, "n2"), dir_ / "private"},           // a folder
    };
    for (const Plant& p : plants)
        fs::create_symlink(p.points, p.link);

    IniFile set(target.string());
    set.WriteString("General", "PatternSetName", "Mine");
    ASSERT_TRUE(set.UpdateFile());

    EXPECT_EQ(ReadWhole(notes), "my notes\n");
    EXPECT_FALSE(fs::exists(dir_ / "private" / "new"));
    EXPECT_EQ(Entries(dir_ / "private"), (std::vector<std::string>{"notes.txt"}));
    for (const Plant& p : plants) {
        EXPECT_TRUE(fs::is_symlink(p.link)) << p.link;
        EXPECT_EQ(fs::read_symlink(p.link), p.points);
    }
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(IniFile(target.string()).ReadString("General", "PatternSetName", ""), "Mine");
    // The name it used (n3) is the renamed target now; nothing else is left.
    EXPECT_EQ(Entries(dir_ / "shared").size(), 5u);
    EXPECT_FALSE(fs::exists(Temporary(target, "n3")));
}

// With every name taken the save fails cleanly: the target is untouched.
TEST_F(AtomicFile, NoFreeNameFailsWithoutTouchingAnything) {
    atomic_file_testing::SetNameSource([](int) { return std::string("taken"); });
    const fs::path target = dir_ / "shared" / "set.pat";
    WriteWhole(target, "old");
    fs::create_symlink(dir_ / "private" / "victim", Temporary(target, "taken"));
    EXPECT_FALSE(AtomicWriteFile(target.string(), "new"));
    EXPECT_EQ(ReadWhole(target), "old");
    EXPECT_FALSE(fs::exists(dir_ / "private" / "victim"));
}

// Random names: two saves in a row use different temporary files, each
// gone afterwards, and a very long target name still fits.
TEST_F(AtomicFile, RandomNamesAreFreshAndCleanedUp) {
    static std::vector<std::string> seen;
    seen.clear();
    atomic_file_testing::SetSaveHook([](const std::string& tmp) {
        seen.push_back(tmp);
        return true;
    });
    const fs::path target = dir_ / "shared" / (std::string(250, 'a') + ".pat");
    ASSERT_TRUE(AtomicWriteFile(target.string(), "one"));
    ASSERT_TRUE(AtomicWriteFile(target.string(), "two"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[0], seen[1]);
    for (const std::string& tmp : seen) {
        EXPECT_EQ(fs::path(tmp).parent_path(), target.parent_path());
        EXPECT_EQ(fs::path(tmp).filename().string().front(), '.');
        EXPECT_FALSE(fs::exists(fs::symlink_status(tmp)));
    }
    EXPECT_EQ(ReadWhole(target), "two");
    EXPECT_EQ(Entries(dir_ / "shared").size(), 1u);
}

// The target as a link: a link to a file writes that file; a dangling link
// creates the file it names (relative links resolve from the link's folder);
// a chain of links is followed to its end; a link to a folder is refused.
TEST_F(AtomicFile, SaveThroughTheTargetLinkWritesTheFileItNames) {
    const fs::path real = dir_ / "private" / "real.pat";
    WriteWhole(real, "old");
    ::chmod(real.c_str(), 0640);
    const fs::path link = dir_ / "shared" / "link.pat";
    fs::create_symlink(real, link);
    ASSERT_TRUE(AtomicWriteFile(link.string(), "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadWhole(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const fs::path dangling = dir_ / "shared" / "dangling.pat";
    fs::create_symlink("../private/made.pat", dangling);
    ASSERT_TRUE(AtomicWriteFile(dangling.string(), "made"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadWhole(dir_ / "private" / "made.pat"), "made");

    const fs::path chain = dir_ / "shared" / "chain.pat";
    fs::create_symlink(link, chain);
    ASSERT_TRUE(AtomicWriteFile(chain.string(), "chained"));
    EXPECT_EQ(ReadWhole(real), "chained");

    const fs::path toFolder = dir_ / "shared" / "folder.pat";
    fs::create_symlink(dir_ / "private", toFolder);
    EXPECT_FALSE(AtomicWriteFile(toFolder.string(), "x"));

    const fs::path loop = dir_ / "shared" / "loop.pat";
    fs::create_symlink(loop, loop);
    EXPECT_FALSE(AtomicWriteFile(loop.string(), "x"));
    EXPECT_TRUE(fs::is_symlink(loop));
}

// A new file gets the usual permissions (0666 less the umask), not the
// temporary file's.
TEST_F(AtomicFile, NewFileTakesTheUmask) {
    const mode_t previous = ::umask(027);
    const fs::path target = dir_ / "shared" / "new.pat";
    const bool saved = AtomicWriteFile(target.string(), "x");
    ::umask(previous);
    ASSERT_TRUE(saved);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A write that cannot finish (the file-size limit stands in for a full
// disk) fails, keeps the old file byte for byte and leaves no temporary file.
TEST_F(AtomicFile, FullDiskKeepsTheOldFileAndLeavesNothing) {
    const fs::path target = dir_ / "shared" / "set.pat";
    const std::string old(1000, 'o');
    WriteWhole(target, old);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limit = saved;
    limit.rlim_cur = 4096;
    // Over the limit, write() fails with EFBIG instead of raising SIGXFSZ.
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool ok = AtomicWriteFile(target.string(), std::string(10000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadWhole(target), old);
    EXPECT_EQ(Entries(dir_ / "shared"), (std::vector<std::string>{"set.pat"}));
}

// Saves killed before their rename leave ".set.pat.<random>.tmp~" files.
// The next save of set.pat removes those over an hour old, and nothing
// else: not a fresh one (a save may be running), not one of another file,
// not a name of another shape, not a link of the right name.
TEST_F(AtomicFile, ASaveRemovesStaleTemporariesOfItsFileOnly) {
    const fs::path target = dir_ / "shared" / "set.pat";
    WriteWhole(target, "old");
    const fs::path stale = Temporary(target, "AbCdEf012345");
    const fs::path fresh = Temporary(target, "ZyXwVu987654");
    const fs::path other = dir_ / "shared" / ".other.pat.AbCdEf012345.tmp~";
    const fs::path shape = Temporary(target, "short");
    const fs::path link = Temporary(target, "LiNkLiNk1234");
    for (const fs::path& p : {stale, fresh, other, shape})
        WriteWhole(p, "left by a killed save");
    fs::create_symlink(dir_ / "private" / "victim", link);
    WriteWhole(dir_ / "private" / "victim", "victim");
    const std::time_t twoHoursAgo = std::time(nullptr) - 2 * 60 * 60;
    for (const fs::path& p : {stale, other, shape, link}) {
        const struct timespec times[2] = {{twoHoursAgo, 0}, {twoHoursAgo, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << p;
    }
    ASSERT_TRUE(AtomicWriteFile(target.string(), "new"));
    EXPECT_EQ(ReadWhole(target), "new");
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    for (const fs::path& p : {fresh, other, shape})
        EXPECT_EQ(ReadWhole(p), "left by a killed save") << p;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadWhole(dir_ / "private" / "victim"), "victim");
}

} // namespace
} // namespace ostrander
