#pragma once
// In-memory ini file: the reader and writer of mirror info, map-free model
// descriptions and pattern-set files.
//
// Rules:
//  - Section and key names compare case-insensitively; their spelling as first
//    seen is kept for writing. Sections are listed in file order.
//  - CR LF and LF line ends and a leading UTF-8 byte order mark are accepted;
//    spaces and tabs around names and values are trimmed. A section line is
//    '[' name ']' (text after the ']' is ignored); a key line is name '=' value,
//    split at the first '='.
//  - Lines before the first section, lines without '=', lines with an empty
//    key name and lines starting with ';' or '#' are ignored on read.
//  - Duplicates: a section that appears again is merged into the first one;
//    a key that appears again in the same section is ignored (the first value
//    wins), so reads and writes both address the first occurrence.
//  - Typed reads return the default when the key is missing or its text does
//    not convert completely. Integers are decimal or '$'/'0x' hexadecimal,
//    floats use '.', booleans are integers (non-zero is true).
//  - Written names and values are kept on one line: line breaks in them are
//    written as spaces. A lone CR inside a line is read as a space too, so
//    that what is read is what will be written.
//  - Saving goes through AtomicWriteFile (AtomicFile.h): a new temporary file
//    with a unique name beside the target, renamed over it, so a failed save
//    leaves the old file as it was. The saved file keeps the old file's
//    permissions; a symbolic link is followed, not replaced (a dangling one
//    gets the file it names).
//  - A file larger than MaxFileBytes is refused (nothing is read).
#include "toolkit/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander {

class IniFile {
public:
    static constexpr std::size_t MaxFileBytes = 16u * 1024u * 1024u;

    IniFile() = default;
    // Opens fileName (separators normalised) and reads it when it exists and is
    // small enough; otherwise the object starts empty. The name is kept for UpdateFile.
    explicit IniFile(const std::string& fileName);

    static IniFile FromText(std::string_view text);

    // Replaces the contents with the parsed text.
    void Parse(std::string_view text);
    // Replaces the contents with the file's; false when it cannot be read or is too large.
    bool Load(const std::string& fileName);
    // True when the constructor or Load read a file successfully.
    bool Loaded() const { return loaded_; }

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> ReadSections() const;
    // Key names of a section in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;

    // The value's text as stored (valid until the file is next changed), or
    // nothing when the key is missing; nothing is copied.
    std::optional<std::string_view> FindValue(std::string_view section,
                                              std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    double ReadFloat(std::string_view section, std::string_view key, double defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    // Written as general float text (FloatToStr: up to 15 significant digits),
    // with 16 or 17 digits when that is needed to read back the same double.
    void WriteFloat(std::string_view section, std::string_view key, double value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    void EraseSection(std::string_view section);
    // Removes every section whose name erase accepts, in one pass.
    void EraseSectionsIf(const std::function<bool(const std::string&)>& erase);
    void DeleteKey(std::string_view section, std::string_view key);
    void Clear();

    // The whole file as text, CR LF line ends, a blank line between sections.
    std::string ToText() const;
    // Atomic save to FileName(); false on any failure (the old file stays).
    bool UpdateFile() const;
    // Atomic save to another file.
    bool SaveAs(const std::string& fileName) const;

    // Test seam: when set, called with the temporary file's name after it has
    // been written and before it is renamed over the target; returning false
    // makes the save fail there.
    using SaveHook = bool (*)(const std::string& temporaryName);
    static void SetSaveHookForTesting(SaveHook hook);

private:
    // All names and values live in one text (the parsed file, with what
    // writes add after it); a Span is a piece of it. Sections and entries are
    // flat arrays, each section's entries a chain in file order. An
    // open-addressing table finds a section by name, and each section of
    // more than a few keys has one of its own for its keys (kept small, so
    // that reading a section's keys stays within the cache); names compare
    // without regard to ASCII case. Reading a file allocates a few large
    // blocks and one table per larger section, nothing per key.
    struct Span {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct Entry {
        Span key;
        Span value;
        std::uint32_t next = kNone; // the section's next entry
    };
    struct Section {
        Span name;
        std::uint32_t first = kNone, last = kNone; // its entries
        std::uint32_t count = 0;
        std::uint32_t table = kNone; // its key index, once it has more than kChainKeys
    };
    // Sections up to this many keys are searched along their chain.
    static constexpr std::uint32_t kChainKeys = 8;
    // Slots of ids with their hashes; kNone is free, kErased a removed id.
    class Index {
    public:
        static constexpr std::uint32_t kErased = 0xFFFFFFFEu;
        struct Slot {
            std::uint32_t id = kNone;
            std::uint32_t hash = 0;
        };
        void Clear();
        void Reserve(std::size_t count);
        // The id whose hash is hash and which same(id) accepts, or kNone.
        template <class Same> std::uint32_t Find(std::uint32_t hash, Same same) const;
        void Insert(std::uint32_t hash, std::uint32_t id);
        void Erase(std::uint32_t hash, std::uint32_t id);

    private:
        void Grow();
        std::vector<Slot> slots_;
        std::size_t used_ = 0; // ids and erased marks
    };

    std::string_view View(Span span) const { return {text_.data() + span.offset, span.size}; }
    Span Store(std::string_view text); // appended to the text, on one line
    static std::uint32_t HashName(std::string_view name);
    static bool SameName(std::string_view a, std::string_view b);
    std::uint32_t FindSectionId(std::string_view name) const;
    std::uint32_t FindEntryId(std::uint32_t section, std::string_view key) const;
    std::uint32_t AddSection(Span name);
    void AddEntry(std::uint32_t section, Span key, Span value);
    // Keeps only the sections keep (given name and id) accepts, in order,
    // with their entries.
    void Rebuild(const std::function<bool(std::string_view, std::uint32_t)>& keep);

    std::string text_;
    std::vector<Section> sections_;
    std::vector<Entry> entries_;
    Index sectionIndex_;
    std::vector<Index> keyTables_;
    std::string fileName_;
    bool loaded_ = false;
};

} // namespace ostrander
