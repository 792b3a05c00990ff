#include "app/ProgramWindows.h"

#include "app/OstranderForm.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "forms/TurbulenceForm.h"
#include "model/EngineSession.h"
#include "model/SessionFit.h"
#include "toolkit/qt/WindowPlacement.h"

#include <QAction>
#include <QShortcut>

namespace ostrander {

ProgramWindows::ProgramWindows() = default;
ProgramWindows::ProgramWindows(ProgramWindows&&) noexcept = default;
ProgramWindows& ProgramWindows::operator=(ProgramWindows&&) noexcept = default;
ProgramWindows::~ProgramWindows() = default;

ProgramWindows MakeProgramWindows() {
    ProgramWindows windows;
    windows.OstranderForm = std::make_unique<TOstranderForm>();
    TOstranderForm& main = *windows.OstranderForm;
    windows.PatternSequenceBrowserForm = new TPatternSequenceBrowserForm(&main);
    // The browser's Fit dialog fits on the main window's mirror and model.
    windows.PatternSequenceBrowserForm->SetVoltageFitter(
        [&main](const FitRequest& request) { return FitOnSession(main.Session(), request); },
        [&main] { return std::string(main.Session().MembraneModelName()); },
        [&main] { return main.Session().Grid(); });
    // "Set Mirror Voltages" changes the main window's mirror: it goes on
    // the main window's undo list.
    QObject::connect(windows.PatternSequenceBrowserForm,
                     &TPatternSequenceBrowserForm::activeMirrorAboutToChange, &main,
                     [&main](const QString& what) { main.BeginVoltageEdit(what); });
    QObject::connect(windows.PatternSequenceBrowserForm,
                     &TPatternSequenceBrowserForm::activeMirrorChanged, &main, [&main] {
                         main.EndVoltageEdit();
                         main.PassSoon();
                     });
    // Undo and redo work in the browser too: its Set Mirror Voltages is on
    // the main window's list.
    windows.PatternSequenceBrowserForm->addAction(main.UndoAction);
    windows.PatternSequenceBrowserForm->addAction(main.RedoAction);
    // Closing the main window ends the program: the set being edited is
    // saved, or let go, first (one question for all the windows).
    TPatternSequenceBrowserForm* browser = windows.PatternSequenceBrowserForm;
    main.SetCloseCheck([browser] { return browser->MayLeaveSet("Quit"); });
    TMirrorSetupForm::MainWindowParts parts;
    parts.MainMirrorDisplay = main.MainMirrorDisplay;
    parts.StressEdit = main.StressEdit;
    parts.SeparationEdit = main.SeparationEdit;
    parts.Host = &main;
    windows.MirrorSetupForm =
        new TMirrorSetupForm(main.Session(), parts, windows.PatternSequenceBrowserForm, &main);
    main.SetMirrorSetupForm(windows.MirrorSetupForm);
    // Analysis > Correct Turbulence opens its window beside the main one; its
    // Apply goes on the main window's undo list, and a mirror let go stops
    // its study.
    TTurbulenceForm* turbulence = new TTurbulenceForm(main.Session(), &main);
    windows.TurbulenceForm = turbulence;
    QObject::connect(main.CorrectTurbulenceAction, &QAction::triggered, &main,
                     [turbulence, &main] { ShowBeside(turbulence, &main); });
    QObject::connect(turbulence, &TTurbulenceForm::voltagesAboutToChange, &main,
                     [&main](const QString& what) { main.BeginVoltageEdit(what); });
    QObject::connect(turbulence, &TTurbulenceForm::voltagesChanged, &main, [&main] {
        main.EndVoltageEdit();
        main.PassSoon();
    });
    QObject::connect(windows.MirrorSetupForm, &TMirrorSetupForm::mirrorReleased, turbulence,
                     [turbulence] { turbulence->MirrorReleased(); });
    turbulence->addAction(main.UndoAction);
    turbulence->addAction(main.RedoAction);
    main.SetPatternBrowser(browser);
    QObject::connect(browser, &TPatternSequenceBrowserForm::patternSetOpened, &main,
                     [&main](const QString& file) { main.NoteRecentPatternSet(file.toStdString()); });
    // Esc closes the secondary windows (they are hidden, not destroyed).
    for (QWidget* window : {static_cast<QWidget*>(windows.MirrorSetupForm),
                            static_cast<QWidget*>(windows.PatternSequenceBrowserForm),
                            static_cast<QWidget*>(turbulence)}) {
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
    }
    return windows;
}

} // namespace ostrander
