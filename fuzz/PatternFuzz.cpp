// The pattern-set reader: read any file, write the set to a new file in both
// versions, read that again and check that the two sets are equal. The file is
// also read with an actuator map, which must give each pattern as many
// voltages as the file declares. Files are ini texts in memory throughout.
#include "Shared_Software/Pattern/PatternClass.h"
#include "fuzz/FuzzSupport.h"
#include "toolkit/IniFile.h"

#include <string>

using namespace ostrander;
using ostrander::fuzz::Check;

namespace {

constexpr long long kMaxVoltagesHere = 20000;

void CheckSameSets(const PatternClass& a, const PatternClass& b) {
    Check(a.IsValid() == b.IsValid(), "validity differs after writing");
    Check(a.GetPatternSetName() == b.GetPatternSetName(), "set name differs after writing");
    Check(a.GetPatternCount() == b.GetPatternCount(), "pattern count differs after writing");
    Check(a.GetVoltageCount() == b.GetVoltageCount(), "voltage count differs after writing");
    const PatternListEntry* x = a.first;
    const PatternListEntry* y = b.first;
    for (; x != nullptr && y != nullptr; x = x->next, y = y->next) {
        Check(x->index == y->index, "pattern index differs after writing");
        Check(x->PatternName == y->PatternName, "pattern name differs after writing");
        Check(fuzz::SameAtFifteenDigits(x->HoldTime, y->HoldTime),
              "hold time differs after writing");
        Check(x->Voltages.Count() == y->Voltages.Count(), "voltage count of a pattern differs");
        const VoltageListEntry* u = x->Voltages.First();
        const VoltageListEntry* v = y->Voltages.First();
        for (; u != nullptr && v != nullptr; u = u->next, v = v->next) {
            Check(u->Actuator == v->Actuator, "actuator number differs after writing");
            Check(fuzz::SameAtFifteenDigits(u->Voltage, v->Voltage),
                  "voltage differs after writing");
        }
        Check(u == nullptr && v == nullptr, "voltage lists differ in length");
    }
    Check(x == nullptr && y == nullptr, "pattern lists differ in length");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInputBytes)
        return 0;
    const IniFile input = IniFile::FromText(fuzz::AsText(data, size));
    // A few bytes may declare up to a million voltages, each read, listed and
    // written twice: such sets take the same paths as small ones, only
    // thousands of times slower. Their limits are tested elsewhere.
    const long long declared =
        static_cast<long long>(input.ReadInteger("General", "PatternCount", 0)) *
        input.ReadInteger("General", "VoltageCount", 0);
    if (declared > kMaxVoltagesHere && declared <= PatternClass::MaxVoltagesInFile)
        return 0;
    PatternClass set("", 0);
    set.Read("input.pat", input);
    if (set.IsValid()) {
        Check(set.GetPatternCount() >= 1 && set.GetVoltageCount() >= 1,
              "valid set without patterns");
        int index = 0;
        for (const PatternListEntry* e = set.first; e != nullptr; e = e->next, ++index) {
            Check(e->index == index, "pattern indices are not 0, 1, ...");
            Check(e->Voltages.Count() == set.GetVoltageCount(),
                  "pattern with the wrong voltage count");
        }
        Check(index == set.GetPatternCount(), "pattern count differs from the list");

        for (const char* version : {"1.0", "2.0"}) {
            IniFile output;
            Check(set.WriteTo(output, version), "a valid set could not be written");
            PatternClass again("", 0);
            again.Read("output.pat", IniFile::FromText(output.ToText()));
            CheckSameSets(set, again);
        }
    }

    // A short map that reverses the first voltages, as a mirror's map would.
    static const int map[] = {6, 5, 4, 3, 2, 1};
    PatternClass mapped("", 0);
    mapped.Read("input.pat", input, map, 6);
    Check(mapped.IsValid() == set.IsValid(), "the map changed the validity");
    for (const PatternListEntry* e = mapped.first; e != nullptr; e = e->next)
        Check(e->Voltages.Count() == mapped.GetVoltageCount(),
              "mapped pattern with the wrong voltage count");
    return 0;
}
