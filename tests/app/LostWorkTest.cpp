// The paths on which the program could lose the user's work, driven through
// the real windows offscreen: undo and redo of voltage and model changes, a
// model switch that keeps the voltages, a pattern set with changes that are
// not saved when another is opened or the program closes.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "model/DMModelLocal.h"
#include "model/EngineSession.h"
#include "model/SessionAccess.h"
#include "model/pictures/ActuatorDisplayClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "support/OpenWindowsFixture.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Paths.h"
#include "toolkit/qt/PaintBox.h"
#include "toolkit/qt/QtDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QListWidget>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrander {
namespace {

using Volts = std::vector<double>;

class LostWork : public program_test::OpenWindows {
public:
    void LoadAndRun(int row = 0) {
        windows.MirrorSetupForm->MirrorSelectionListBox->setCurrentRow(row);
        windows.MirrorSetupForm->LoadButtonClick();
        RunToEnd();
        ASSERT_TRUE(Local().DisplaysValid);
        form->ApplicationIdle();
    }
    MirrorClass* Mirror() { return Local().Mirror.get(); }
    Volts MirrorVolts() {
        Volts v;
        for (int k = 1; k <= 7; ++k)
            v.push_back(Mirror()->GetVoltage(k));
        return v;
    }
    void ClickPad(int pad, Qt::MouseButton button = Qt::LeftButton) {
        MirrorDisplayClass* map = form->MainMirrorDisplay->GetDisplay();
        ASSERT_NE(map, nullptr);
        QPoint at;
        for (const ActuatorDisplayClass* a = map->ListOfActuators.first; a; a = a->next)
            if (a->DisplayIndex == pad)
                at = QPoint(int(a->CentreX), int(a->CentreY));
        ASSERT_EQ(map->FindNearest(at.x(), at.y())->DisplayIndex, pad);
        QTest::mouseClick(form->MainMirrorDisplay->Ui().MirrorPaintBox, button, {}, at);
    }
    // A seven-voltage pattern set with two patterns, opened in the browser.
    void OpenPatternSet() {
        const std::string file = (root_ / "seven.pat").string();
        std::ofstream(file) << "[General]\nFileType=Actuator Pattern Set\nPatternSetName=Seven\n"
                               "PatternCount=2\nVoltageCount=7\n[FileInformation]\nFileVersion=1.0\n"
                               "[Pattern000]\nPatternName=Low\nVoltage000=10\n"
                               "[Pattern001]\nPatternName=Tilt\nVoltage000=5\nVoltage001=80\n"
                               "Voltage002=60\nVoltage003=40\nVoltage004=20\nVoltage005=0\n"
                               "Voltage006=33.5\n";
        dialogs.openAnswers.push_back(file);
        TPatternSequenceBrowserForm& browser = *windows.PatternSequenceBrowserForm;
        browser.ShowBrowser();
        ASSERT_EQ(browser.Ui().PatternListBox->count(), 2);
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
};

// Each change the user makes, then undo: the voltages (and the model) are
// exactly those from before; redo: exactly those after. One undo step each,
// clicks on one pad in a row included.
TEST_F(LostWork, UndoBringsBackTheExactVoltagesAndRedoTheChange) {
    struct Case {
        const char* name;
        std::function<void(LostWork&)> change;
    };
    const Case cases[] = {
        {"map click", [](LostWork& t) { t.ClickPad(3); }},
        {"clicks on one pad merge",
         [](LostWork& t) {
             t.ClickPad(1);
             t.ClickPad(1);
             t.ClickPad(1, Qt::RightButton);
             t.ClickPad(1);
         }},
        {"Set All",
         [](LostWork& t) {
             TFloatEditFrame* edit = t.form->MainMirrorDisplay->Ui().SetAllFloatEdit;
             edit->Edit()->setText("61.5");
             QTest::keyClick(edit->Edit(), Qt::Key_Return);
         }},
        {"Set Mirror Voltages of a pattern",
         [](LostWork& t) {
             t.OpenPatternSet();
             TPatternSequenceBrowserForm& browser = *t.windows.PatternSequenceBrowserForm;
             browser.Ui().PatternListBox->item(1)->setSelected(true);
             browser.PatternListBoxClick();
             browser.UpdateMirrorButtonClick();
         }},
        {"model switch",
         [](LostWork& t) {
             t.form->ModelChoice->setCurrentIndex(t.form->ModelChoice->findData("exact"));
             t.RunToEnd();
         }},
    };
    LoadAndRun();
    const Volts start{0.1, 40.0, 0.1, 0.1, 25.5, 0.1, 12.25};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A known state, with an empty undo list.
        form->Session().Restore({Local().MirrorGeneration, "classic", start});
        RunToEnd();
        form->UndoStack()->clear();
        ASSERT_EQ(MirrorVolts(), start);

        c.change(*this);
        form->ApplicationIdle();
        const Volts after = MirrorVolts();
        const std::string model(form->Session().MembraneModelName());
        ASSERT_TRUE(after != start || model != "classic");
        EXPECT_EQ(form->UndoStack()->count(), 1);
        EXPECT_TRUE(form->UndoAction->isEnabled());

        form->UndoAction->trigger();
        RunToEnd();
        EXPECT_EQ(MirrorVolts(), start);
        EXPECT_EQ(form->Session().MembraneModelName(), "classic");
        EXPECT_EQ(form->ModelChoice->currentData().toString(), "classic");

        form->RedoAction->trigger();
        RunToEnd();
        EXPECT_EQ(MirrorVolts(), after);
        EXPECT_EQ(form->Session().MembraneModelName(), model);
        EXPECT_EQ(form->ModelChoice->currentData().toString().toStdString(), model);
    }
}

TEST_F(LostWork, UndoAndRedoHaveTheirKeysAndANewMirrorEmptiesTheList) {
    EXPECT_EQ(form->UndoAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(form->RedoAction->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    LoadAndRun();
    ClickPad(2);
    ClickPad(4);
    EXPECT_EQ(form->UndoStack()->count(), 2);
    // Up and down again on one pad leaves nothing to undo.
    form->UndoStack()->clear();
    ClickPad(5);
    ClickPad(5, Qt::RightButton);
    EXPECT_FALSE(form->UndoStack()->canUndo());

    ClickPad(6);
    ASSERT_TRUE(form->UndoStack()->canUndo());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    const double raised = Mirror()->GetVoltage(6);
    QTest::keyClick(form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_LT(Mirror()->GetVoltage(6), raised);
    QTest::keyClick(form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Mirror()->GetVoltage(6), raised);

    // Another mirror starts with an empty list.
    LoadAndRun(1);
    EXPECT_FALSE(form->UndoStack()->canUndo());
}

// A model switch computes the influence functions again and then sets the
// voltages the mirror held before; the rules still hold, and the status
// line says what they changed.
TEST_F(LostWork, AModelSwitchKeepsTheVoltages) {
    LoadAndRun();
    const Volts held{50, 50, 50, 50, 50, 50, 50};
    form->Session().Restore({Local().MirrorGeneration, "classic", held});
    form->ApplicationIdle();

    form->ModelChoice->setCurrentIndex(form->ModelChoice->findData("exact"));
    ASSERT_TRUE(form->IsRunTimerEnabled());
    EXPECT_NE(form->statusBar()->currentMessage().indexOf("set again"), -1);
    RunToEnd();
    EXPECT_TRUE(Local().DisplaysValid);
    EXPECT_EQ(MirrorVolts(), held);
    EXPECT_EQ(form->statusBar()->currentMessage(), "Voltages kept after the run.");
    form->ApplicationIdle();
    EXPECT_EQ(MirrorVolts(), held); // the floor rule leaves them alone

    // Kept voltages are set under the rules: above the mean limit of 150 V
    // they are cut, and the line names the pads.
    const Volts over{300, 300, 300, 300, 300, 0.1, 0.1};
    const SnapshotRestore restored =
        form->Session().Restore({Local().MirrorGeneration, "exact", over});
    ASSERT_TRUE(restored.restored);
    EXPECT_EQ(restored.voltages.changedByRules, 2);
    const std::string text = TOstranderForm::RuleChangesText(restored.voltages);
    EXPECT_NE(text.find("the mirror's rules changed"), std::string::npos) << text;
    EXPECT_NE(text.find("2 of 7 voltages: pad 4 300.0 V to 149.7 V, pad 5 300.0 V to 0.1 V."),
              std::string::npos)
        << text;

    // A snapshot of another mirror changes nothing.
    EXPECT_FALSE(form->Session().Restore({Local().MirrorGeneration + 1, "classic", held}).restored);
}

// A cancelled run puts the kept voltages back too, not the run's own.
TEST_F(LostWork, AModelSwitchCancelledKeepsTheVoltages) {
    LoadAndRun();
    const Volts held{0.1, 70, 0.1, 0.1, 0.1, 30, 0.1};
    form->Session().Restore({Local().MirrorGeneration, "classic", held});
    ASSERT_TRUE(form->SetMembraneModel("exact"));
    form->RunFEATimerTimer();
    ASSERT_EQ(form->Session().Cancel(), CancelRequest::Requested);
    RunToEnd();
    EXPECT_EQ(MirrorVolts(), held);
}

// A set with a pattern added and not saved, closing the main window: the
// real Save / Discard / Cancel box comes up over the window that asked;
// Cancel keeps the program open, Discard lets it close.
TEST_F(LostWork, ClosingWithAnUnsavedSetAsksSaveDiscardOrCancel) {
    LoadAndRun();
    OpenPatternSet();
    TPatternSequenceBrowserForm& browser = *windows.PatternSequenceBrowserForm;
    browser.Ui().NewPatternNameEdit->setText("Added");
    browser.InsertBeforeButtonClick();
    ASSERT_TRUE(browser.Session().HasUnsavedEdits());

    QtDialogs boxes(form);
    ScopedDialogs real{boxes};
    struct Case {
        QMessageBox::StandardButton button;
        bool closes;
    };
    for (const Case c : {Case{QMessageBox::Cancel, false}, Case{QMessageBox::Discard, true}}) {
        SCOPED_TRACE(c.button);
        form->show();
        QString asked;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->text();
            EXPECT_NE(box->button(QMessageBox::Save), nullptr);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Save));
            box->button(c.button)->click();
        });
        EXPECT_EQ(form->close(), c.closes);
        EXPECT_NE(asked.indexOf("\"Seven\" has changes that are not saved"), -1)
            << asked.toStdString();
        EXPECT_EQ(form->isVisible(), !c.closes);
    }
}

