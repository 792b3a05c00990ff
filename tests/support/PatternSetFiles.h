#pragma once
// A mirror of four actuators in a row and the text of pattern set files for
// it, with the voltage readers the pattern browser tests compare against and
// a temporary program folder to keep them in.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "support/TempFolder.h"
#include "toolkit/Dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace ostrander::pattern_test {

// Four actuators in a row; no Zernike set; limit high enough for every test
// voltage.
inline const char* const kRowOfFourMirror =
    "[General]\nFileType=Mirror Info\nDeviceName=Row of four\n"
    "MapPrefix=none\nLimitVoltage=300\n"
    "[DM Model]\nDiameter_m=0.01\nActuators=4\n"
    "[A0]\nIndex=0\nX=-0.003\nDpad_m=0.002\n"
    "[A1]\nIndex=1\nX=-0.001\nDpad_m=0.002\n"
    "[A2]\nIndex=2\nX=0.001\nDpad_m=0.002\n"
    "[A3]\nIndex=3\nX=0.003\nDpad_m=0.002\n";

using Volts = std::vector<double>;

// A set of four-voltage patterns, names[i] holding volts[i].
inline std::string PatternSetText(const std::string& setName, const std::vector<std::string>& names,
                                  const std::vector<Volts>& volts) {
    std::ostringstream t;
    t << "[General]\nFileType=Actuator Pattern Set\nPatternSetName=" << setName
      << "\nPatternCount=" << names.size() << "\nVoltageCount=4\n"
      << "[FileInformation]\nFileVersion=1.0\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        t << "[Pattern00" << i << "]\nPatternName=" << names[i] << "\n";
        for (std::size_t j = 0; j < volts[i].size(); ++j)
            t << "Voltage00" << j << "=" << volts[i][j] << "\n";
    }
    return t.str();
}

inline Volts VoltagesOf(const VoltageListClass* list) {
    Volts v;
    if (list != nullptr)
        for (const VoltageListEntry* e = list->First(); e != nullptr; e = e->next)
            v.push_back(e->Voltage);
    return v;
}

// The voltages of actuators 1 to 4.
inline Volts MirrorVolts(MirrorClass* mirror) {
    Volts v;
    for (int d = 1; d <= 4; ++d)
        v.push_back(mirror->GetVoltage(d));
    return v;
}

inline void SetMirrorVolts(MirrorClass* mirror, const Volts& v) {
    for (int d = 1; d <= 4; ++d)
        ASSERT_TRUE(mirror->SetVoltage(d, v[d - 1]));
}

// A temporary program folder for pattern sets of the row-of-four mirror, with
// scripted dialogs installed.
class RowOfFourFolder : public ::testing::Test {
protected:
    // The row-of-four mirror, written into the device folder and read back.
    std::unique_ptr<MirrorClass> ReadRowOfFour() {
        return std::make_unique<MirrorClass>(folder_.WriteDevice("row.ini", kRowOfFourMirror));
    }

    testing_support::TempProgramFolder folder_{"ostrander-patterns"};
    const std::filesystem::path root_ = folder_.Path();
    ScriptedDialogs dialogs_;
    ScopedDialogs scope_{dialogs_};
    std::string setFile_; // the set the tests start from
};

} // namespace ostrander::pattern_test
