#pragma once
// The main window: the controls on the left (load, focus, exit, information
// box), the five result pictures and the actuator map on the right. It owns
// the engine session and is its host: the run timer, the picture controls,
// the actuator map and the information box. The session does the work; the
// window keeps the timers, draws what the session says and shows the
// messages for its statuses.
//
// The idle pass (ApplicationIdle) runs from a timer: a pass about every
// 100 ms keeps the voltage floor; when what the map and the results are made
// from changed, it refreshes the map and, while results are valid, recomputes
// and redraws them, no more often than every 130 ms. A change made on the map
// or the display controls runs a pass at once.
#include "model/ModelHost.h"
#include "model/ResultFigures.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMargins>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTimer;
class QUndoStack;

namespace ostrander {

class EngineSession;
class PaintBox;
struct AppliedVoltages;
struct PictureColourBar;
struct PullInResult;
struct SessionSnapshot;
class TFloatEditFrame;
class TIntegerEditFrame;
class TMirrorDisplayFrame;
class TMirrorSetupForm;
class TPatternSequenceBrowserForm;

class TOstranderForm : public QMainWindow, public ModelHost {
    Q_OBJECT
public:
    explicit TOstranderForm(QWidget* parent = nullptr);
    ~TOstranderForm() override;

    EngineSession& Session() { return *session_; }
    // The window "Load Mirror" shows (not owned; Qt parenting keeps it).
    void SetMirrorSetupForm(TMirrorSetupForm* form) { mirrorSetupForm_ = form; }
    // The pattern browser that opens pattern sets (not owned).
    void SetPatternBrowser(TPatternSequenceBrowserForm* form) { patternBrowser_ = form; }

    // Loads a mirror info file (a message says why when it cannot); true
    // when it was loaded.
    bool OpenMirrorFile(const std::string& file);
    // Opens a pattern set in the browser and shows it; true when opened.
    bool OpenPatternSet(const std::string& file);

    // The files opened last, newest first, at most kRecentFiles of each;
    // a file is noted when it was opened, and one that is gone is dropped
    // (with a message) when the menu is shown or the entry chosen.
    static constexpr int kRecentFiles = 6;
    const std::vector<std::string>& RecentMirrors() const { return recentMirrors_; }
    const std::vector<std::string>& RecentPatternSets() const { return recentPatternSets_; }
    void SetRecentMirrors(std::vector<std::string> files);
    void SetRecentPatternSets(std::vector<std::string> files);
    void NoteRecentMirror(const std::string& file);
    void NoteRecentPatternSet(const std::string& file);
    // Puts `file` first in `list`, once, keeping at most kRecentFiles.
    static void NoteRecent(std::vector<std::string>& list, const std::string& file);
    // Removes the files that are gone from `list` and returns them.
    static std::vector<std::string> DropMissing(std::vector<std::string>& list);
    // Asks the influence run going to stop (the Cancel button).
    void CancelRunClick();
    // Where the window opens on a screen whose free area is `available`:
    // at the design's place and size (`wanted`, its top-left `place`) when
    // that fits, moved onto the area when only the size fits, and the whole
    // free area on a smaller screen. `frame` is what the window manager adds
    // around the window (title bar and borders).
    static QRect FittedGeometry(const QRect& wanted, const QRect& available,
                                const QMargins& frame = {});
    // Fits the window to the screen it is on (before it is shown).
    void FitToScreen();
    // Starts the timer that runs ApplicationIdle.
    void StartIdleHandler();
    void StopIdleHandler();
    // Runs the next idle pass as soon as the present event is handled
    // (while the passes run).
    void PassSoon();

    // The membrane model ("classic" or "exact"), as the model choice shows
    // it. Setting another one recomputes the influence functions of the
    // loaded mirror; an unknown name changes nothing (false).
    bool SetMembraneModel(const QString& name);
    QString MembraneModelName() const;
    // With the exact model: a pull-in computation for the present voltages
    // has been asked for and not answered yet.
    bool PullInPending() const;
    // The pull-in line for a solve's answer.
    static QString PullInText(const PullInResult& result);

    // Undo and redo of what the user changes on the model: the voltages
    // (map clicks, edits, Set All, Set Mirror Voltages of the browser) and
    // the model choice. A change is recorded between BeginVoltageEdit
    // (before it; `pad` > 0 merges consecutive clicks on that pad) and
    // EndVoltageEdit (after it); one that changed nothing is not. Undo
    // brings back the session's snapshot from before, through the session.
    // A new mirror empties the list.
    QUndoStack* UndoStack() const { return undoStack_; }
    void BeginVoltageEdit(const QString& what, int pad = 0);
    void EndVoltageEdit();
    // Brings back a snapshot (undo, redo) and shows what happened.
    void RestoreSnapshot(const SessionSnapshot& snapshot);
    // The status line after voltages were set back (an undo, a model
    // switch): what the mirror's rules changed of them; empty when nothing.
    static std::string RuleChangesText(const AppliedVoltages& applied);