// Save saves first and then goes on; a save that does not happen keeps the
// set and stops. Browse asks the same before another set replaces this one.
TEST_F(LostWork, SaveFirstOrKeepTheSet) {
    LoadAndRun();
    OpenPatternSet();
    TPatternSequenceBrowserForm& browser = *windows.PatternSequenceBrowserForm;
    browser.Ui().NewPatternNameEdit->setText("Added");
    browser.InsertBeforeButtonClick();

    // Browse: Save, but the save dialog is cancelled: no open dialog, set kept.
    dialogs.saveChoices = {Dialogs::SaveChoice::Save};
    const std::size_t opens = dialogs.openRequests.size();
    browser.PatternFileBrowseButtonClick();
    ASSERT_EQ(dialogs.saveQuestions.size(), 1u);
    EXPECT_EQ(dialogs.saveQuestions[0].caption, "Browse");
    EXPECT_EQ(dialogs.openRequests.size(), opens);
    EXPECT_TRUE(browser.Session().HasUnsavedEdits());
    EXPECT_EQ(browser.Ui().PatternListBox->count(), 3);

    // Quit: Save into a file, then the program closes; the file holds the
    // added pattern.
    const std::string saved = (root_ / "saved.pat").string();
    dialogs.saveChoices = {Dialogs::SaveChoice::Save};
    dialogs.saveAnswers = {saved};
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.saveQuestions.size(), 2u);
    EXPECT_FALSE(browser.Session().HasUnsavedEdits());
    std::ifstream in(saved);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("PatternName=Added"), std::string::npos) << text;

    // Nothing left to save: no question.
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.saveQuestions.size(), 2u);
}

