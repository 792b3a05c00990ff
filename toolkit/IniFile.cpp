#include "toolkit/IniFile.h"

#include "toolkit/Format.h"
#include "toolkit/Paths.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace ostrander {

namespace {
IniFile::SaveHook g_saveHook = nullptr;
}

void IniFile::SetSaveHookForTesting(SaveHook hook) { g_saveHook = hook; }

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

void IniFile::SetFileName(const std::string& fileName) { fileName_ = NormalizePath(fileName); }

bool IniFile::Load(const std::string& fileName) {
    fileName_ = NormalizePath(fileName);
    loaded_ = false;
    sections_.clear();
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
    sections_.clear();
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            auto close = line.find(']');
            std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = FindSection(name);
            if (!current) {
                sections_.push_back(Section{name, {}});
                current = &sections_.back();
            }
            continue;
        }
        if (!current)
            continue;
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = Trim(std::string_view(line).substr(0, eq));
        std::string value = Trim(std::string_view(line).substr(eq + 1));
        if (key.empty())
            continue;
        bool seen = false;
        for (const auto& e : current->entries)
            if (SameText(e.key, key)) {
                seen = true;
                break;
            }
        if (!seen)
            current->entries.push_back(Entry{key, value});
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const auto& s : sections_)
        if (SameText(s.name, name))
            return &s;
    return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
    for (auto& s : sections_)
        if (SameText(s.name, name))
            return &s;
    return nullptr;
}

const IniFile::Entry* IniFile::FindEntry(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s)
        return nullptr;
    for (const auto& e : s->entries)
        if (SameText(e.key, key))
            return &e;
    return nullptr;
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

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

double IniFile::ReadFloat(std::string_view section, std::string_view key, double defaultValue) const {
    const Entry* e = FindEntry(section, key);
    if (!e)
        return defaultValue;
    return TryStrToFloat(e->value).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = FindSection(section);
    if (!s) {
        sections_.push_back(Section{std::string(section), {}});
        s = &sections_.back();
    }
    for (auto& e : s->entries)
        if (SameText(e.key, key)) {
            e.value = std::string(value);
            return;
        }
    s->entries.push_back(Entry{std::string(key), std::string(value)});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
    WriteString(section, key, FloatToStr(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(std::string_view section) {
    for (auto it = sections_.begin(); it != sections_.end(); ++it)
        if (SameText(it->name, section)) {
            sections_.erase(it);
            return;
        }
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (!s)
        return;
    for (auto it = s->entries.begin(); it != s->entries.end(); ++it)
        if (SameText(it->key, key)) {
            s->entries.erase(it);
            return;
        }
}

void IniFile::Clear() { sections_.clear(); }

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

bool IniFile::SaveAs(const std::string& fileName) const { return AtomicWriteFile(NormalizePath(fileName), ToText()); }

bool AtomicWriteFile(const std::string& fileName, std::string_view text) {
    if (fileName.empty())
        return false;
    std::string tmp = fileName + ".tmp~";
    {
        std::FILE* f = std::fopen(tmp.c_str(), "wb");
        if (!f)
            return false;
        bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        ok = (std::fflush(f) == 0) && ok;
        ok = (fsync(fileno(f)) == 0) && ok;
        ok = (std::fclose(f) == 0) && ok;
        if (ok && g_saveHook && !g_saveHook(tmp))
            ok = false;
        if (!ok) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), fileName.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace ostrander
