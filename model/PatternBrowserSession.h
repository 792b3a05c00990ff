#pragma once
// The editing session of the pattern sequence browser, without a window: the
// pattern set being edited, the working copy of one voltage set (the current
// voltages), the private preview mirror (made from the active mirror's file,
// output held, so browsing never drives the electronics) and the index of
// the pattern the buttons act on.
//
// Each operation returns what happened; the window shows the list, the
// names and the messages from that and from the accessors. Mirrors are
// touched on bank 0 only.
#include <memory>
#include <optional>
#include <string>

namespace ostrander {

class MirrorClass;
class PatternClass;
class VoltageListClass;

class PatternBrowserSession {
public:
    enum class Status {
        Done,
        NoPatternSet,   // replace or delete without a set
        DuplicateName,  // add or replace refused by the set
        NotInList,      // delete refused by the set
        NoActiveMirror, // an operation that needs a valid active mirror
        NoZernikeSet,   // the active mirror has no usable Zernike set
        NothingToSend,  // "set mirror voltages" before any voltages were taken
        DoesNotFit,     // the pattern's voltage count is not the active mirror's actuator count
        NoPattern,      // no pattern is chosen for the operation
        WriteFailed,
    };

    // What opening a set did.
    struct OpenResult {
        bool valid = false;          // a usable set is now being edited
        bool previewChanged = false; // the preview mirror took its first pattern
        std::string error;           // why a pattern-set file was refused, when known
    };

    PatternBrowserSession();
    ~PatternBrowserSession();
    PatternBrowserSession(const PatternBrowserSession&) = delete;
    PatternBrowserSession& operator=(const PatternBrowserSession&) = delete;

    // The main window's mirror (not owned), or null.
    void SetActiveMirror(MirrorClass* mirror) { ActiveMirror = mirror; }
    MirrorClass* GetActiveMirror() const { return ActiveMirror; }
    bool ActiveMirrorValid() const;
    bool PreviewMirrorValid() const;

    PatternClass* GetPatternSet() const { return PatternSet.get(); }
    MirrorClass* GetPreviewMirror() const { return PreviewMirror.get(); }
    const VoltageListClass* GetCurrentVoltages() const { return CurrentVoltages.get(); }
    int GetSelectedIndex() const { return SelectedIndex; }
    // The pattern the buttons act on, without touching the preview.
    void SetSelectedIndex(int index) { SelectedIndex = index; }
    // A valid pattern set has been shown (later showings reuse it).
    bool IsFileLoaded() const { return FileLoaded; }
    // The file last chosen with Browse.
    const std::string& GetPatternFileName() const { return PatternFileName; }

    // Showing the window, the set part. Before a valid set has been shown,
    // `chosenFile` (none: the open dialog was cancelled) is read as the new
    // set; afterwards the set in memory is kept and no file is asked for. A
    // valid set makes its first pattern the current voltages; a set that is
    // not valid is named "Default Pattern" with `dialogFileName` as its file.
    enum class ShowOutcome { NoSet, Valid, NotUsable };
    bool NeedsSetFile() const { return !FileLoaded; }
    ShowOutcome ShowSet(const std::optional<std::string>& chosenFile,
                        const std::string& dialogFileName);
    // Showing the window, the mirror part: the old preview mirror is
    // destroyed (detach every view of it first) and a new one made from the
    // file of the active mirror (the last valid one seen). The new one when
    // valid, its output held; else null.
    MirrorClass* RebuildPreviewMirror();
    // The current voltages (the active mirror's when there are none yet)
    // onto the preview mirror.
    void ShowCurrentVoltagesOnPreview();

    // Browse: reads `fileName` as the new set. A valid set with patterns
    // makes its first pattern the current voltages and puts it on the
    // preview. A file that is not a valid set is refused (valid false): the
    // set, its file name and the preview stay as they were.
    OpenResult OpenSet(const std::string& fileName);
    // A copy of the active mirror's Zernike set becomes the set, not yet
    // saved to any file; its first pattern becomes the current voltages and
    // goes onto the preview. The selection goes to 0.
    Status LoadZernikeSet();

    // Choosing pattern `index` (0 when none is chosen): it becomes the
    // selected index and its voltages go onto the preview mirror; the current
    // voltages stay. True when the preview changed.
    bool SelectPattern(int index);
    // Captures the preview mirror's voltages and appends them as pattern
    // `name`. Without a set or with an empty one a new set named `setName`
    // is started. The selected index becomes the new pattern's position,
    // also when the name is refused.
    Status AddPattern(const std::string& name, const std::string& setName);
    // Captures the preview mirror's voltages into the selected pattern, renamed.
    Status ReplacePattern(const std::string& name);
    // Deletes the selected pattern; the selected index stays, so it then
    // names the pattern that moved up into its place.
    Status DeletePattern();
    // Sends the preview mirror's voltages (captured as the current voltages)
    // to the active mirror. A pattern of the set whose voltage count is not
    // the active mirror's actuator count is refused (DoesNotFit), nothing sent.
    Status SendToActiveMirror();
    // The active mirror's voltages become the current voltages and go onto
    // the preview mirror.
    Status GrabActiveMirror();
    // Writes the set (file version 1.0); the set's own file name stays.
    // WriteFailed when the set would not read back or the write failed (the
    // old file then stays as it was); reason, when given, receives why.
    bool CanSave() const;
    Status Save(const std::string& fileName, std::string* reason = nullptr);
    // Renames the set; nothing without a set.
    void SetPatternSetName(const std::string& name);
    // The set was changed (a pattern added, replaced or deleted, the set
    // renamed) since it was opened, made or last saved.
    bool HasUnsavedEdits() const { return Edited && PatternSet != nullptr; }

private:
    // The preview mirror's voltages into the current voltages (made when missing).
    void CaptureCurrentVoltages();
    // The current voltages onto the preview mirror; true when it is valid.
    bool ApplyCurrentToPreview();

    MirrorClass* ActiveMirror = nullptr; // not owned
    std::unique_ptr<MirrorClass> PreviewMirror;
    std::string MirrorFileName; // the preview mirror's file, kept once known
    std::string PatternFileName;
    std::unique_ptr<PatternClass> PatternSet;
    std::unique_ptr<VoltageListClass> CurrentVoltages;
    int SelectedIndex = 0;
    bool FileLoaded = false;
    bool Edited = false;
    // The preview shows a pattern of the set (not the active mirror's voltages).
    bool PreviewFromSet = false;
};

} // namespace ostrander
