#include "toolkit/IniFile.h"

#include "toolkit/AtomicFile.h"
#include "toolkit/Format.h"
#include "toolkit/Paths.h"

#include <cctype>
#include <filesystem>
#include <fstream>

namespace ostrander {

namespace {

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names and values stay on their line when written.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

// Spaces, tabs and line-end characters off both ends, without copying.
std::string_view TrimView(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = text.size();
    while (b < e && space(text[b]))
        ++b;
    while (e > b && space(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}
} // namespace

std::size_t IniFile::NameHash::operator()(std::string_view name) const {
    std::size_t h = 14695981039346656037ull; // FNV-1a over the case-folded bytes
    for (const char c : name) {
        h ^= static_cast<unsigned char>(FoldCase(c));
        h *= 1099511628211ull;
    }
    return h;
}

bool IniFile::NameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
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
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName_, ec))
        return false;
    auto size = std::filesystem::file_size(fileName_, ec);
    if (ec || size > MaxFileBytes)
        return false;
    std::ifstream in(fileName_, std::ios::binary);
    if (!in)
        return false;
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
    Parse(text);
    loaded_ = true;
    return true;
}

void IniFile::Parse(std::string_view text) {
    Clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") // UTF-8 byte order mark
        text.remove_prefix(3);
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = TrimView(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            auto close = line.find(']');
            std::string name = OneLine(TrimView(
                line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            current = FindSection(name);
            if (!current)
                current = &AddSection(name);
            continue;
        }
        if (!current)
            continue;
        auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        // A lone CR inside a line is read as the space it is written as.
        std::string key = OneLine(TrimView(line.substr(0, eq)));
        if (key.empty())
            continue;
        // A repeated key keeps its first value.
        if (current->keyIndex.try_emplace(key, current->entries.size()).second)
            current->entries.push_back(
                Entry{std::move(key), OneLine(TrimView(line.substr(eq + 1)))});
    }
}

IniFile::Section& IniFile::AddSection(std::string_view name) {
    sectionIndex_.emplace(std::string(name), sections_.size());
    sections_.push_back(Section{std::string(name), {}, {}});
    return sections_.back();
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(name);
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
    auto it = sectionIndex_.find(name);
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniFile::Entry* IniFile::FindEntry(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s)
        return nullptr;
    auto it = s->keyIndex.find(key);
    return it == s->keyIndex.end() ? nullptr : &s->entries[it->second];
}

bool IniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindEntry(section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto& s : sections_)
        names.push_back(s.name);
    return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const Section* s = FindSection(section))
        for (const auto& e : s->entries)
            keys.push_back(e.key);
    return keys;
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key) const {
    const Entry* e = FindEntry(section, key);
    return e ? &e->value : nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const Entry* e = FindEntry(section, key);
    return e ? e->value : std::string(defaultValue);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const Entry* e = FindEntry(section, key);
    if (!e)
        return defaultValue;
    return TryStrToInt(e->value).value_or(defaultValue);
}

double IniFile::ReadFloat(std::string_view section, std::string_view key,
                          double defaultValue) const {
    const Entry* e = FindEntry(section, key);
    if (!e)
        return defaultValue;
    return TryStrToFloat(e->value).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // Names with a line break are written with a space in its place, and
    // are looked up that way.
    const bool plainSection = section.find_first_of("\r\n") == std::string_view::npos;
    const bool plainKey = key.find_first_of("\r\n") == std::string_view::npos;
    Section* s = plainSection ? FindSection(section) : FindSection(OneLine(section));
    if (!s)
        s = &AddSection(OneLine(section));
    auto it = plainKey ? s->keyIndex.find(key) : s->keyIndex.find(OneLine(key));
    if (it != s->keyIndex.end()) {
        s->entries[it->second].value = OneLine(value);
        return;
    }
    std::string keyName = OneLine(key);
    s->keyIndex.emplace(keyName, s->entries.size());
    s->entries.push_back(Entry{std::move(keyName), OneLine(value)});
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
    auto it = sectionIndex_.find(section);
    if (it == sectionIndex_.end())
        return;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        sectionIndex_.emplace(sections_[i].name, i);
}

void IniFile::EraseSectionsIf(const std::function<bool(const std::string&)>& erase) {
    std::vector<Section> kept;
    kept.reserve(sections_.size());
    for (Section& s : sections_)
        if (!erase(s.name))
            kept.push_back(std::move(s));
    sections_ = std::move(kept);
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        sectionIndex_.emplace(sections_[i].name, i);
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (!s)
        return;
    auto it = s->keyIndex.find(key);
    if (it == s->keyIndex.end())
        return;
    s->entries.erase(s->entries.begin() + static_cast<std::ptrdiff_t>(it->second));
    s->keyIndex.clear();
    for (std::size_t i = 0; i < s->entries.size(); ++i)
        s->keyIndex.emplace(s->entries[i].key, i);
}

void IniFile::Clear() {
    sections_.clear();
    sectionIndex_.clear();
}

std::string IniFile::ToText() const {
    std::string out;
    bool first = true;
    for (const auto& s : sections_) {
        if (!first)
            out += "\r\n";
        first = false;
        out += "[" + s.name + "]\r\n";
        for (const auto& e : s.entries)
            out += e.key + "=" + e.value + "\r\n";
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
