#include "toolkit/OutputFolder.h"

#include "toolkit/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <openssl/evp.h>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ostrander {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxManifestBytes = 4u * 1024u * 1024u;

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// True when inner is outer or lies below it (both absolute and normal).
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty() && std::next(o) == outer.end())
            break; // a trailing separator
        if (i == inner.end() || *i != *o)
            return false;
    }
    return true;
}

fs::path Canonical(const fs::path& path) {
    std::error_code ec;
    fs::path out = fs::weakly_canonical(path, ec);
    return ec ? path : out;
}

// Why the folder must never be replaced, or empty when it may be.
std::string ProtectedReason(const fs::path& target) {
    if (target == target.root_path())
        return "it is the root folder";
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (!ec && IsWithin(Canonical(cwd), target))
        return "it holds the working folder";
    if (const char* home = std::getenv("HOME"); home && *home)
        if (IsWithin(Canonical(home), target))
            return "it is the home folder or holds it";
    return {};
}

bool ReadSmallFile(const fs::path& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::size_t>(st.st_size) <= kMaxManifestBytes;
    text.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || text.size() + static_cast<std::size_t>(n) > kMaxManifestBytes)
            ok = false;
        else if (n == 0)
            break;
        else
            text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

// What the record says of a file once it was written whole.
struct FileSum {
    unsigned long long size = 0;
    std::string sha256; // hex
};

constexpr const char* kSumTag = "#sha256 ";

class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new()) {
        ok_ = context_ && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1;
    }
    ~Sha256() { EVP_MD_CTX_free(context_); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Add(const void* data, std::size_t size) {
        ok_ = ok_ && EVP_DigestUpdate(context_, data, size) == 1;
    }
    // Empty when the digest could not be made.
    std::string Hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!ok_ || EVP_DigestFinal_ex(context_, digest, &length) != 1)
            return {};
        static constexpr char digits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned int k = 0; k < length; ++k) {
            hex += digits[digest[k] >> 4];
            hex += digits[digest[k] & 15];
        }
        return hex;
    }

private:
    EVP_MD_CTX* context_;
    bool ok_ = false;
};

// True when the open file has the recorded size and hash.
bool MatchesSum(int fd, const FileSum& sum) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) != sum.size)
        return false;
    Sha256 hash;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        hash.Add(buffer, static_cast<std::size_t>(n));
    }
    const std::string hex = hash.Hex();
    return !hex.empty() && hex == sum.sha256;
}

