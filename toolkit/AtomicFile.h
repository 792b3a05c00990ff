#pragma once
// Saving a file so that it appears whole or not at all, and so that no name
// another user could have planted is ever written through.
//
// Rules:
//  - The text goes to a new temporary file in the target's own folder, made
//    with a unique hidden name (".<name>.<random>.tmp~") and O_CREAT|O_EXCL,
//    so an existing entry of that name (a file, a folder, a symbolic link,
//    dangling or not) is never opened: another name is tried instead. The
//    temporary file is then renamed over the target.
//  - Every failure (no free name, a short write, a full disk, fsync, the
//    rename) removes the temporary file and leaves the target as it was.
//  - A target that is a symbolic link is followed: the file the link names
//    is written and the link stays. A dangling link gets the file it names.
//    A target (after the links) that exists but is not a regular file is
//    refused.
//  - The saved file keeps the old file's permission bits; a new file gets
//    0666 less the process's umask.
//  - A save removes the temporary files that earlier saves of the same file
//    left when they were killed: only regular files of this user with
//    exactly that name pattern, last changed more than an hour ago.
#include <string>
#include <string_view>

namespace ostrander {

// Writes text to fileName as above; false on any failure.
bool AtomicWriteFile(const std::string& fileName, std::string_view text);

// Creates a new, empty file exclusively with a unique hidden name in folder
// (".<stem>.<random>.tmp~", the stem cut to keep the name short). Returns the
// open descriptor (O_WRONLY, close-on-exec) and sets path, or -1.
int CreateExclusiveTemporary(const std::string& folder, std::string_view stem, std::string& path);

// Writes all bytes to the descriptor, retrying short writes; false on error.
bool WriteAll(int fd, std::string_view bytes);

// Follows the symbolic links of fileName (at most 40) to the name of the
// file they end at, which need not exist. False when a link cannot be read
// or the chain is too long.
bool ResolveSaveTarget(const std::string& fileName, std::string& target);

namespace atomic_file_testing {
// Called with the temporary file's name after it has been written and before
// it is renamed over the target; returning false makes the save fail there.
using SaveHook = bool (*)(const std::string& temporaryName);
void SetSaveHook(SaveHook hook);
// Replaces the random part of temporary names: called with the attempt
// number from 0, it returns the text used in place of the random letters.
// Null restores the random names.
using NameSource = std::string (*)(int attempt);
void SetNameSource(NameSource source);
} // namespace atomic_file_testing

} // namespace ostrander