    // Event handlers.
    void LoadMirrorButtonClick();
    // File menu: a mirror info file from anywhere, another device folder.
    void OpenMirrorFileClick();
    void DeviceFolderClick();
    // File menu: the present result's pictures, grids and summary into a
    // folder the user chooses, as ostrander-cli simulate writes them.
    void ExportClick();
    // Export needs a mirror with its influence functions, and no run going.
    bool CanExport() const;
    // The folder last exported to (the export dialog starts there); empty
    // when none. Remembered between runs.
    const std::string& ExportFolder() const { return exportFolder_; }
    void SetExportFolder(const std::string& folder) { exportFolder_ = folder; }
    // Shows or hides the colour bars; the next pass draws them.
    void ShowColourBars(bool show);
    bool ColourBarsShown() const;
    // Help menu.
    void HelpClick();
    void AboutClick();
    void ModelChoiceChange();
    // Asks for the cube of measured influence functions of the loaded mirror
    // and gives it to the session; false (nothing changed) when none is
    // chosen or it cannot be used, which a message says.
    bool ChooseMeasuredInfluence();
    void ExitButtonClick();
    void RemoveFocusCheckClick();
    void FocusScrollBarChange();
    void ResetFocusButtonClick();
    void FarFieldZoomEditChanged();
    void SeparationEditChanged();
    void StressEditChanged();
    void RunFEATimerTimer();
    // One idle pass: the 0.1 V floor, the peak voltage, the map, and the
    // results while they are valid (at most once per 130 ms).
    void ApplicationIdle();

    // The focus adjustment for a scroll position (0..200): -1.0 .. +2.0.
    static double FocusFromPosition(int position);

    // The Help menu's texts: how to use the program (the information box's
    // help lines as paragraphs), and the program's name, version and licence.
    static std::string HelpText();
    static std::string AboutText();

    // The status line's figures and its sampling warning (empty when the
    // surface is sampled finely enough); both empty without results.
    struct ResultStatus {
        std::string figures;
        std::string warning;
    };
    // Past pull-in (snapDown) the line says so before any figure: the
    // figures are those of a surface the membrane cannot hold.
    static ResultStatus ResultStatusText(const std::optional<ResultFigures>& figures,
                                         bool snapDown = false);

    // ModelHost.
    void EnableRunTimer() override;
    void DisableRunTimer() override;
    bool IsRunTimerEnabled() const override;
    void DrawThreeDImage() override;
    void DrawFarFieldPictures() override;
    void RefreshMirrorDisplay() override;
    void ClearInformation() override;
    void AddInformationLine(const std::string& line) override;