// A recorded path: relative, '/'-separated, no empty, "." or ".." parts.
bool PlainRelative(std::string_view path) {
    if (path.empty() || path.front() == '/')
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// Deletes one recorded entry below the folder open as rootFd, never
// following a link on the way (a folder swapped for a link is not entered).
// A file goes only when it still has the recorded size and hash (sum);
// without a sum (the record itself) it goes as it is.
bool RemoveBelow(int rootFd, const std::string& relative, const FileSum* sum = nullptr) {
    const bool folder = !relative.empty() && relative.back() == '/';
    const std::string path = folder ? relative.substr(0, relative.size() - 1) : relative;
    int dirFd = ::dup(rootFd);
    if (dirFd < 0)
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            break;
        const std::string part = path.substr(start, slash - start);
        const int next =
            ::openat(dirFd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(dirFd);
        if (next < 0)
            return errno == ENOENT;
        dirFd = next;
        start = slash + 1;
    }
    const std::string last = path.substr(start);
    if (sum) {
        const int fd = ::openat(dirFd, last.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const bool gone = errno == ENOENT;
            ::close(dirFd);
            return gone;
        }
        const bool same = MatchesSum(fd, *sum);
        ::close(fd);
        if (!same) {
            ::close(dirFd);
            return false;
        }
    }
    const bool ok = ::unlinkat(dirFd, last.c_str(), folder ? AT_REMOVEDIR : 0) == 0 ||
                    errno == ENOENT;
    ::close(dirFd);
    return ok;
}

// Deletes the recorded entries (files first, then folders from the deepest),
// the record and the folder itself. False when anything is left.
bool RemoveRecorded(const fs::path& folder, std::vector<std::string> recorded,
                    const std::map<std::string, FileSum>& sums) {
    const int rootFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0)
        return errno == ENOENT;
    std::stable_sort(recorded.begin(), recorded.end(), [](const std::string& a, const std::string& b) {
        const bool fa = a.back() == '/', fb = b.back() == '/';
        if (fa != fb)
            return !fa; // files first
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    // A file recorded without its hash (never written whole) matches no
    // content: it may only be absent.
    static const FileSum kNothing{~0ull, std::string()};
    bool ok = true;
    for (const std::string& entry : recorded) {
        const auto sum = sums.find(entry);
        const FileSum* check = entry.back() == '/' ? nullptr
                               : sum == sums.end() ? &kNothing
                                                   : &sum->second;
        ok = RemoveBelow(rootFd, entry, check) && ok;
    }
    ok = RemoveBelow(rootFd, OutputFolder::ManifestName) && ok;
    ::close(rootFd);
    return ok && (::rmdir(folder.c_str()) == 0 || errno == ENOENT);
}

// Renames without replacing anything at the new name.
bool RenameNoReplace(const fs::path& from, const fs::path& to, int& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    error = errno;
    return false;
}

// A hidden sibling of the target: ".<name><tag><pid>", with "-<n>" after it
// for n > 0.
fs::path Sibling(const fs::path& target, const char* tag, int n) {
    std::string name = "." + target.filename().string() + tag + std::to_string(::getpid());
    if (n > 0)
        name += "-" + std::to_string(n);
    return target.parent_path() / name;
}

// The process id in a staging folder's name ".<name>.partial-<pid>[-<n>]",
// or 0 when the name is not one.
long StagingOwner(const std::string& entry, const std::string& prefix) {
    if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string rest = entry.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    const std::string pid = rest.substr(0, dash);
    const std::string suffix = dash == std::string::npos ? std::string() : rest.substr(dash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 9 &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(pid) || (dash != std::string::npos && !digits(suffix)))
        return 0;
    return std::strtol(pid.c_str(), nullptr, 10);
}

bool ProcessAlive(long pid) {
    if (pid == ::getpid())
        return false; // a leftover of an earlier process with our number
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

namespace {

// The record's entries and file sums when the folder holds exactly what it
// lists (see HoldsOnlyRecordedOutput).
bool CheckRecorded(const fs::path& folder, std::vector<std::string>& recorded,
                   std::map<std::string, FileSum>& sums, std::string& problem) {
    recorded.clear();
    sums.clear();
    std::string text;
    if (!ReadSmallFile(folder / OutputFolder::ManifestName, text)) {
        problem = std::string("it has no readable ") + OutputFolder::ManifestName + " record";
        return false;
    }
    std::set<std::string> listed;
    std::size_t pos = 0;
    bool header = true;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (header) {
            if (line == OutputFolder::OldManifestHeader) {
                problem = std::string("its ") + OutputFolder::ManifestName +
                          " record is from an older version and holds no content hashes, so "
                          "nothing in it is removed; remove the folder yourself";
                return false;
            }
            if (line != OutputFolder::ManifestHeader) {
                problem = std::string("its ") + OutputFolder::ManifestName + " record is not ours";
                return false;
            }
            header = false;
            continue;
        }
        if (line.empty())
            continue;
        if (line.compare(0, std::strlen(kSumTag), kSumTag) == 0) {
            // "#sha256 <size> <hex> <path>"
            const std::size_t a = std::strlen(kSumTag);
            const std::size_t b = line.find(' ', a);
            const std::size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
            const std::string size = line.substr(a, b == std::string::npos ? 0 : b - a);
            FileSum sum;
            sum.sha256 = c == std::string::npos ? std::string() : line.substr(b + 1, c - b - 1);
            const std::string path = c == std::string::npos ? std::string() : line.substr(c + 1);
            const bool digits = !size.empty() && size.size() <= 19 &&
                                std::all_of(size.begin(), size.end(),
                                            [](char ch) { return ch >= '0' && ch <= '9'; });
            if (!digits || sum.sha256.size() != 64 || !PlainRelative(path) || !listed.count(path)) {
                problem = "its record lists " + Quoted(line);
                return false;
            }
            sum.size = std::strtoull(size.c_str(), nullptr, 10);
            sums[path] = sum;
            continue;
        }
        const bool folderLine = line.back() == '/';
        if (!PlainRelative(folderLine ? std::string_view(line).substr(0, line.size() - 1) : line)) {
            problem = "its record lists " + Quoted(line);
            return false;
        }
        if (listed.insert(line).second)
            recorded.push_back(line);
    }
    if (header) {
        problem = std::string("its ") + OutputFolder::ManifestName + " record is empty";
        return false;
    }

    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        // Lexically: a link must not be resolved to find its name.
        const std::string relative = it->path().lexically_relative(folder).generic_string();
        const fs::file_status status = it->symlink_status(ec);
        if (ec)
            break;
        bool known;
        if (fs::is_directory(status))
            known = listed.count(relative + "/") > 0;
        else if (fs::is_regular_file(status))
            known = listed.count(relative) > 0 || relative == OutputFolder::ManifestName;
        else
            known = false;
        if (!known) {
            problem = "it holds " + Quoted(relative) + ", which this program did not write";
            return false;
        }
        if (!fs::is_regular_file(status) || relative == OutputFolder::ManifestName)
            continue;
        const auto sum = sums.find(relative);
        if (sum == sums.end()) {
            problem = "it holds " + Quoted(relative) +
                      ", which a run was still writing when it stopped";
            return false;
        }
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        const bool same = fd >= 0 && MatchesSum(fd, sum->second);
        if (fd >= 0)
            ::close(fd);
        if (!same) {
            problem = "its file " + Quoted(relative) +
                      " is no longer what this program wrote there";
            return false;
        }
    }
    if (ec) {
        problem = "it cannot be read: " + ec.message();
        return false;
    }
    return true;
}

// Removes a folder this program wrote when it holds exactly what its record
// lists; otherwise leaves it and says why in problem.
bool RemoveIfOnlyRecorded(const fs::path& folder, std::string& problem) {
    std::vector<std::string> recorded;
    std::map<std::string, FileSum> sums;
    if (!CheckRecorded(folder, recorded, sums, problem))
        return false;
    if (!RemoveRecorded(folder, recorded, sums)) {
        problem = "it could not be removed completely";
        return false;
    }
    return true;
}

} // namespace

std::string Sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.Add(bytes.data(), bytes.size());
    return hash.Hex();
}

