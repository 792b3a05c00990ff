#pragma once
// The program's windows over a copy of the shipped Devices folder, made as at
// start-up with scripted dialogs, and the main window shown.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"
#include "forms/MirrorSetupForm.h"
#include "model/DMModelLocal.h"
#include "model/SessionAccess.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"

#include <QTest>

#include <filesystem>

namespace ostrander::program_test {

class ShippedProgram : public ProgramFolder {
protected:
    void SetUp() override {
        ProgramFolder::SetUp();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override {
        windows = {};
        ProgramFolder::TearDown();
    }

    // Runs before the windows are made, so that their first scan lists the
    // shipped mirrors.
    bool CopyShippedDevices() {
        std::filesystem::copy(std::filesystem::path(OSTRANDER_SOURCE_DIR) / "Devices",
                              root_ / "Devices",
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        return true;
    }

    bool copied_ = CopyShippedDevices();
    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    ProgramWindows windows = MakeProgramWindows();
    TOstranderForm& form = *windows.OstranderForm;
    DMModelLocal& local = SessionAccess::Local(form.Session());
    TMirrorSetupForm* setup = windows.MirrorSetupForm; // owned by the main window
};

} // namespace ostrander::program_test
