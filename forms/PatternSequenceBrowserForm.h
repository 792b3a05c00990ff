#pragma once
// The pattern sequence browser: opens a pattern-set file, shows each pattern
// on a private preview mirror (made from the active mirror's file, output
// held, so browsing never drives the electronics), captures voltages into
// patterns, saves the set, and sends a pattern to the active mirror. The
// editing itself is PatternBrowserSession; the window runs the dialogs,
// shows the list and names, and turns the session's statuses into messages.
//
// Created once and hidden, not destroyed, when the user leaves it. The
// mirror display frame's "Pattern Library" button hands it the active mirror
// (SetActiveMirror) and shows it (ShowBrowser).
#include "Shared_Software/Frames/PatternBrowserInterface.h"
#include "model/EngineGrid.h"
#include "model/PatternBrowserSession.h"
#include "model/SessionFit.h"

#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;

namespace ostrander {

class TMirrorDisplayFrame;

class TPatternSequenceBrowserForm : public QMainWindow, public PatternBrowserInterface {
    Q_OBJECT
public:
    explicit TPatternSequenceBrowserForm(QWidget* parent = nullptr);
    ~TPatternSequenceBrowserForm() override;

    // The main window's mirror (not owned), or null. Whoever destroys that
    // mirror must hand over null (or the new mirror) first.
    void SetActiveMirror(MirrorClass* mirror) override;
    MirrorClass* GetActiveMirror() const { return session_.GetActiveMirror(); }
    // Marks the window as opened from a mirror display and shows it as a
    // modeless window (brought to the front when already shown).
    void ShowBrowser() override;
    // The folder the open dialog starts in: that of the pattern file last
    // opened or saved; empty until one was (the dialog then starts in the
    // device folder).
    std::string PatternFolder() const;
    void SetPatternFolder(const std::string& folder);

    // The editing session the window shows, and read access to it.
    PatternBrowserSession& Session() { return session_; }
    PatternClass* GetPatternSet() const { return session_.GetPatternSet(); }
    MirrorClass* GetPreviewMirror() const { return session_.GetPreviewMirror(); }
    const VoltageListClass* GetCurrentVoltages() const { return session_.GetCurrentVoltages(); }
    int GetSelectedIndex() const { return session_.GetSelectedIndex(); }
    bool IsFileLoaded() const { return session_.IsFileLoaded(); }

    // Opens a pattern set file as Browse does after its dialog (asking
    // first about changes not saved); a message says why one cannot be
    // opened. True when it was.
    bool OpenPatternSetFile(const std::string& file);

    // Event handlers (wired to the controls below).
    void FormShow();
    void PatternFileBrowseButtonClick();
    // Makes a copy of the active mirror's Zernike set the set being edited,
    // as a new set not yet saved to any file.
    void ZernikeSetButtonClick();
    // Opens the Fit dialog: voltages for Zernike terms from the fitter,
    // previewed on the preview mirror and added to the set as a pattern.
    void FitButtonClick();
    // What "Fit..." fits with: the main window's engine, its model name and
    // its engine grid (which surface files are resampled onto; without it,
    // the grid of the active mirror's description).
    void SetVoltageFitter(std::function<SessionFit(const FitRequest&)> fit,
                          std::function<std::string()> modelName,
                          std::function<std::optional<EngineGrid>()> engineGrid = {}) {
        fitter_ = std::move(fit);
        fitModel_ = std::move(modelName);
        fitGrid_ = std::move(engineGrid);
    }
    // Before the set being edited goes (another set opened, the program
    // closed): when it has changes that are not saved, asks Save / Discard /
    // Cancel. True when the caller may go on: nothing to save, saved, or
    // discarded; false to keep the set (Cancel, or the save did not happen).
    bool MayLeaveSet(const std::string& caption);
    void PatternListBoxClick();
    void InsertBeforeButtonClick();
    void ReplaceButtonClick();
    void DeleteButtonClick();
    void UpdateMirrorButtonClick();
    void GrabMirrorButtonClick();
    void UpdateFileButtonClick();
    void PatternSetNameEditKeyUp(int key);
    void PatternFileNameEditKeyUp(int key);
    void ExitButtonClick();