bool HoldsOnlyRecordedOutput(const fs::path& folder, std::vector<std::string>& recorded,
                             std::string& problem) {
    std::map<std::string, FileSum> sums;
    return CheckRecorded(folder, recorded, sums, problem);
}

OutputFolder::~OutputFolder() {
    if (!committed_)
        Discard();
}

void OutputFolder::Discard() {
    if (staging_.empty())
        return;
    std::string problem;
    // Only what this run wrote goes; anything else that appeared stays.
    RemoveIfOnlyRecorded(staging_, problem);
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
    FinishInterruptedReplace();
    const fs::file_status status = fs::symlink_status(target_, ec);
    if (!fs::exists(status))
        return true;
    if (!fs::is_directory(status)) {
        error = "output " + Quoted(target_) + " exists and is not a folder";
        return false;
    }
    const std::string protectedReason = ProtectedReason(target_);
    if (!protectedReason.empty()) {
        error = "will not write the output into " + Quoted(target_) + ": " + protectedReason;
        return false;
    }
    if (fs::is_empty(target_, ec) && !ec)
        return true;
    if (!replace) {
        error = "output folder " + Quoted(target_) +
                " is not empty (--force replaces an earlier output of this program)";
        return false;
    }
    // Only an earlier output of this program, holding nothing else, is replaced.
    std::vector<std::string> recorded;
    std::string problem;
    if (!HoldsOnlyRecordedOutput(target_, recorded, problem)) {
        error = "output folder " + Quoted(target_) + " is not an earlier output of ostrander-cli (" +
                problem + "); not replacing it";
        return false;
    }
    return true;
}

void OutputFolder::AddNote(const std::string& note) {
    note_ += (note_.empty() ? "" : "; ") + note;
}

