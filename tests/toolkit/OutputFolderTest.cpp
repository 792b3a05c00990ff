// The output folder of ostrander-cli: what --force may replace, what a new
// run may clean up, and that nothing else is ever removed or written through.
#include "toolkit/OutputFolder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrander {
namespace {

using testing_support::ReadWhole;
using testing_support::WriteWhole;
using testing_support::Entries;

namespace fs = std::filesystem;

// A process number that is certainly not running: a child that has exited.
pid_t DeadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

class OutputFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd_ = fs::current_path();
        oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
        fs::create_directory(dir_ / "home");
        ASSERT_EQ(::setenv("HOME", (dir_ / "home").c_str(), 1), 0);
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        ::setenv("HOME", oldHome_.c_str(), 1);
    }
    // A complete run: one file at the top and one in a subfolder.
    bool Run(const fs::path& target, bool replace, const std::string& text, std::string& error) {
        OutputFolder out;
        return out.Check(target.string(), replace, error) && out.Begin(error) &&
               out.MakeFolder("000-Flat", error) &&
               out.WriteFile("000-Flat/summary.json", text, error) &&
               out.WriteFile("summary.csv", text, error) && out.Commit(error);
    }
    testing_support::TempFolder temp_{"ostrander-out"};
    const fs::path dir_ = temp_.Path();
    fs::path oldCwd_;
    std::string oldHome_;
};

TEST_F(OutputFolderTest, WritesARecordAndReplacesOnlyItsOwnOutput) {
    const fs::path out = dir_ / "out";
    std::string error;
    ASSERT_TRUE(Run(out, false, "first", error)) << error;
    // Each file is recorded before it is written, and with its size and
    // SHA-256 hash once it is whole.
    EXPECT_EQ(ReadWhole(out / OutputFolder::ManifestName),
              std::string(OutputFolder::ManifestHeader) + "\n000-Flat/\n000-Flat/summary.json\n"
                  "#sha256 5 " + Sha256Hex("first") + " 000-Flat/summary.json\n"
                  "summary.csv\n#sha256 5 " + Sha256Hex("first") + " summary.csv\n");
    EXPECT_FALSE(Run(out, false, "second", error));
    EXPECT_NE(error.find("is not empty"), std::string::npos) << error;

    ASSERT_TRUE(Run(out, true, "second", error)) << error;
    EXPECT_EQ(ReadWhole(out / "summary.csv"), "second");
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"home", "out"})); // no staging, no old
}

// --force meets a folder with anything this program did not write: it is
// refused and every file stays, whatever summary files the folder holds.
TEST_F(OutputFolderTest, ForceRefusesFoldersWithForeignEntries) {
    struct Case {
        const char* name;
        void (*spoil)(const fs::path& out);
        const char* message;
    };
    const Case cases[] = {
        {"no record, summary files of an older version",
         [](const fs::path& out) {
             fs::remove(out / OutputFolder::ManifestName);
             WriteWhole(out / "thesis.tex", "years of work");
         },
         "no readable .ostrander-output"},
        {"a user's file added",
         [](const fs::path& out) { WriteWhole(out / "notes.txt", "mine"); },
         "\"notes.txt\", which this program did not write"},
        {"a user's file in a subfolder",
         [](const fs::path& out) { WriteWhole(out / "000-Flat" / "notes.txt", "mine"); },
         "\"000-Flat/notes.txt\""},
        {"a listed file swapped for a link",
         [](const fs::path& out) {
             fs::remove(out / "summary.csv");
             fs::create_symlink(out.parent_path() / "home", out / "summary.csv");
         },
         "\"summary.csv\""},
        {"a listed folder swapped for a link",
         [](const fs::path& out) {
             fs::remove_all(out / "000-Flat");
             fs::create_symlink(out.parent_path() / "home", out / "000-Flat");
         },
         "\"000-Flat\""},
        {"a record that names a parent",
         [](const fs::path& out) {
             std::ofstream(out / OutputFolder::ManifestName, std::ios::app) << "../home/\n";
         },
         "\"../home/\""},
        {"a record that is someone else's",
         [](const fs::path& out) { WriteWhole(out / OutputFolder::ManifestName, "x\nsummary.csv\n"); },
         "not ours"},
    };
    WriteWhole(dir_ / "home" / "keep", "keep");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir_ / "out";
        fs::remove_all(out);
        std::string error;
        ASSERT_TRUE(Run(out, false, "first", error)) << error;
        c.spoil(out);
        std::vector<std::string> before;
        for (const auto& e : fs::recursive_directory_iterator(out))
            before.push_back(e.path().string());
        EXPECT_FALSE(Run(out, true, "second", error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find("not replacing it"), std::string::npos) << error;
        std::vector<std::string> after;
        for (const auto& e : fs::recursive_directory_iterator(out))
            after.push_back(e.path().string());
        EXPECT_EQ(before, after);
        EXPECT_EQ(ReadWhole(dir_ / "home" / "keep"), "keep");
        EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"home", "out"}));
    }
}

