#pragma once
// The mirror setup window: lists the mirrors of the device folder, shows the
// details of the entry last clicked, and loads the chosen one into the
// working state, which starts the influence-function run.
//
// Created once at start-up and shown on demand (not modal); closing it only
// hides it.
#include "forms/SessionMessages.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace ostrander {

class EngineSession;
enum class MirrorSelection;
class InfoFileListClass;
class MirrorInfoClass;
class ModelHost;
class PatternBrowserInterface;
class TFloatEditFrame;
class TMirrorDisplayFrame;

class TMirrorSetupForm : public QWidget {
    Q_OBJECT
public:
    // What a load changes in the main window (none owned; any may be null).
    struct MainWindowParts {
        TMirrorDisplayFrame* MainMirrorDisplay = nullptr;
        TFloatEditFrame* StressEdit = nullptr;
        TFloatEditFrame* SeparationEdit = nullptr;
        // The information box.
        ModelHost* Host = nullptr;
    };

    // Hands the pattern browser (may be null) to the main mirror display and
    // scans the device folder. A load selects the mirror in the session and
    // starts its influence-function run. parent: the main window (the setup
    // window stays a window of its own).
    TMirrorSetupForm(EngineSession& session, const MainWindowParts& main,
                     PatternBrowserInterface* patternForm, QWidget* parent = nullptr);
    ~TMirrorSetupForm() override;

    // Event handlers.
    void CloseButtonClick();
    void LoadButtonClick();
    void MirrorSelectionListBoxClick();
    void MirrorSelectionListBoxDblClick();

    // Loads a mirror info file as a double-click on its entry does: the
    // entry of the device list when the file is one, else the file on its own
    // (the list then shows no selection). True when the mirror was selected.
    bool LoadFile(const std::string& infoFile);
    // Lists the mirrors of the device folder in use again (after it
    // changed); the loaded mirror stays loaded.
    void Rescan();
    // The entry index of a mirror loaded from outside the device list.
    static constexpr int kOutsideList = EngineSession::kMirrorOutsideList;

    // The device entry shown by list row `row`; -1 when there is none.
    int EntryOfRow(int row) const;
    // The mirror info of the entry last clicked (or the loaded one); not owned.
    const MirrorInfoClass* PreviewedMirrorInfo() const { return Preview; }

    // The information box after a load whose influence-function run did not start.
    static constexpr const char* kNotCalculated = ostrander::kNotCalculated;

    // The details text of a mirror info, one string per line.
    static std::vector<std::string> DetailLines(const MirrorInfoClass* info);

    // Controls, owned through Qt parenting.
    QTabWidget* PageControl = nullptr;
    QGroupBox* MirrorListGroup = nullptr;
    QListWidget* MirrorSelectionListBox = nullptr;
    QPlainTextEdit* MirrorSelectionDisplayBox = nullptr;
    QGroupBox* CurrentMirrorGroup = nullptr;
    QPlainTextEdit* MirrorCurrentDisplayBox = nullptr;
    TMirrorDisplayFrame* MirrorCurrentDisplayFrame = nullptr;
    QLabel* DeviceFolderLabel = nullptr;
    QPushButton* LoadButton = nullptr;
    QPushButton* CloseButton = nullptr;

signals:
    // The loaded mirror is about to be let go (another one is loaded): what
    // was worked out for it no longer applies.
    void mirrorReleased();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void FillList();
    // Frees the previewed mirror info unless the working state holds it.
    void ForgetPreview();
    // Detaches every display from the loaded mirror and frees it, with its
    // description (its channels go to 0 V).
    void FreeLoadedMirror();
    void LoadEntry(int entry);
    MirrorSelection LoadInfoFile(int entry, const std::string& infoFile);
    static void ShowDetails(QPlainTextEdit* box, const MirrorInfoClass* info);

    EngineSession& Session;
    // The session's working state (it outlives the window; the session may not).
    MainWindowParts Main;
    PatternBrowserInterface* PatternForm = nullptr; // not owned
    std::unique_ptr<InfoFileListClass> DeviceList;
    // By list row: position of the device entry it shows.
    std::vector<int> RowEntries;
    // The previewed mirror info: owned unless it is the working state's.
    const MirrorInfoClass* Preview = nullptr;
};

} // namespace ostrander