void OutputFolder::FinishInterruptedReplace() {
    const std::string prefix = "." + target_.filename().string() + ".old-";
    std::vector<fs::path> olds;
    std::error_code ec;
    for (fs::directory_iterator it(target_.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const long pid = StagingOwner(it->path().filename().string(), prefix);
        std::error_code statusError;
        if (pid > 0 && !ProcessAlive(pid) && it->is_directory(statusError) &&
            !it->is_symlink(statusError))
            olds.push_back(it->path());
    }
    std::sort(olds.begin(), olds.end());
    for (const fs::path& old : olds) {
        int moveError = 0;
        if (!fs::exists(fs::symlink_status(target_, ec)) &&
            RenameNoReplace(old, target_, moveError)) {
            AddNote("restored the earlier output in " + Quoted(target_) +
                    ", which an interrupted --force run had moved aside");
            continue;
        }
        std::string problem;
        if (RemoveIfOnlyRecorded(old, problem))
            AddNote("finished an interrupted --force run into " + Quoted(target_) +
                    ": removed the earlier output it had replaced");
        else
            AddNote("the earlier output that an interrupted --force run replaced in " +
                    Quoted(target_) + " is left in " + Quoted(old) + ": " + problem);
    }
}

bool OutputFolder::Begin(std::string& error) {
    // Staging folders of runs that were killed: removed when they hold only
    // what they recorded. Those of running processes stay.
    const std::string prefix = "." + target_.filename().string() + ".partial-";
    std::error_code ec;
    for (fs::directory_iterator it(target_.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const long pid = StagingOwner(it->path().filename().string(), prefix);
        if (pid <= 0 || ProcessAlive(pid))
            continue;
        std::error_code statusError;
        if (!it->is_directory(statusError) || it->is_symlink(statusError))
            continue;
        std::string problem;
        if (!RemoveIfOnlyRecorded(it->path(), problem))
            AddNote("left the folder " + Quoted(it->path()) + " of an interrupted run alone: " +
                    problem);
    }

    // mkdir never reuses or follows an existing entry: a taken name (a
    // leftover that was kept, or anything planted) moves on to the next.
    for (int n = 0; n < 100; ++n) {
        const fs::path candidate = Sibling(target_, ".partial-", n);
        if (::mkdir(candidate.c_str(), 0777) == 0) {
            staging_ = candidate;
            break;
        }
        if (errno != EEXIST) {
            // The staging folder is ours to know about; the user sees the target.
            error = "cannot create the output folder " + Quoted(target_) + ": " + ErrnoText(errno);
            return false;
        }
    }
    if (staging_.empty()) {
        error = "cannot create the output folder " + Quoted(target_) +
                ": too many unfinished outputs beside it";
        return false;
    }
    const fs::path manifest = staging_ / ManifestName;
    const int fd =
        ::open(manifest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    const int saved = errno;
    const bool ok = fd >= 0 && WriteAll(fd, std::string(ManifestHeader) + "\n");
    const bool closed = fd >= 0 && ::close(fd) == 0;
    if (!ok || !closed) {
        error = "cannot write " + Quoted(target_ / ManifestName) + ": " +
                ErrnoText(fd < 0 ? saved : errno);
        ::unlink(manifest.c_str());
        ::rmdir(staging_.c_str());
        staging_.clear();
        return false;
    }
    return true;
}

bool OutputFolder::Record(const std::string& line, std::string& error) {
    const fs::path manifest = staging_ / ManifestName;
    const int fd = ::open(manifest.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    const bool ok = fd >= 0 && WriteAll(fd, line + "\n");
    const int saved = errno;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        error = "cannot write " + Quoted(target_ / ManifestName) + ": " + ErrnoText(saved);
    return ok;
}

bool OutputFolder::MakeFolder(const std::string& relative, std::string& error) {
    if (staging_.empty() || !PlainRelative(relative) ||
        relative.find('\n') != std::string::npos) {
        error = "cannot create folder " + Quoted(target_ / relative);
        return false;
    }
    if (!Record(relative + "/", error))
        return false;
    if (::mkdir((staging_ / relative).c_str(), 0777) != 0) {
        error = "cannot create folder " + Quoted(target_ / relative) + ": " + ErrnoText(errno);
        return false;
    }
    return true;
}

bool OutputFolder::WriteFile(const std::string& relative, std::string_view bytes,
                             std::string& error) {
    return WriteFileInPieces(
        relative, [bytes](const ByteSink& sink, std::string&) { return sink(bytes); }, error);
}

bool OutputFolder::WriteFileInPieces(
    const std::string& relative, const std::function<bool(const ByteSink&, std::string&)>& produce,
    std::string& error) {
    if (staging_.empty() || !PlainRelative(relative) ||
        relative.find('\n') != std::string::npos || relative == ManifestName) {
        error = "cannot write " + Quoted(target_ / relative);
        return false;
    }
    // Recorded before it exists, so that a half-written file is cleaned up too.
    if (!Record(relative, error))
        return false;
    const fs::path path = staging_ / relative;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write " + Quoted(target_ / relative) + ": " + ErrnoText(errno);
        return false;
    }
    Sha256 hash;
    std::size_t size = 0;
    int writeError = 0;
    const ByteSink sink = [&](std::string_view bytes) {
        if (writeError != 0)
            return false;
        if (!WriteAll(fd, bytes)) {
            writeError = errno ? errno : EIO;
            return false;
        }
        hash.Add(bytes.data(), bytes.size());
        size += bytes.size();
        return true;
    };
    std::string reason;
    bool ok = produce(sink, reason) && writeError == 0;
    if (::close(fd) != 0 && ok) {
        ok = false;
        writeError = errno;
    }
    if (!ok) {
        ::unlink(path.c_str()); // created by this call, so ours to remove
        error = "cannot write " + Quoted(target_ / relative) + ": " +
                (writeError != 0 ? ErrnoText(writeError) : reason);
        return false;
    }
    const std::string hex = hash.Hex();
    if (hex.empty()) {
        error = "cannot write " + Quoted(target_ / relative) + ": no SHA-256 hash of it";
        return false;
    }
    return Record(std::string(kSumTag) + std::to_string(size) + " " + hex + " " + relative, error);
}

bool OutputFolder::Commit(std::string& error) {
    if (staging_.empty()) {
        error = "nothing to write";
        return false;
    }
    // rename() replaces an absent target or an empty folder in one step.
    if (std::rename(staging_.c_str(), target_.c_str()) == 0) {
        committed_ = true;
        staging_.clear();
        return true;
    }
    const int renameError = errno;
    std::error_code ec;
    if (!replace_ || !fs::is_directory(fs::symlink_status(target_, ec))) {
        error = "cannot create " + Quoted(target_) + ": " + ErrnoText(renameError);
        return false;
    }
    // The folder is checked again: it may have changed during the run.
    std::vector<std::string> recorded;
    std::string problem;
    if (!ProtectedReason(target_).empty() ||
        !HoldsOnlyRecordedOutput(target_, recorded, problem)) {
        error = "output folder " + Quoted(target_) +
                " changed during the run and is no longer only an earlier output (" + problem +
                "); not replacing it";
        return false;
    }
    // Move the old folder aside, move the new one in, then remove from the
    // old one what its record lists; put it back if the second move fails.
    fs::path old;
    int moveError = 0;
    for (int n = 0; n < 100 && old.empty(); ++n) {
        const fs::path candidate = Sibling(target_, ".old-", n);
        if (RenameNoReplace(target_, candidate, moveError))
            old = candidate;
        else if (moveError != EEXIST && moveError != ENOTEMPTY)
            break;
    }
    if (old.empty()) {
        error = "cannot replace " + Quoted(target_) + ": " + ErrnoText(moveError);
        return false;
    }
    if (!RenameNoReplace(staging_, target_, moveError)) {
        int ignored = 0;
        RenameNoReplace(old, target_, ignored);
        error = "cannot replace " + Quoted(target_) + ": " + ErrnoText(moveError);
        return false;
    }
    committed_ = true;
    staging_.clear();
    problem.clear();
    if (!RemoveIfOnlyRecorded(old, problem))
        AddNote("the earlier output was kept in " + Quoted(old) + ": " + problem);
    return true;
}

} // namespace ostrander