    // The controls, owned through Qt parenting; for tests that drive them.
    struct Controls {
        QAction* ExitMenuItem = nullptr;
        QWidget* ControlPanel = nullptr;
        QSplitter* Splitter = nullptr;
        QWidget* MirrorDisplayPanel = nullptr;
        TMirrorDisplayFrame* MirrorDisplayFrame = nullptr;
        QLabel* PatternFileNameLabel = nullptr;
        QLineEdit* PatternFileNameEdit = nullptr;
        QPushButton* PatternFileBrowseButton = nullptr;
        QPushButton* ZernikeSetButton = nullptr;
        QPushButton* FitButton = nullptr;
        QLabel* PatternSetNameLabel = nullptr;
        QLineEdit* PatternSetNameEdit = nullptr;
        QPushButton* UpdateMirrorButton = nullptr;
        QPushButton* GrabMirrorButton = nullptr;
        QPushButton* UpdateFileButton = nullptr;
        QLabel* PatternListLabel = nullptr;
        QListWidget* PatternListBox = nullptr;
        QLineEdit* NewPatternNameEdit = nullptr;
        QPushButton* InsertBeforeButton = nullptr;
        QPushButton* ReplaceButton = nullptr;
        QPushButton* DeleteButton = nullptr;
    };
    const Controls& Ui() const { return ui_; }

signals:
    // "Set Mirror Voltages" is about to send voltages to the active mirror
    // (`what` names it for an undo list), and has sent them.
    void activeMirrorAboutToChange(const QString& what);
    void activeMirrorChanged();
    // A pattern set file was opened (its path).
    void patternSetOpened(const QString& file);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Asks where and saves the set; true when it was saved.
    bool SaveSet();
    // Pattern names of the set into the list box (all but the closing "None").
    // Opens a file the user chose; `caption` heads a message.
    bool OpenChosenSet(const std::string& file, const std::string& caption);
    void FillPatternList();
    // Enables the list box and proposes "Pattern <items>" as the next name.
    void AfterListFilled();
    // The name the open dialog returned, or none when cancelled.
    std::optional<std::string> RunOpenDialog();
    void ShowPatternFileName(const std::string& name);
    void ShowSetName();
    // What the reader passed over in the file on show (a voltage it could not
    // read, a key of the other file version, ...), in the status bar: the
    // first warning, all of them in its tooltip. A clean file hides the bar.
    void ShowReadWarnings();
    void SetSetNameColour(int colour);
    void RedrawMirror();
    void SelectOnly(int row);
    // The highlighted row of the pattern list; -1 when none.
    int HighlightedRow() const;
    // Detaches the frame, makes the preview mirror of the active mirror anew
    // and shows the current voltages on it.
    void RebuildPreview();

    // The "Pattern Library" button of the browser's own map opens a set, as
    // Browse does; the map's preview mirror is not handed on.
    class LibraryButton : public PatternBrowserInterface {
    public:
        explicit LibraryButton(TPatternSequenceBrowserForm& form) : form_(form) {}
        void SetActiveMirror(MirrorClass*) override {}
        void ShowBrowser() override { form_.PatternFileBrowseButtonClick(); }

    private:
        TPatternSequenceBrowserForm& form_;
    };

    Controls ui_;
    PatternBrowserSession session_;
    std::function<SessionFit(const FitRequest&)> fitter_;
    std::function<std::string()> fitModel_;
    std::function<std::optional<EngineGrid>()> fitGrid_;
    LibraryButton libraryButton_{*this};
    std::string OpenDialogFileName; // what the open dialog last returned
    std::string ShownFileName;      // what the file-name box last showed
    bool OpenedFromMirrorDisplay = false;
};

} // namespace ostrander
