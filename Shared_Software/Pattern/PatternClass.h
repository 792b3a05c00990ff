#pragma once
// A pattern set: a named, ordered collection of named voltage patterns, kept
// in memory, read from and written to a pattern-set file (ini text).
//
// Invariants kept by every operation: the patterns' indices run 0, 1, ...
// PatternCount - 1 in list order, and no two patterns share a PatternName
// (compared exactly, case-sensitive).
//
// Nothing here shows a window except Write given a version it does not know,
// which reports through the Dialogs service.
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "toolkit/IniFile.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrander {

// One pattern. The list links come first, as the checked list expects.
class PatternListEntry {
public:
    PatternListEntry() = default;
    PatternListEntry(const PatternListEntry&) = delete;
    PatternListEntry& operator=(const PatternListEntry&) = delete;

    PatternListEntry* next = nullptr;
    PatternListEntry* prev = nullptr;
    int index = -1; // position in the set, from 0
    std::string PatternName = "No Name";
    VoltageListClass Voltages; // per actuator number, volts
    double HoldTime = 0.0;     // carried through files unchanged
};

class PatternClass {
public:
    static constexpr const char* NoFileName = "FileName not set";
    static constexpr const char* FileType = "Actuator Pattern Set";
    // Files claiming more voltages than this in all (patterns x voltages) are
    // refused as unusable rather than filled with millions of default zeros.
    static constexpr long long MaxVoltagesInFile = 1'000'000;
    // Files claiming more voltages per pattern than any driver has channels
    // are refused the same way.
    static constexpr int MaxVoltageCount = 4096;

    // Reads the file; an unusable file gives an invalid set without patterns.
    explicit PatternClass(const std::string& fileName);
    // Reads the file with an actuator map: when the file says "Use DM
    // Indexing", voltage number j belongs to actuator actuatorMap[j] for
    // j < mapLength; later numbers keep their own numbering (j + 1).
    PatternClass(const std::string& fileName, const int* actuatorMap, int mapLength);
    // The same from the text of a pattern-set file already read; fileName
    // becomes the set's file name.
    PatternClass(const std::string& fileName, const IniFile& ini, const int* actuatorMap = nullptr,
                 int mapLength = 0);
    // A new, valid, empty set of the given name and voltage count.
    PatternClass(const std::string& setName, int voltageCount);
    ~PatternClass();
    PatternClass(const PatternClass&) = delete;
    PatternClass& operator=(const PatternClass&) = delete;

    bool IsValid() const { return valid; }
    const std::string& GetFileName() const { return fileName; }
    const std::string& GetPatternSetName() const { return PatternSetName; }
    int GetPatternCount() const { return PatternCount; }
    int GetVoltageCount() const { return VoltageCount; }

    void SetPatternSetName(const std::string& name) { PatternSetName = name; }
    // Takes the name only when its folder part is given and exists.
    void SetFileName(const std::string& name);

    // The names in list order, then the closing entry "None".
    std::vector<std::string> GetPatternNames() const;
    // A copy of the pattern's voltages, or null when no pattern has the index.
    std::unique_ptr<VoltageListClass> GetPatternVoltages(int index) const;
    // The pattern with the index, or null (read-only view for callers).
    const PatternListEntry* FindPattern(int index) const;

    // A name as the set keeps it: on one line, without blanks at the ends,
    // as a file would give it back. Insert and Replace store names so.
    static std::string StoredName(const std::string& name);

    // Inserts before the pattern with the index, or appends when none has it.
    // False (and nothing changed) when the name is taken.
    bool InsertPattern(int index, const std::string& name, const VoltageListClass& voltages);
    // Same with voltages numbered 1 ... n from an array.
    bool InsertPatternFromArray(int index, const std::string& name, const double* voltages, int n);
    // Renames the pattern and copies the voltages in. False, with the pattern
    // untouched, when another pattern has the name, no pattern has the index,
    // or the voltages cannot be paired with the pattern's actuator numbers.
    bool ReplacePattern(int index, const std::string& name, const VoltageListClass& voltages);
    bool DeletePattern(int index);

    // What the last Read passed over, one line each, naming the pattern and
    // the key: a voltage whose text is not a decimal number or not finite, a
    // key in the other file version's numbering, a missing key or pattern
    // section (each read as 0 V), a FileVersion the reader does not know.
    const std::vector<std::string>& ReadWarnings() const { return readWarnings; }
    // Why the last Read gave an invalid set, when the file was a pattern set
    // but no voltage in it could be read; empty otherwise.
    const std::string& ReadError() const { return readError; }

    // Replaces the contents with the file's. True when the set is valid.
    bool Read(const std::string& name, const int* actuatorMap = nullptr, int mapLength = 0);
    // The same from the file's text, already read; name becomes the file name.
    bool Read(const std::string& name, const IniFile& ini, const int* actuatorMap = nullptr,
              int mapLength = 0);
    // Writes a valid set to the file in version "1.0" or "2.0", keeping what
    // else the file holds. False when the set is invalid, the version unknown
    // (after a message box), the file cannot be read to keep its contents,
    // the file would be one the reader refuses (over MaxVoltageCount voltages
    // a pattern, MaxVoltagesInFile in all, or the ini reader's size limit),
    // or the save fails; the old file then stays as it was. reason, when
    // given, receives why.
    bool Write(const std::string& name, const std::string& version,
               std::string* reason = nullptr) const;
    // Writes the set's sections into ini (what else it holds stays), as
    // Write does before saving; the size limit is then the caller's to check.
    bool WriteTo(IniFile& ini, const std::string& version, std::string* reason = nullptr) const;

    // List header for the checked list operations.
    PatternListEntry* first = nullptr;
    PatternListEntry* last = nullptr;

private:
    // Why this set is not written: not valid, or the reader would refuse it
    // as a file of fileBytes bytes (0: counts only); empty when it can be.
    std::string WriteRefusal(std::size_t fileBytes) const;
    PatternListEntry* Find(int index) const;
    PatternListEntry* FindByName(const std::string& name) const;
    // Places a pattern whose voltages are filled in under the name (as
    // InsertPattern takes it) at index; false, and the entry dropped, when
    // refused.
    bool InsertEntry(int index, const std::string& name, std::unique_ptr<PatternListEntry> entry);
    void RemoveAll();

    std::string fileName = NoFileName;
    int PatternCount = 0;
    int VoltageCount = 0;
    std::string PatternSetName = "Unnamed Pattern Set";
    bool valid = false;
    std::vector<std::string> readWarnings;
    std::string readError;
};

} // namespace ostrander
