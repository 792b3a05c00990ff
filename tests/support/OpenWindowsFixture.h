#pragma once
// The program's windows made and the main one shown offscreen over a program
// folder holding two seven-pad mirrors, "Seven" and "Zeven".
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"
#include "model/DMModelLocal.h"
#include "model/SessionAccess.h"
#include "support/ProgramFixture.h"

#include <QTest>

namespace ostrander::program_test {

class OpenWindows : public ProgramFolder {
public:
    void SetUp() override {
        ProgramFolder::SetUp();
        WriteMirror("seven.ini", "Seven");
        WriteMirror("zeven.ini", "Zeven");
        windows = MakeProgramWindows();
        form = windows.OstranderForm.get();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }
    void TearDown() override {
        windows = {};
        ProgramFolder::TearDown();
    }
    DMModelLocal& Local() { return SessionAccess::Local(form->Session()); }
    // Ticks the run going (if any) to its end, as the run timer would.
    void RunToEnd() {
        for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 100; ++ticks)
            form->RunFEATimerTimer();
        ASSERT_FALSE(form->IsRunTimerEnabled());
    }

    ProgramWindows windows;
    TOstranderForm* form = nullptr;
};

} // namespace ostrander::program_test