    // Controls, owned through Qt parenting.
    QWidget* MainControlPanel = nullptr;
    QSplitter* Splitter1 = nullptr; // ControlPanel | UserInfoPanel
    QSplitter* Splitter2 = nullptr; // MainControlPanel | MainDisplayPanel
    QWidget* ControlPanel = nullptr;
    TFloatEditFrame* SeparationEdit = nullptr;
    TFloatEditFrame* StressEdit = nullptr;
    QLabel* ModelLabel = nullptr;
    QComboBox* ModelChoice = nullptr; // data: the model's name
    QLabel* PullInLabel = nullptr;    // the exact model's pull-in factor
    QPushButton* LoadMirrorButton = nullptr;
    QCheckBox* RemoveFocusCheck = nullptr;
    QPushButton* InfluenceFunctionButton = nullptr;
    QLabel* FocusEditLabel = nullptr;
    QLabel* FocusMinusLabel = nullptr;
    QLabel* FocusZeroLabel = nullptr;
    QLabel* FocusPlusLabel = nullptr;
    QScrollBar* FocusScrollBar = nullptr;
    QPushButton* ResetFocusButton = nullptr;
    QWidget* ExitButtonPanel = nullptr;
    QPushButton* ExitButton = nullptr;
    QWidget* UserInfoPanel = nullptr;
    QListWidget* UserInfoBox = nullptr;
    QWidget* MainDisplayPanel = nullptr;
    QSplitter* Splitter3 = nullptr; // UpperDisplayPanel | LowerDisplayPanel
    QSplitter* UpperDisplayPanel = nullptr;
    QWidget* ThreeDDisplayPanel = nullptr;
    PaintBox* ThreeDimensionalImageDisplay = nullptr;
    QWidget* TwoDDisplayPanel = nullptr;
    PaintBox* TwoDimensionalDisplayFrame = nullptr;
    QWidget* InterferogramDisplayPanel = nullptr;
    PaintBox* InterferogramDisplayFrame = nullptr;
    QSplitter* LowerDisplayPanel = nullptr;
    QWidget* MirrorDisplayPanel = nullptr;
    TMirrorDisplayFrame* MainMirrorDisplay = nullptr;
    QWidget* FarFieldImagePanel = nullptr;
    PaintBox* FarFieldDisplayFrame = nullptr;
    TIntegerEditFrame* FarFieldZoomEdit = nullptr;
    QWidget* FarFieldPlotPanel = nullptr;
    PaintBox* FarFieldPlotDisplay = nullptr;
    // The colour bars' strips, beside their pictures and hidden while the
    // bars are off.
    PaintBox* SurfaceColourBarDisplay = nullptr;
    PaintBox* InterferogramColourBarDisplay = nullptr;
    PaintBox* FarFieldColourBarDisplay = nullptr;
    // The status line under the pictures: RMS over the beam, Strehl ratio,
    // and the warning when the surface is too steep for the grid.
    QLabel* ResultFiguresLabel = nullptr;
    QLabel* SamplingWarningLabel = nullptr;
    // The influence run's progress and its Cancel button, shown while it goes.
    QProgressBar* RunProgressBar = nullptr;
    QPushButton* CancelRunButton = nullptr;
    QMenu* RecentMirrorsMenu = nullptr;
    QMenu* RecentPatternSetsMenu = nullptr;
    QTimer* RunFEATimer = nullptr;
    QTimer* IdleTimer = nullptr;
    // The menu bar's commands.
    QAction* LoadMirrorAction = nullptr;
    QAction* OpenMirrorFileAction = nullptr;
    QAction* DeviceFolderAction = nullptr;
    QAction* ExportAction = nullptr;
    QAction* QuitAction = nullptr;
    QAction* UndoAction = nullptr;
    QAction* RedoAction = nullptr;
    QAction* CorrectTurbulenceAction = nullptr;
    // View > Colour Bars: the keys beside the surface map, the interferogram
    // and the far-field image (off at first; remembered between runs).
    QAction* ColourBarsAction = nullptr;
    QAction* HelpAction = nullptr;
    QAction* AboutAction = nullptr;

signals:
    // The user chose another device folder (to be remembered).
    void deviceFolderChosen(const QString& folder);
    // The user (or SetMembraneModel) chose another membrane model.
    void membraneModelChanged(const QString& name);
    // The window closes (nothing refused it); every window still has its place.
    void closing();

public:
    // Asked before the window closes: false keeps it open (work that is not
    // saved, and the user cancelled). None: it always closes.
    void SetCloseCheck(std::function<bool()> check) { closeCheck_ = std::move(check); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Mirror info files (.ini) and pattern sets (.pat) dropped on the window
    // are opened.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildControlPanel();
    void BuildDisplays();
    void BuildStatusLine();
    void BuildMenus();
    void ShowFocusControls(bool show);
    void UpdateExportAction();
    // Draws a colour bar's strip beside its picture (a kept layer: the same
    // scale and size write the kept pixels again); nothing while the bars
    // are off.
    void DrawColourBar(PaintBox* strip, const PaintBox* picture, const PictureColourBar& bar);
    // Repaints a picture control after drawing into its canvas.
    static void Show(PaintBox* box);
    // The computed surface is level: every pad at the same voltage.
    bool SurfaceLevel();
    // Draws the pictures of a set of Picture flags (model/EngineSession.h).
    void DrawPictures(unsigned pictures);
    // Measures the present results for the status line (clears it while
    // there are none).
    void UpdateResultStatus();
    // The warning in its label, cut to the label's width with "..." when it
    // does not fit; the whole text is its tooltip.
    void ShowWarning();
    std::string warning_;
    // Time until the next idle pass, given how long this one took.
    int NextIdleDelay(qint64 passMs) const;
    // Asks the session for the pull-in factor of the present voltages when
    // they (or the model) changed; hides the line when the model computes
    // no pull-in.
    void UpdatePullIn();
    // The session's pull-in state on the line.
    void ShowPullIn();
    // An answer waits: the session takes it on the window's thread.
    void PullInAnswered();
    // Changes one of the view options the results are computed with.
    template <class Change> void ChangeView(Change change);

    // Says in the status line what the rules changed of voltages set back.
    void ShowRuleChanges(const std::string& what, const AppliedVoltages& applied);

    // Shows the run's progress, or hides the bar when no run goes.
    void ShowRunProgress();
    // Fills a recent-files menu; `open` opens a chosen entry.
    void FillRecentMenu(QMenu* menu, std::vector<std::string>& list,
                        bool (TOstranderForm::*open)(const std::string&));

    std::unique_ptr<EngineSession> session_;
    TPatternSequenceBrowserForm* patternBrowser_ = nullptr;
    std::vector<std::string> recentMirrors_;
    std::vector<std::string> recentPatternSets_;
    std::function<bool()> closeCheck_;
    QUndoStack* undoStack_ = nullptr;
    // The snapshot taken by BeginVoltageEdit, until EndVoltageEdit.
    std::unique_ptr<SessionSnapshot> editBefore_;
    QString editWhat_;
    int editPad_ = 0;
    // The mirror the undo list belongs to.
    uint64_t undoMirror_ = 0;
    TMirrorSetupForm* mirrorSetupForm_ = nullptr;
    std::string exportFolder_;
    QElapsedTimer lastRedraw_;
    // The pull-in state the line shows, so that an idle pass with nothing
    // new leaves the line alone.
    std::shared_ptr<const PullInResult> shownAnswer_;
    bool shownTracked_ = false;
};

} // namespace ostrander
