#pragma once
// The pattern sequence browser: opens a pattern-set file, shows each pattern
// on a private preview mirror (made from the active mirror's file, output
// held, so browsing never drives the electronics), captures voltages into
// patterns, saves the set, and sends a pattern to the active mirror.
//
// Created once and hidden, not destroyed, when the user leaves it. The
// mirror display frame's "Pattern Library" button hands it the active mirror
// (SetActiveMirror) and shows it (ShowBrowser).
#include "Shared_Software/Frames/PatternBrowserInterface.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;

namespace ostrander {

class MirrorClass;
class PatternClass;
class TMirrorDisplayFrame;
class VoltageListClass;

class TPatternSequenceBrowserForm : public QMainWindow, public PatternBrowserInterface {
    Q_OBJECT
public:
    explicit TPatternSequenceBrowserForm(QWidget* parent = nullptr);
    ~TPatternSequenceBrowserForm() override;

    // The main window's mirror (not owned), or null. Whoever destroys that
    // mirror must hand over null (or the new mirror) first.
    void SetActiveMirror(MirrorClass* mirror) override;
    MirrorClass* GetActiveMirror() const { return ActiveMirror; }
    // Marks the window as opened from a mirror display and shows it as a
    // modeless window (brought to the front when already shown).
    void ShowBrowser() override;
    void SetOpenedFromMirrorDisplay(bool opened) { OpenedFromMirrorDisplay = opened; }

    // Read access for the holder and for tests.
    PatternClass* GetPatternSet() const { return PatternSet.get(); }
    MirrorClass* GetPreviewMirror() const { return PreviewMirror.get(); }
    const VoltageListClass* GetCurrentVoltages() const { return CurrentVoltages.get(); }
    int GetSelectedIndex() const { return SelectedIndex; }
    bool IsFileLoaded() const { return FileLoaded; }

    // Event handlers (wired to the controls below).
    void FormShow();
    void PatternFileBrowseButtonClick();
    // Makes a copy of the active mirror's Zernike set the set being edited,
    // as a new set not yet saved to any file.
    void ZernikeSetButtonClick();
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

    // Controls, owned through Qt parenting.
    QAction* ExitMenuItem = nullptr;
    QWidget* ControlPanel = nullptr;
    QSplitter* Splitter = nullptr;
    QWidget* MirrorDisplayPanel = nullptr;
    TMirrorDisplayFrame* MirrorDisplayFrame = nullptr;
    QLabel* PatternFileNameLabel = nullptr;
    QLineEdit* PatternFileNameEdit = nullptr;
    QPushButton* PatternFileBrowseButton = nullptr;
    QPushButton* ZernikeSetButton = nullptr;
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

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Pattern names of the set into the list box (all but the closing "None").
    void FillPatternList();
    // Enables the list box and proposes "Pattern <items>" as the next name.
    void AfterListFilled();
    // The name the open dialog last returned; empty until the first choice.
    std::optional<std::string> RunOpenDialog();
    void ShowPatternFileName(const std::string& name);
    void ShowSetName();
    void SetSetNameColour(int colour);
    void RedrawMirror();
    bool ActiveMirrorValid() const;
    bool PreviewMirrorValid() const;
    void ReplaceSet(std::unique_ptr<PatternClass> set);
    // The preview mirror's voltages into the current voltages (made when missing).
    void CaptureCurrentVoltages();
    void SelectOnly(int row);

    MirrorClass* ActiveMirror = nullptr;
    std::unique_ptr<MirrorClass> PreviewMirror;
    std::string MirrorFileName;
    std::string PatternFileName;
    std::unique_ptr<PatternClass> PatternSet;
    std::string OpenDialogFileName; // what the open dialog last returned
    std::string ShownFileName;      // what the file-name box last showed
    std::unique_ptr<VoltageListClass> CurrentVoltages;
    int SelectedIndex = 0;
    bool FileLoaded = false;
    bool OpenedFromMirrorDisplay = false;
};

} // namespace ostrander