// A box belongs to the window that asked for it (the active one, or the
// modal dialog on top), so that closing it gives the focus back there; with
// no window active, to the main window.
TEST_F(LostWork, BoxesBelongToTheWindowThatAsked) {
    QtDialogs boxes(form);
    EXPECT_EQ(boxes.Owner(), form);
    LoadAndRun();
    OpenPatternSet();
    TPatternSequenceBrowserForm& browser = *windows.PatternSequenceBrowserForm;
    // (A window of the main window's shares its activation: wait for the
    // application's own record.)
    browser.activateWindow();
    ASSERT_TRUE(program_test::WaitFor([&] { return QApplication::activeWindow() == &browser; }));
    EXPECT_EQ(boxes.Owner(), &browser);

    // The Fit dialog, modal over the browser, owns what it asks for.
    QWidget* owner = nullptr;
    const QWidget* dialog = nullptr; // gone when the dialog has closed
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || dialog)
            return;
        dialog = modal;
        owner = boxes.Owner();
        EXPECT_EQ(modal->parentWidget(), &browser);
        modal->close();
    });
    poll.start(10);
    browser.FitButtonClick();
    poll.stop();
    EXPECT_NE(owner, nullptr);
    EXPECT_EQ(owner, dialog);
}

// Esc closes a secondary window; a device folder without a mirror info file
// is refused with a message and the folder in use stays.
TEST_F(LostWork, EscClosesSecondaryWindowsAndAnEmptyDeviceFolderIsRefused) {
    for (QWidget* window : {static_cast<QWidget*>(windows.MirrorSetupForm),
                            static_cast<QWidget*>(windows.PatternSequenceBrowserForm)}) {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(program_test::WaitFor([&] { return QApplication::activeWindow() == window; }));
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << window->metaObject()->className();
    }
    EXPECT_TRUE(form->isVisible());

    const std::string before = DeviceFolder();
    const std::filesystem::path empty = root_ / "Empty";
    std::filesystem::create_directories(empty);
    std::ofstream(empty / "notes.txt") << "no mirrors here\n";
    dialogs.folderAnswers = {empty.string()};
    form->DeviceFolderAction->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find("holds no mirror info files"), std::string::npos)
        << dialogs.messages[0].text;
    EXPECT_EQ(DeviceFolder(), before);
    EXPECT_EQ(windows.MirrorSetupForm->MirrorSelectionListBox->count(), 2);
}

} // namespace
} // namespace ostrander
