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

    IniFile typed;
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

            // Writes of each kind, saved as text and parsed again, read back
            // as written.
            typed.WriteString(s, k, text);
            IniFile one;
            one.WriteString(s, k, text);
            one.WriteInteger(s, k + "#i", i);
            one.WriteFloat(s, k + "#f", f);
            one.WriteBool(s, k + "#b", i != 0);
            const IniFile back = IniFile::FromText(one.ToText());
            Check(back.ValueExists(s, k) && back.ReadString(s, k, "") == text,
                  "string write does not read back");
            Check(back.ReadInteger(s, k + "#i", i ^ 1) == i, "integer write does not read back");
            Check(fuzz::SameAtFifteenDigits(back.ReadFloat(s, k + "#f", std::nan("")), f),
                  "float write does not read back");
            Check(back.ReadBool(s, k + "#b", i == 0) == (i != 0), "bool write does not read back");
        }
    }

    CheckSameContents(ini, IniFile::FromText(ini.ToText()), false);
    CheckSameContents(ini, typed, true);
    return 0;
}
