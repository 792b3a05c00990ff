#pragma once
// The mirror setup window over a temporary program folder, with the main
// window's parts stood in for by a mirror display, two edits and a host that
// records the information box and keeps the run timer as a flag; and the
// clicks and run ticks the setup window tests drive it with.
#include "forms/MirrorSetupForm.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "model/DMModelLocal.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"

#include <QListWidget>
#include <QTest>

#include <memory>
#include <string>

namespace ostrander::program_test {

class SetupFormFolder : public ProgramFolder {
protected:
    void TearDown() override {
        form.reset();
        ProgramFolder::TearDown();
    }

    void MakeForm() {
        session = std::make_unique<EngineSession>(data, local, host);
        TMirrorSetupForm::MainWindowParts parts;
        parts.MainMirrorDisplay = &mainDisplay;
        parts.StressEdit = &stressEdit;
        parts.SeparationEdit = &separationEdit;
        parts.Host = &host;
        form = std::make_unique<TMirrorSetupForm>(*session, parts, nullptr);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QListWidget* List() { return form->MirrorSelectionListBox; }
    // The row showing name, or -1.
    int RowOf(const std::string& name) {
        for (int row = 0; row < List()->count(); ++row)
            if (List()->item(row)->text().toStdString() == name)
                return row;
        return -1;
    }
    void ClickRow(int row) {
        QListWidget* list = List();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    void DoubleClickRow(int row) {
        QListWidget* list = List();
        const QPoint p = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, p);
    }
    // Ticks the run until it stops (at most limit ticks); returns the ticks.
    int RunToEnd(int limit = 50) {
        int ticks = 0;
        while (host.IsRunTimerEnabled() && ticks < limit) {
            session->Tick();
            ++ticks;
        }
        return ticks;
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    MainData data;
    DMModelLocal local;
    RecordingModelHost host;
    std::unique_ptr<EngineSession> session;
    TMirrorDisplayFrame mainDisplay;
    TFloatEditFrame stressEdit;
    TFloatEditFrame separationEdit;
    std::unique_ptr<TMirrorSetupForm> form;
};

} // namespace ostrander::program_test
