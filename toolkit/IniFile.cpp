#include "toolkit/IniFile.h"

#include "toolkit/AtomicFile.h"
#include "toolkit/Format.h"
#include "toolkit/Paths.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace ostrander {

namespace {

// ASCII letters to lower case by a table: names are folded a byte at a time
// in every hash and comparison, and a lookup has no branch.
constexpr std::array<unsigned char, 256> kFolded = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}();

char FoldCase(char c) {
    return static_cast<char>(kFolded[static_cast<unsigned char>(c)]);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Spaces, tabs and line-end characters off both ends, without copying.
std::string_view TrimView(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsSpace(text[b]))
        ++b;
    while (e > b && IsSpace(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

// Names and values stay on their line when written.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

// ---- the open-addressing index ----

void IniFile::Index::Clear() {
    slots_.clear();
    used_ = 0;
}

void IniFile::Index::Reserve(std::size_t count) {
    std::size_t capacity = 16;
    while (capacity < 2 * count)
        capacity *= 2;
    if (capacity <= slots_.size())
        return;
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(capacity, Slot{});
    used_ = 0;
    for (const Slot& slot : old)
        if (slot.id != kNone && slot.id != kErased)
            Insert(slot.hash, slot.id);
}

void IniFile::Index::Grow() {
    // Erased marks go on a rebuild; the table doubles when it is half full of ids.
    std::size_t live = 0;
    for (const Slot& slot : slots_)
        live += slot.id != kNone && slot.id != kErased;
    std::vector<Slot> old = std::move(slots_);
    std::size_t capacity = 16;
    while (capacity < 4 * (live + 1))
        capacity *= 2;
    slots_.assign(capacity, Slot{});
    used_ = 0;
    for (const Slot& slot : old)
        if (slot.id != kNone && slot.id != kErased)
            Insert(slot.hash, slot.id);
}

template <class Same>
std::uint32_t IniFile::Index::Find(std::uint32_t hash, Same same) const {
    if (slots_.empty())
        return kNone;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.id == kNone)
            return kNone;
        if (slot.id != kErased && slot.hash == hash && same(slot.id))
            return slot.id;
    }
}

void IniFile::Index::Insert(std::uint32_t hash, std::uint32_t id) {
    if (2 * (used_ + 1) > slots_.size())
        Grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].id != kNone)
        i = (i + 1) & mask;
    slots_[i] = Slot{id, hash};
    ++used_;
}

void IniFile::Index::Erase(std::uint32_t hash, std::uint32_t id) {
    if (slots_.empty())
        return;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].id != kNone; i = (i + 1) & mask)
        if (slots_[i].id == id) {
            slots_[i].id = kErased;
            return;
        }
}

// ---- names ----