// The folder holding the working directory, the home folder and the root
// are never the output, even when they look like an earlier output.
TEST_F(OutputFolderTest, NeverReplacesHomeRootOrTheWorkingFolder) {
    const fs::path project = dir_ / "home" / "project";
    fs::create_directories(project);
    std::string error;
    // A folder of our own output that the user then works in.
    ASSERT_TRUE(Run(dir_ / "home" / "results", false, "first", error)) << error;
    fs::create_directory(dir_ / "home" / "results" / "000-Flat" / "sub");

    struct Case {
        fs::path cwd;
        std::string target;
        const char* message;
    };
    const Case cases[] = {
        {project, "..", "the working folder"},
        {project, ".", "the working folder"},
        {project, dir_.string(), "the working folder"},
        {dir_, (dir_ / "home").string(), "home folder"},
        {dir_, "/", "output folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        fs::current_path(c.cwd);
        OutputFolder out;
        EXPECT_FALSE(out.Check(c.target, true, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    fs::current_path(dir_ / "home" / "results" / "000-Flat");
    OutputFolder inside;
    EXPECT_FALSE(inside.Check("..", true, error));
    EXPECT_NE(error.find("the working folder"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(dir_ / "home" / "results" / "summary.csv"));
}

// A killed run leaves ".<out>.partial-<pid>"; the next run into the same
// place removes it when it holds only what it recorded. A running process's
// folder, one with a foreign file, and a planted link stay as they are.
TEST_F(OutputFolderTest, NextRunRemovesAKilledRunsStagingFolderOnly) {
    const fs::path out = dir_ / "out";
    const std::string dead = std::to_string(DeadPid());
    const std::string live = std::to_string(::getppid());
    auto stage = [&](const std::string& suffix) {
        const fs::path folder = dir_ / (".out.partial-" + suffix);
        fs::create_directories(folder / "000-Flat");
        WriteWhole(folder / "000-Flat" / "surface.png", "half");
        WriteWhole(folder / OutputFolder::ManifestName,
                   std::string(OutputFolder::ManifestHeader) + "\n000-Flat/\n000-Flat/surface.png\n"
                       "#sha256 4 " + Sha256Hex("half") + " 000-Flat/surface.png\nsummary.csv\n");
        return folder;
    };
    stage(dead);
    stage(dead + "-1");
    stage(live);
    const fs::path foreign = stage(std::to_string(DeadPid()));
    WriteWhole(foreign / "mine.txt", "mine");
    fs::create_symlink(dir_ / "home", dir_ / (".out.partial-" + std::to_string(DeadPid())));

    std::string error;
    OutputFolder run;
    ASSERT_TRUE(run.Check(out.string(), false, error)) << error;
    ASSERT_TRUE(run.Begin(error)) << error;
    EXPECT_FALSE(fs::exists(dir_ / (".out.partial-" + dead))) << run.Note();
    EXPECT_FALSE(fs::exists(dir_ / (".out.partial-" + dead + "-1")));
    EXPECT_TRUE(fs::exists(dir_ / (".out.partial-" + live) / "000-Flat" / "surface.png"));
    EXPECT_EQ(ReadWhole(foreign / "mine.txt"), "mine");
    EXPECT_TRUE(fs::exists(foreign / "000-Flat" / "surface.png"));
    EXPECT_TRUE(fs::is_directory(dir_ / "home"));
    EXPECT_EQ(Entries(dir_).size(), 5u); // home, live, foreign, the link, ours
}

// Names this run would choose are taken by planted links (its staging
// folder, the old folder of a replacement): they are skipped, never entered
// or removed, and the files they point to stay.
TEST_F(OutputFolderTest, PlantedLinksAtStagingNamesAreSkipped) {
    const fs::path out = dir_ / "out";
    std::string error;
    ASSERT_TRUE(Run(out, false, "first", error)) << error;
    const std::string pid = std::to_string(::getpid());
    WriteWhole(dir_ / "home" / "notes.txt", "notes");
    const fs::path links[] = {dir_ / (".out.partial-" + pid), dir_ / (".out.old-" + pid)};
    for (const fs::path& link : links)
        fs::create_symlink(dir_ / "home", link);
    // Our own number in a staging name is never "running": a planted link
    // under it is still not a folder this program wrote.
    ASSERT_TRUE(Run(out, true, "second", error)) << error;
    EXPECT_EQ(ReadWhole(out / "summary.csv"), "second");
    for (const fs::path& link : links)
        EXPECT_TRUE(fs::is_symlink(link)) << link;
    EXPECT_EQ(Entries(dir_ / "home"), (std::vector<std::string>{"notes.txt"}));
    EXPECT_EQ(ReadWhole(dir_ / "home" / "notes.txt"), "notes");
}

// A failed run removes its staging folder and nothing else.
TEST_F(OutputFolderTest, FailedRunLeavesNothing) {
    const fs::path out = dir_ / "out";
    std::string error;
    {
        OutputFolder run;
        ASSERT_TRUE(run.Check(out.string(), false, error));
        ASSERT_TRUE(run.Begin(error));
        ASSERT_TRUE(run.MakeFolder("000-Flat", error));
        ASSERT_TRUE(run.WriteFile("000-Flat/a.png", "x", error));
        EXPECT_FALSE(run.WriteFile("000-Flat/a.png", "again", error)); // never reopened
        EXPECT_FALSE(run.WriteFile("../escape", "x", error));
        EXPECT_FALSE(run.MakeFolder("a/../../b", error));
    }
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"home"}));
}

// A file written in pieces is recorded with the size and hash of them all;
// one whose maker or the folder fails is removed and says why, and the
// folder goes on.
TEST_F(OutputFolderTest, FileInPiecesIsRecordedWholeOrRemoved) {
    const fs::path out = dir_ / "out";
    std::string error;
    OutputFolder run;
    ASSERT_TRUE(run.Check(out.string(), false, error));
    ASSERT_TRUE(run.Begin(error));
    ASSERT_TRUE(run.WriteFileInPieces(
        "cube.fits",
        [](const OutputFolder::ByteSink& sink, std::string&) {
            return sink("ab") && sink("") && sink("c");
        },
        error))
        << error;
    EXPECT_FALSE(run.WriteFileInPieces(
        "broken.fits",
        [](const OutputFolder::ByteSink& sink, std::string& why) {
            why = "no more planes";
            return sink("half") && false;
        },
        error));
    EXPECT_NE(error.find("no more planes"), std::string::npos) << error;
    EXPECT_NE(error.find("broken.fits"), std::string::npos) << error;
    EXPECT_FALSE(run.WriteFileInPieces(
        "cube.fits", [](const OutputFolder::ByteSink&, std::string&) { return true; }, error));
    ASSERT_TRUE(run.Commit(error)) << error;
    EXPECT_EQ(ReadWhole(out / "cube.fits"), "abc");
    EXPECT_FALSE(fs::exists(out / "broken.fits"));
    const std::string record = ReadWhole(out / OutputFolder::ManifestName);
    EXPECT_NE(record.find("#sha256 3 " + Sha256Hex("abc") + " cube.fits\n"), std::string::npos)
        << record;
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// A record is trusted only for files that still are what it says: a record
// of an older version (no hashes), one that names a user's file with a hash
// it does not have, and a file changed after the run all stop a --force
// replacement, and the message names the file or tells the user what to do.
TEST_F(OutputFolderTest, ForceRemovesOnlyFilesThatStillMatchTheirRecord) {
    struct Case {
        const char* name;
        std::string record; // empty: the run's own record
        void (*change)(const fs::path& out);
        const char* message;
    };
    const Case cases[] = {
        {"a record without hashes naming a user's file",
         std::string(OutputFolder::OldManifestHeader) + "\nthesis.tex\n", nullptr,
         "remove the folder yourself"},
        {"a record naming a user's file with a hash it does not have",
         std::string(OutputFolder::ManifestHeader) + "\nthesis.tex\n#sha256 6 " +
             Sha256Hex("thesis") + " thesis.tex\n",
         nullptr, "\"thesis.tex\" is no longer what this program wrote"},
        {"a file that was being written when the run stopped",
         std::string(OutputFolder::ManifestHeader) + "\nthesis.tex\n", nullptr,
         "\"thesis.tex\", which a run was still writing"},
        {"a written file changed since", "",
         [](const fs::path& out) { WriteWhole(out / "summary.csv", "edited"); },
         "\"summary.csv\" is no longer what this program wrote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir_ / "out";
        fs::remove_all(out);
        std::string error;
        if (c.record.empty()) {
            ASSERT_TRUE(Run(out, false, "first", error)) << error;
        } else {
            fs::create_directory(out);
            WriteWhole(out / "thesis.tex", "thesis\n");
            WriteWhole(out / OutputFolder::ManifestName, c.record);
        }
        if (c.change)
            c.change(out);
        std::vector<std::pair<std::string, std::string>> before;
        for (const auto& e : fs::recursive_directory_iterator(out))
            if (e.is_regular_file())
                before.emplace_back(e.path().string(), ReadWhole(e.path()));
        EXPECT_FALSE(Run(out, true, "second", error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find("not replacing it"), std::string::npos) << error;
        std::vector<std::pair<std::string, std::string>> after;
        for (const auto& e : fs::recursive_directory_iterator(out))
            if (e.is_regular_file())
                after.emplace_back(e.path().string(), ReadWhole(e.path()));
        EXPECT_EQ(before, after);
    }
}

// A killed run's staging folder whose record does not match what it holds
// (user files and an older record naming them, or a wrong hash) is left
// alone, and the next run names it in its note.
TEST_F(OutputFolderTest, AStagingFolderThatDoesNotMatchItsRecordIsLeftAndNamed) {
    const std::string records[] = {
        std::string(OutputFolder::OldManifestHeader) + "\nthesis.tex\n",
        std::string(OutputFolder::ManifestHeader) + "\nthesis.tex\n#sha256 6 " +
            Sha256Hex("other") + " thesis.tex\n"};
    for (const std::string& record : records) {
        const fs::path staging = dir_ / (".out.partial-" + std::to_string(DeadPid()));
        fs::create_directory(staging);
        WriteWhole(staging / "thesis.tex", "thesis");
        WriteWhole(staging / OutputFolder::ManifestName, record);
        std::string error;
        OutputFolder run;
        ASSERT_TRUE(run.Check((dir_ / "out").string(), true, error)) << error;
        ASSERT_TRUE(run.Begin(error)) << error;
        ASSERT_TRUE(run.WriteFile("summary.csv", "x", error)) << error;
        ASSERT_TRUE(run.Commit(error)) << error;
        EXPECT_EQ(ReadWhole(staging / "thesis.tex"), "thesis");
        EXPECT_NE(run.Note().find(staging.string()), std::string::npos) << run.Note();
        EXPECT_NE(run.Note().find("left the folder"), std::string::npos) << run.Note();
        fs::remove_all(dir_ / "out");
    }
}

// A --force run killed between its two renames: with the earlier output
// moved aside and no new one, the next run moves it back; with the new one
// in place, the next run removes the earlier one (only when it matches its
// record). Each time the note says what was done.
TEST_F(OutputFolderTest, TheNextRunFinishesAnInterruptedReplacement) {
    const fs::path out = dir_ / "out";
    std::string error;
    ASSERT_TRUE(Run(out, false, "first", error)) << error;
    const fs::path aside = dir_ / (".out.old-" + std::to_string(DeadPid()));
    fs::rename(out, aside);
    {
        OutputFolder run;
        EXPECT_FALSE(run.Check(out.string(), false, error)); // restored, so not empty
        EXPECT_NE(error.find("is not empty"), std::string::npos) << error;
        EXPECT_NE(run.Note().find("restored the earlier output"), std::string::npos) << run.Note();
    }
    EXPECT_EQ(ReadWhole(out / "summary.csv"), "first");
    EXPECT_FALSE(fs::exists(aside));

    // Killed after the second rename: the new output is in place.
    const fs::path old = dir_ / (".out.old-" + std::to_string(DeadPid()));
    fs::copy(out, old, fs::copy_options::recursive);
    OutputFolder run;
    ASSERT_TRUE(run.Check(out.string(), true, error)) << error;
    EXPECT_FALSE(fs::exists(old));
    EXPECT_NE(run.Note().find("removed the earlier output"), std::string::npos) << run.Note();
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"home", "out"}));

    // An old folder with a user's file in it stays, and is named.
    fs::copy(out, old, fs::copy_options::recursive);
    WriteWhole(old / "notes.txt", "mine");
    OutputFolder again;
    ASSERT_TRUE(again.Check(out.string(), true, error)) << error;
    EXPECT_EQ(ReadWhole(old / "notes.txt"), "mine");
    EXPECT_NE(again.Note().find(old.string()), std::string::npos) << again.Note();
}

// When the output folder cannot be made, the message names the user's
// folder, not the hidden staging folder beside it.
TEST_F(OutputFolderTest, MessagesNameTheOutputFolderNotTheStagingFolder) {
    // A name whose staging name is too long for the file system.
    const fs::path longName = dir_ / std::string(250, 'r');
    std::string error;
    OutputFolder run;
    ASSERT_TRUE(run.Check(longName.string(), false, error)) << error;
    EXPECT_FALSE(run.Begin(error));
    EXPECT_NE(error.find("cannot create the output folder \"" + longName.string() + "\""),
              std::string::npos) << error;
    EXPECT_EQ(error.find(".partial-"), std::string::npos) << error;

    if (::geteuid() != 0) { // root writes into a read-only folder anyway
        const fs::path locked = dir_ / "locked";
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        OutputFolder inLocked;
        ASSERT_TRUE(inLocked.Check((locked / "out").string(), false, error)) << error;
        EXPECT_FALSE(inLocked.Begin(error));
        EXPECT_NE(error.find((locked / "out").string() + "\""), std::string::npos) << error;
        EXPECT_EQ(error.find(".partial-"), std::string::npos) << error;
        fs::permissions(locked, fs::perms::owner_all);
    }
}

} // namespace
} // namespace ostrander
