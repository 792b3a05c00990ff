#include "Shared_Software/Pattern/PatternClass.h"

#include "Shared_Software/Lists/tl_list.h"
#include "toolkit/AtomicFile.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Format.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace ostrander {

namespace {

// Section and key names: "1.0" files pad numbers to three digits (Pattern007,
// Voltage012); every other version uses plain decimal (Pattern7, Voltage12).
std::string NumberedName(const char* stem, long long number, bool padded) {
    return std::string(stem) + FormatInt(padded ? "%03d" : "%d", number);
}

// "Pattern" followed by digits only: a pattern section of either numbering.
bool IsPatternSection(const std::string& name) {
    static constexpr std::string_view stem = "pattern";
    if (name.size() <= stem.size())
        return false;
    for (std::size_t i = 0; i < stem.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != stem[i])
            return false;
    for (std::size_t i = stem.size(); i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

// The number of a pattern section ("Pattern012" is 12), -1 for another
// section or a number too long to be one.
long long PatternSectionNumber(const std::string& name) {
    if (!IsPatternSection(name) || name.size() > 7 + 12)
        return -1;
    return std::stoll(name.substr(7));
}

// Gives the reason, when one is asked for, and false.
bool Refuse(std::string* reason, const std::string& why) {
    if (reason != nullptr)
        *reason = why;
    return false;
}

// What is wrong with a voltage's text, or empty when it reads as a volt value.
const char* VoltageProblem(std::string_view text, double& volts) {
    if (const auto value = TryStrToFloat(text)) {
        volts = *value;
        return "";
    }
    // "nan", "inf", "1e999": numbers, but no voltage.
    const std::string trimmed = Trim(text);
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (!trimmed.empty() && end == trimmed.c_str() + trimmed.size() && !std::isfinite(value))
        return "is not a finite number";
    return "is not a decimal number";
}

// The problems of one kind in one pattern: the first key named, the rest
// counted, so that a pattern of thousands of bad keys gives one line.
struct KeyProblems {
    std::string first;
    long count = 0;
    void Add(const std::string& text) {
        if (count++ == 0)
            first = text;
    }
};

} // namespace

PatternClass::PatternClass(const std::string& name) {
    Read(name);
}

PatternClass::PatternClass(const std::string& name, const int* actuatorMap, int mapLength) {
    Read(name, actuatorMap, mapLength);
}

PatternClass::PatternClass(const std::string& name, const IniFile& ini, const int* actuatorMap,
                           int mapLength) {
    Read(name, ini, actuatorMap, mapLength);
}

PatternClass::PatternClass(const std::string& setName, int voltageCount)
    : VoltageCount(voltageCount), PatternSetName(setName), valid(true) {}

PatternClass::~PatternClass() {
    RemoveAll();
}

void PatternClass::RemoveAll() {
    while (last != nullptr) {
        PatternListEntry* Entry = last;
        LLREMOVE(*this, Entry);
        if (Entry->next != nullptr || Entry->prev != nullptr || Entry == last) {
            // The checked list refused: the list is damaged. Stop rather
            // than loop; what is still linked is left as it is.
            break;
        }
        delete Entry;
    }
    PatternCount = 0;
}

void PatternClass::SetFileName(const std::string& name) {
    if (name.empty())
        return;
    const std::string folder = ExtractFilePath(name);
    if (folder.empty() || !DirectoryExists(folder))
        return;
    fileName = name;
}

PatternListEntry* PatternClass::Find(int index) const {
    for (PatternListEntry* e = first; e != nullptr; e = e->next)
        if (e->index == index)
            return e;
    return nullptr;
}

const PatternListEntry* PatternClass::FindPattern(int index) const {
    return Find(index);
}

PatternListEntry* PatternClass::FindByName(const std::string& name) const {
    for (PatternListEntry* e = first; e != nullptr; e = e->next)
        if (e->PatternName == name)
            return e;
    return nullptr;
}

std::vector<std::string> PatternClass::GetPatternNames() const {
    std::vector<std::string> names;
    for (const PatternListEntry* e = first; e != nullptr; e = e->next)
        names.push_back(e->PatternName);
    names.push_back("None");
    return names;
}

std::unique_ptr<VoltageListClass> PatternClass::GetPatternVoltages(int index) const {
    const PatternListEntry* e = Find(index);
    if (e == nullptr)
        return nullptr;
    auto copy = std::make_unique<VoltageListClass>();
    e->Voltages.CopyTo(copy.get());
    return copy;
}

// A pattern name as a file holds it: one line (line breaks become spaces)
// without blanks at either end. Names are kept in that form, so that two
// names that would read back the same are the same name already.
std::string PatternClass::StoredName(const std::string& name) {
    std::string line = name;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return Trim(line);
}

bool PatternClass::InsertPattern(int index, const std::string& givenName,
                                 const VoltageListClass& voltages) {
    auto entry = std::make_unique<PatternListEntry>();
    voltages.CopyTo(&entry->Voltages);
    return InsertEntry(index, givenName, std::move(entry));
}

bool PatternClass::InsertEntry(int index, const std::string& givenName,
                               std::unique_ptr<PatternListEntry> entry) {
    const std::string name = StoredName(givenName);
    // A set that could not be read becomes usable once it has a file and a
    // set name and patterns are added to it.
    if (!valid && !fileName.empty() && !PatternSetName.empty())
        valid = true;
    if (FindByName(name) != nullptr)
        return false;

    PatternListEntry* NewEntry = entry.release();
    NewEntry->PatternName = name;

    if (PatternListEntry* Entry = Find(index)) {
        LLBEFORE(*this, NewEntry, Entry);
        if (NewEntry->next != Entry) {
            delete NewEntry; // refused by a damaged list
            return false;
        }
        NewEntry->index = index;
        for (PatternListEntry* e = Entry; e != nullptr; e = e->next)
            ++e->index;
    } else {
        LLBACK(*this, NewEntry);
        if (last != NewEntry) {
            delete NewEntry;
            return false;
        }
        NewEntry->index = PatternCount;
    }
    ++PatternCount;
    return true;
}

bool PatternClass::InsertPatternFromArray(int index, const std::string& name,
                                          const double* voltages, int n) {
    if (!valid && !fileName.empty() && !PatternSetName.empty())
        valid = true;
    // The voltages go straight into the new pattern's list.
    auto entry = std::make_unique<PatternListEntry>();
    if (voltages != nullptr)
        entry->Voltages.SetFromArray(voltages, n);
    return InsertEntry(index, name, std::move(entry));
}

bool PatternClass::ReplacePattern(int index, const std::string& givenName,
                                  const VoltageListClass& voltages) {
    const std::string name = StoredName(givenName);
    const PatternListEntry* named = FindByName(name);
    if (named != nullptr && named->index != index)
        return false;
    PatternListEntry* Entry = Find(index);
    if (Entry == nullptr)
        return false;

    // Pair the new voltages with a copy first, so that a list whose numbers
    // do not match leaves the pattern exactly as it was.
    VoltageListClass staged;
    Entry->Voltages.CopyTo(&staged);
    if (!voltages.CopyTo(&staged))
        return false;
    Entry->Voltages.Clear();
    staged.CopyTo(&Entry->Voltages);
    Entry->PatternName = name;
    return true;
}

bool PatternClass::DeletePattern(int index) {
    PatternListEntry* Entry = Find(index);
    if (Entry == nullptr)
        return false;
    LLREMOVE(*this, Entry);
    if (Entry->next != nullptr || Entry->prev != nullptr || first == Entry || last == Entry)
        return false; // refused by a damaged list; nothing changed
    for (PatternListEntry* e = first; e != nullptr; e = e->next)
        if (e->index > index)
            --e->index;
    --PatternCount;
    delete Entry;
    return true;
}

bool PatternClass::Read(const std::string& name, const int* actuatorMap, int mapLength) {
    return Read(name, IniFile(name), actuatorMap, mapLength);
}

bool PatternClass::Read(const std::string& name, const IniFile& ini, const int* actuatorMap,
                        int mapLength) {
    RemoveAll();
    valid = false;
    readWarnings.clear();
    readError.clear();

    if (ini.ReadString("General", "FileType", "") != FileType)
        return false;

    valid = true;
    fileName = name;
    PatternSetName = ini.ReadString("General", "PatternSetName", "");
    PatternCount = 0;
    const int patterns = ini.ReadInteger("General", "PatternCount", 0);
    VoltageCount = ini.ReadInteger("General", "VoltageCount", 0);
    const bool useMap = ini.ReadBool("General", "Use DM Indexing", false) &&
                        actuatorMap != nullptr && mapLength > 0;
    const std::string version = ini.ReadString("FileInformation", "FileVersion", "1.0");
    const bool padded = version == "1.0";
    if (version != "1.0" && version != "2.0")
        readWarnings.push_back("FileVersion \"" + version +
                               "\" is not a version this program reads (1.0 or 2.0); read with "
                               "the keys of version 2.0");
    // The numbering of the other version, whose keys in this file are a
    // sign that it says the wrong version.
    const char* otherVersion = padded ? "2.0" : "1.0";

    if (patterns < 1 || VoltageCount < 1 || VoltageCount > MaxVoltageCount ||
        static_cast<long long>(patterns) * VoltageCount > MaxVoltagesInFile) {
        valid = false;
        readWarnings.clear();
        return false;
    }

    // Every pattern has the same actuator numbers, so the order in which
    // inserting them one by one (each after the first entry numbered one
    // less) leaves them is the same for all: it is worked out once and each
    // pattern is appended in that order, linear in its voltages whatever the
    // map. While the numbers rise one by one that order is the file's.
    const auto count = static_cast<std::size_t>(VoltageCount);
    std::vector<int> actuators(count);
    std::vector<std::string> keys(count);
    std::vector<int> order(count);
    bool rising = true;
    for (std::size_t j = 0; j < count; ++j) {
        const int number = static_cast<int>(j);
        actuators[j] = useMap && number < mapLength ? actuatorMap[j] : number + 1;
        keys[j] = NumberedName("Voltage", number, padded);
        order[j] = number;
        rising = rising && actuators[j] != INT_MIN && (j == 0 || actuators[j - 1] == actuators[j] - 1);
    }
    if (!rising) {
        VoltageListClass arranged;
        for (std::size_t j = 0; j < count; ++j)
            arranged.Insert(actuators[j], static_cast<double>(j));
        std::size_t k = 0;
        for (const VoltageListEntry* v = arranged.First(); v != nullptr && k < count; v = v->next)
            order[k++] = static_cast<int>(v->Voltage);
    }

    // Voltages read from their keys, and keys present that give none.
    long long good = 0, bad = 0;
    std::vector<double> volts(count);
    for (int i = 0; i < patterns; ++i) {
        const std::string section = NumberedName("Pattern", i, padded);
        auto NewEntry = new PatternListEntry;
        NewEntry->index = i;
        NewEntry->PatternName = ini.ReadString(section, "PatternName", section);
        NewEntry->HoldTime = ini.ReadFloat(section, "HoldTime", 0.0);
        LLBACK(*this, NewEntry);
        ++PatternCount;
        const std::string shown = "pattern \"" + NewEntry->PatternName + "\" [" + section + "]";
        if (!ini.SectionExists(section)) {
            const std::string other = NumberedName("Pattern", i, !padded);
            readWarnings.push_back(
                "no section [" + section + "] for pattern " + std::to_string(i) + " of " +
                std::to_string(patterns) +
                (other != section && ini.SectionExists(other)
                     ? ", but a section [" + other + "] as version " + otherVersion + " names it"
                     : std::string()) +
                "; its voltages read as 0 V");
            bad += other != section && ini.SectionExists(other) ? 1 : 0;
            std::fill(volts.begin(), volts.end(), 0.0);
        } else {
            KeyProblems unreadable, otherKeys, missing;
            for (std::size_t j = 0; j < count; ++j) {
                volts[j] = 0.0;
                if (const auto text = ini.FindValue(section, keys[j])) {
                    if (const char* problem = VoltageProblem(*text, volts[j]); *problem) {
                        unreadable.Add(keys[j] + "=" + std::string(*text) + " " + problem);
                        ++bad;
                    } else {
                        ++good;
                    }
                    continue;
                }
                const std::string other =
                    j < 100 ? NumberedName("Voltage", static_cast<long long>(j), !padded) : "";
                if (!other.empty() && ini.FindValue(section, other)) {
                    otherKeys.Add(other + " (version " + otherVersion + ") instead of " +
                                  keys[j]);
                    ++bad;
                } else {
                    missing.Add(keys[j]);
                }
            }
            auto tell = [&](const KeyProblems& p, const std::string& what) {
                if (p.count > 0)
                    readWarnings.push_back(
                        shown + ": " + p.first + what +
                        (p.count > 1 ? " (and " + std::to_string(p.count - 1) + " more)" : "") +
                        "; read as 0 V");
            };
            tell(unreadable, "");
            tell(otherKeys, ", a key of the other file version");
            tell(missing, " is missing");
        }
        for (const int j : order)
            NewEntry->Voltages.Append(actuators[static_cast<std::size_t>(j)],
                                      volts[static_cast<std::size_t>(j)]);
    }
    // Pattern sections past the count are not read; say so, or the user
    // wonders where they went.
    long long beyond = 0;
    std::string firstBeyond;
    for (const std::string& section : ini.ReadSections())
        if (PatternSectionNumber(section) >= patterns && beyond++ == 0)
            firstBeyond = section;
    if (beyond > 0)
        readWarnings.push_back("the file holds " + std::to_string(beyond) +
                               " pattern section" + (beyond > 1 ? "s" : "") + " past PatternCount=" +
                               std::to_string(patterns) + " ([" + firstBeyond +
                               (beyond > 1 ? "] and more" : "]") +
                               "), which are not read; raise PatternCount to read them");
    // Keys there, but not one voltage among them: nothing usable is left.
    if (good == 0 && bad > 0) {
        readError = "no voltage in the file can be read";
        if (!readWarnings.empty())
            readError += " (" + readWarnings.front() + ")";
        RemoveAll();
        valid = false;
        return false;
    }
    return true;
}

std::string PatternClass::WriteRefusal(std::size_t fileBytes) const {
    if (!valid)
        return "the pattern set is not valid";
    // The reader refuses a set without patterns, so such a file could never
    // be opened again.
    if (PatternCount < 1)
        return "the pattern set has no patterns";
    if (VoltageCount < 1 || VoltageCount > MaxVoltageCount)
        return "a pattern-set file holds 1 to " + std::to_string(MaxVoltageCount) +
               " voltages per pattern, and this set has " + std::to_string(VoltageCount);
    const long long total = static_cast<long long>(PatternCount) * VoltageCount;
    if (total > MaxVoltagesInFile)
        return "a pattern-set file holds at most " + std::to_string(MaxVoltagesInFile) +
               " voltages, and this set has " + std::to_string(total) + " (" +
               std::to_string(PatternCount) + " patterns of " + std::to_string(VoltageCount) +
               ")";
    if (fileBytes > IniFile::MaxFileBytes)
        return "the file would be " + std::to_string(fileBytes) + " bytes, and a pattern-set file " +
               "may have at most " + std::to_string(IniFile::MaxFileBytes) + " bytes";
    return {};
}

bool PatternClass::Write(const std::string& name, const std::string& version,
                         std::string* reason) const {
    auto refuse = [reason](const std::string& why) { return Refuse(reason, why); };
    // What the reader would refuse is not written: the counts first, before
    // building a text that may be very large.
    if (std::string why = WriteRefusal(0); !why.empty())
        return refuse(why);

    IniFile ini(name);
    // Keep what the file already holds; a file that exists but cannot be
    // read would otherwise be replaced by the set alone.
    if (FileExists(name) && !ini.Loaded())
        return refuse("the existing file cannot be read, so its other contents cannot be kept");
    if (!WriteTo(ini, version, reason))
        return false;
    const std::string text = ini.ToText();
    if (std::string why = WriteRefusal(text.size()); !why.empty())
        return refuse(why);
    if (!AtomicWriteFile(NormalizePath(name), text))
        return refuse("the file could not be written");
    return true;
}

bool PatternClass::WriteTo(IniFile& ini, const std::string& version, std::string* reason) const {
    auto refuse = [reason](const std::string& why) { return Refuse(reason, why); };
    if (std::string why = WriteRefusal(0); !why.empty())
        return refuse(why);

    // A "1.0" file rewritten as "2.0" loses its padded pattern sections, so
    // that no patterns in the old numbering remain beside the new ones.
    if (version == "2.0" && ini.ReadString("FileInformation", "FileVersion", "1.0") == "1.0")
        ini.EraseSectionsIf(IsPatternSection);
    // Sections of patterns past the set's count are those of an earlier,
    // longer set: they go, or the file keeps patterns the set no longer has.
    const long long count = PatternCount;
    ini.EraseSectionsIf(
        [count](const std::string& name) { return PatternSectionNumber(name) >= count; });

    ini.WriteString("General", "FileType", FileType);
    ini.WriteString("General", "PatternSetName", PatternSetName);
    ini.WriteInteger("General", "PatternCount", PatternCount);
    ini.WriteInteger("General", "VoltageCount", VoltageCount);
    ini.WriteString("FileInformation", "FileVersion", version);

    for (const PatternListEntry* e = first; e != nullptr; e = e->next) {
        if (version != "1.0" && version != "2.0") {
            Dialogs::Instance().ShowMessage("Error: Pattern Class",
                                            "Invalid Version given to Write function");
            return refuse("invalid version " + version);
        }
        const bool padded = version == "1.0";
        const std::string section = NumberedName("Pattern", e->index, padded);
        ini.WriteString(section, "PatternName", e->PatternName);
        if (e->HoldTime != 0.0)
            ini.WriteFloat(section, "HoldTime", e->HoldTime);
        for (const VoltageListEntry* v = e->Voltages.First(); v != nullptr; v = v->next)
            ini.WriteFloat(section,
                           NumberedName("Voltage", static_cast<long long>(v->Actuator) - 1, padded),
                           v->Voltage);
    }
    return true;
}

} // namespace ostrander