namespace {

// FNV-1a over the case-folded bytes, then mixed so that the low bits, which
// pick the slot, depend on every byte (names like "1", "2", ... and one key
// in many sections would otherwise crowd together).
std::uint32_t FoldedHash(std::uint64_t h, std::string_view name) {
    for (const char c : name) {
        h ^= static_cast<unsigned char>(FoldCase(c));
        h *= 1099511628211ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

} // namespace

std::uint32_t IniFile::HashName(std::string_view name) {
    return FoldedHash(14695981039346656037ull, name);
}


bool IniFile::SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    // Names are mostly looked up as they are spelt.
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

IniFile::Span IniFile::Store(std::string_view text) {
    const Span span{static_cast<std::uint32_t>(text_.size()),
                    static_cast<std::uint32_t>(text.size())};
    text_.append(text);
    // Names and values stay on their line when written.
    for (std::size_t i = span.offset; i < text_.size(); ++i)
        if (text_[i] == '\r' || text_[i] == '\n')
            text_[i] = ' ';
    return span;
}

std::uint32_t IniFile::FindSectionId(std::string_view name) const {
    return sectionIndex_.Find(HashName(name), [&](std::uint32_t id) {
        return SameName(View(sections_[id].name), name);
    });
}

std::uint32_t IniFile::FindEntryId(std::uint32_t section, std::string_view key) const {
    if (section == kNone)
        return kNone;
    // A small section is searched along its chain: its entries lie together.
    const Section& s = sections_[section];
    if (s.table == kNone) {
        for (std::uint32_t e = s.first; e != kNone; e = entries_[e].next)
            if (SameName(View(entries_[e].key), key))
                return e;
        return kNone;
    }
    return keyTables_[s.table].Find(HashName(key), [&](std::uint32_t id) {
        return SameName(View(entries_[id].key), key);
    });
}

std::uint32_t IniFile::AddSection(Span name) {
    const auto id = static_cast<std::uint32_t>(sections_.size());
    sections_.push_back(Section{name, kNone, kNone, 0, kNone});
    sectionIndex_.Insert(HashName(View(name)), id);
    return id;
}

void IniFile::AddEntry(std::uint32_t section, Span key, Span value) {
    const auto id = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(Entry{key, value, kNone});
    Section& s = sections_[section];
    if (s.last == kNone)
        s.first = id;
    else
        entries_[s.last].next = id;
    s.last = id;
    ++s.count;
    if (s.table != kNone) {
        keyTables_[s.table].Insert(HashName(View(key)), id);
    } else if (s.count > kChainKeys) {
        s.table = static_cast<std::uint32_t>(keyTables_.size());
        Index& table = keyTables_.emplace_back();
        table.Reserve(s.count);
        for (std::uint32_t e = s.first; e != kNone; e = entries_[e].next)
            table.Insert(HashName(View(entries_[e].key)), e);
    }
}

void IniFile::Rebuild(const std::function<bool(std::string_view, std::uint32_t)>& keep) {
    std::vector<Section> sections = std::move(sections_);
    std::vector<Entry> entries = std::move(entries_);
    sections_.clear();
    entries_.clear();
    sectionIndex_.Clear();
    keyTables_.clear();
    for (std::uint32_t id = 0; id < sections.size(); ++id) {
        if (!keep(View(sections[id].name), id))
            continue;
        const std::uint32_t added = AddSection(sections[id].name);
        for (std::uint32_t e = sections[id].first; e != kNone; e = entries[e].next)
            AddEntry(added, entries[e].key, entries[e].value);
    }
}

void IniFile::SetSaveHookForTesting(SaveHook hook) {
    atomic_file_testing::SetSaveHook(hook);
}

IniFile::IniFile(const std::string& fileName) {
    fileName_ = NormalizePath(fileName);
    if (FileExists(fileName_))
        Load(fileName_);
}

IniFile IniFile::FromText(std::string_view text) {
    IniFile f;
    f.Parse(text);
    return f;
}

void IniFile::SetFileName(const std::string& fileName) {
    fileName_ = NormalizePath(fileName);
}

bool IniFile::Load(const std::string& fileName) {
    fileName_ = NormalizePath(fileName);
    loaded_ = false;
    Clear();
    const std::optional<std::string> text = ReadFileUpTo(fileName_, MaxFileBytes);
    if (!text)
        return false;
    Parse(*text);
    loaded_ = true;
    return true;
}

void IniFile::Parse(std::string_view text) {
    Clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") // UTF-8 byte order mark
        text.remove_prefix(3);
    text_.assign(text);
    // Room for as many sections and keys as the text has lines that may be
    // one, so that nothing grows while reading.
    std::size_t sectionLines = 0, otherLines = 0;
    for (std::size_t pos = 0; pos < text_.size();) {
        std::size_t b = pos;
        while (b < text_.size() && (text_[b] == ' ' || text_[b] == '\t'))
            ++b;
        if (b < text_.size() && text_[b] == '[')
            ++sectionLines;
        else
            ++otherLines;
        const std::size_t end = text_.find('\n', b);
        pos = end == std::string::npos ? text_.size() : end + 1;
    }
    sections_.reserve(sectionLines);
    entries_.reserve(otherLines);
    sectionIndex_.Reserve(sectionLines);
    std::uint32_t current = kNone;
    const std::size_t size = text_.size();
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t end = text_.find('\n', pos);
        if (end == std::string::npos)
            end = size;
        std::size_t b = pos, e = end;
        pos = end + 1;
        while (b < e && IsSpace(text_[b]))
            ++b;
        while (e > b && IsSpace(text_[e - 1]))
            --e;
        if (b == e || text_[b] == ';' || text_[b] == '#')
            continue;
        // A lone CR inside a line is read as the space it is written as.
        for (std::size_t i = b; i < e; ++i)
            if (text_[i] == '\r')
                text_[i] = ' ';
        const std::string_view line(text_.data() + b, e - b);
        auto span = [&](std::string_view piece) {
            const std::string_view trimmed = TrimView(piece);
            return Span{static_cast<std::uint32_t>(trimmed.data() - text_.data()),
                        static_cast<std::uint32_t>(trimmed.size())};
        };
        if (line[0] == '[') {
            const auto close = line.find(']');
            const Span name = span(
                line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            current = FindSectionId(View(name));
            if (current == kNone)
                current = AddSection(name);
            continue;
        }
        if (current == kNone)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const Span key = span(line.substr(0, eq));
        if (key.size == 0)
            continue;
        // A repeated key keeps its first value.
        if (FindEntryId(current, View(key)) == kNone)
            AddEntry(current, key, span(line.substr(eq + 1)));
    }
}

bool IniFile::SectionExists(std::string_view section) const {
    return FindSectionId(section) != kNone;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindEntryId(FindSectionId(section), key) != kNone;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& s : sections_)
        names.emplace_back(View(s.name));
    return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    const std::uint32_t id = FindSectionId(section);
    if (id == kNone)
        return keys;
    keys.reserve(sections_[id].count);
    for (std::uint32_t e = sections_[id].first; e != kNone; e = entries_[e].next)
        keys.emplace_back(View(entries_[e].key));
    return keys;
}

std::optional<std::string_view> IniFile::FindValue(std::string_view section,
                                                   std::string_view key) const {
    const std::uint32_t id = FindEntryId(FindSectionId(section), key);
    if (id == kNone)
        return std::nullopt;
    return View(entries_[id].value);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    return std::string(FindValue(section, key).value_or(defaultValue));
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = FindValue(section, key);
    if (!value)
        return defaultValue;
    return TryStrToInt(*value).value_or(defaultValue);
}

double IniFile::ReadFloat(std::string_view section, std::string_view key,
                          double defaultValue) const {
    const auto value = FindValue(section, key);
    if (!value)
        return defaultValue;
    return TryStrToFloat(*value).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // Names with a line break are written with a space in its place, and
    // are looked up that way.
    std::uint32_t s = HasLineBreak(section) ? FindSectionId(OneLine(section)) : FindSectionId(section);
    if (s == kNone)
        s = AddSection(Store(section));
    const std::uint32_t e = HasLineBreak(key) ? FindEntryId(s, OneLine(key)) : FindEntryId(s, key);
    if (e != kNone) {
        const std::string_view old = View(entries_[e].value);
        if (old.size() >= value.size() && !HasLineBreak(value)) {
            // In place when the new value fits where the old one was.
            text_.replace(entries_[e].value.offset, value.size(), value);
            entries_[e].value.size = static_cast<std::uint32_t>(value.size());
        } else {
            entries_[e].value = Store(value);
        }
        return;
    }
    const Span keySpan = Store(key);
    AddEntry(s, keySpan, Store(value));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
    WriteString(section, key, FloatToStrExact(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(std::string_view section) {
    const std::uint32_t erased = FindSectionId(section);
    if (erased == kNone)
        return;
    Rebuild([erased](std::string_view, std::uint32_t id) { return id != erased; });
}

void IniFile::EraseSectionsIf(const std::function<bool(const std::string&)>& erase) {
    std::string name;
    Rebuild([&](std::string_view sectionName, std::uint32_t) {
        name.assign(sectionName);
        return !erase(name);
    });
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    const std::uint32_t s = FindSectionId(section);
    const std::uint32_t e = FindEntryId(s, key);
    if (e == kNone)
        return;
    Section& sec = sections_[s];
    std::uint32_t previous = kNone;
    for (std::uint32_t i = sec.first; i != e; i = entries_[i].next)
        previous = i;
    if (previous == kNone)
        sec.first = entries_[e].next;
    else
        entries_[previous].next = entries_[e].next;
    if (sec.last == e)
        sec.last = previous;
    --sec.count;
    if (sec.table != kNone)
        keyTables_[sec.table].Erase(HashName(View(entries_[e].key)), e);
}

void IniFile::Clear() {
    text_.clear();
    sections_.clear();
    entries_.clear();
    sectionIndex_.Clear();
    keyTables_.clear();
}

std::string IniFile::ToText() const {
    std::size_t size = 0;
    for (const Section& s : sections_) {
        size += s.name.size + 6;
        for (std::uint32_t e = s.first; e != kNone; e = entries_[e].next)
            size += entries_[e].key.size + entries_[e].value.size + 3;
    }
    std::string out;
    out.reserve(size);
    bool first = true;
    for (const Section& s : sections_) {
        if (!first)
            out += "\r\n";
        first = false;
        out += '[';
        out += View(s.name);
        out += "]\r\n";
        for (std::uint32_t e = s.first; e != kNone; e = entries_[e].next) {
            out += View(entries_[e].key);
            out += '=';
            out += View(entries_[e].value);
            out += "\r\n";
        }
    }
    return out;
}

bool IniFile::UpdateFile() const {
    if (fileName_.empty())
        return false;
    return AtomicWriteFile(fileName_, ToText());
}

bool IniFile::SaveAs(const std::string& fileName) const {
    return AtomicWriteFile(NormalizePath(fileName), ToText());
}

} // namespace ostrander
