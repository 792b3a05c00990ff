// The ini reader: parse any text, read every key as every kind, write the
// typed values back, and check that the file's text parses to the same
// sections, keys and values.
#include "fuzz/FuzzSupport.h"
#include "toolkit/Format.h"
#include "toolkit/IniFile.h"

#include <cmath>
#include <string>
#include <vector>

using namespace ostrander;
using ostrander::fuzz::Check;

namespace {

// Sections without keys are left out: writes cannot make them.
std::vector<std::string> SectionsWithKeys(const IniFile& ini) {
    std::vector<std::string> out;
    for (const auto& s : ini.ReadSections())
        if (!ini.ReadSection(s).empty())
            out.push_back(s);
    return out;
}

void CheckSameContents(const IniFile& a, const IniFile& b, bool keyedSectionsOnly) {
    const auto sections = keyedSectionsOnly ? SectionsWithKeys(a) : a.ReadSections();
    Check(sections == (keyedSectionsOnly ? SectionsWithKeys(b) : b.ReadSections()),
          keyedSectionsOnly ? "sections differ after writing" : "sections differ after re-parse");
    for (const auto& s : sections) {
        const auto keys = a.ReadSection(s);
        Check(keys == b.ReadSection(s), "keys differ");
        for (const auto& k : keys)
            Check(a.ReadString(s, k, "") == b.ReadString(s, k, "\x01"), "value differs");
    }
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInputBytes)
        return 0;
    const IniFile ini = IniFile::FromText(fuzz::AsText(data, size));

    // Every value written back once as each kind, into one file per kind
    // (so that no written key can meet another), each saved as text and
    // parsed again once: linear in the input, not one file per key.
    struct Written {
        std::string section, key, text;
        int asInt;
        double asFloat;
    };
    std::vector<Written> written;
    IniFile typed, ints, floats, bools;
    for (const auto& s : ini.ReadSections()) {
        Check(ini.SectionExists(s) && ini.SectionExists(Upper(s)), "listed section not found");
        for (const auto& k : ini.ReadSection(s)) {
            Check(ini.ValueExists(s, k) && ini.ValueExists(Upper(s), Upper(k)),
                  "listed key not found");
            // Any default would do: the key exists (the value may be any text).
            const std::string text = ini.ReadString(s, k, "");
            Check(text == Trim(text) && text.find_first_of("\r\n") == std::string::npos,
                  "value not trimmed to one line");

            // Typed reads: the default exactly when the text does not convert.
            const auto asInt = TryStrToInt(text);
            const int i = ini.ReadInteger(s, k, -7);
            Check(i == asInt.value_or(-7), "integer read disagrees with the conversion");
            Check(ini.ReadBool(s, k, true) == (asInt.value_or(1) != 0), "bool read disagrees");
            const auto asFloat = TryStrToFloat(text);
            const double f = ini.ReadFloat(s, k, -7.5);
            Check(std::isfinite(f), "float read is not finite");
            Check(f == asFloat.value_or(-7.5), "float read disagrees with the conversion");

            typed.WriteString(s, k, text);
            ints.WriteInteger(s, k, i);
            floats.WriteFloat(s, k, f);
            bools.WriteBool(s, k, i != 0);
            written.push_back(Written{s, k, text, i, f});
        }
    }

    // Writes of each kind, saved as text and parsed again, read back as
    // written.
    const IniFile strings = IniFile::FromText(typed.ToText());
    const IniFile intsBack = IniFile::FromText(ints.ToText());
    const IniFile floatsBack = IniFile::FromText(floats.ToText());
    const IniFile boolsBack = IniFile::FromText(bools.ToText());
    for (const Written& w : written) {
        Check(strings.ValueExists(w.section, w.key) &&
                  strings.ReadString(w.section, w.key, "") == w.text,
              "string write does not read back");
        Check(intsBack.ReadInteger(w.section, w.key, w.asInt ^ 1) == w.asInt,
              "integer write does not read back");
        Check(fuzz::SameAtFifteenDigits(floatsBack.ReadFloat(w.section, w.key, std::nan("")),
                                        w.asFloat),
              "float write does not read back");
        Check(boolsBack.ReadBool(w.section, w.key, w.asInt == 0) == (w.asInt != 0),
              "bool write does not read back");
    }

    CheckSameContents(ini, IniFile::FromText(ini.ToText()), false);
    CheckSameContents(ini, typed, true);
    CheckSameContents(ini, strings, true);
    return 0;
}
