#pragma once
// The pattern sections of large pattern set files, for the tests and
// benchmarks of the reader's limits.
#include <cstdio>
#include <string>

namespace ostrander::testing_support {

// Sections [Pattern000], [Pattern001], ... each with keys Voltage000,
// Voltage001, ... all at 1 V.
inline std::string UnitPatternSections(int patterns, int voltages) {
    std::string text;
    for (int p = 0; p < patterns; ++p) {
        char section[32];
        std::snprintf(section, sizeof section, "[Pattern%03d]\n", p);
        text += section;
        for (int v = 0; v < voltages; ++v) {
            char key[32];
            std::snprintf(key, sizeof key, "Voltage%03d=1\n", v);
            text += key;
        }
    }
    return text;
}

} // namespace ostrander::testing_support
