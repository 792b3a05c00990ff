#pragma once
// The actuator map through which the user sets voltages: the mirror with every
// actuator coloured by its voltage, the voltage legend beneath, the auxiliary
// actuators in a narrow box beside it and an optional control panel above.
// Left click raises an actuator by the step, right click lowers it, middle
// click sets it to 0. The control panel (shown from the legend's pop-up menu)
// selects an actuator, sets its voltage, sets all, zeroes all, sets the step
// and opens the pattern library.
//
// The frame refers to a mirror without owning it: detach it (SetMirror(nullptr))
// before the mirror is destroyed.
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;

namespace ostrander {

class MirrorClass;
class MirrorDisplayClass;
class PaintBox;
class PatternBrowserInterface;
class TFloatBarFrame;
class TFloatEditFrame;
class TIntegerEditFrame;

class TMirrorDisplayFrame : public QWidget {
    Q_OBJECT
public:
    explicit TMirrorDisplayFrame(QWidget* parent = nullptr);
    ~TMirrorDisplayFrame() override;

    // Attaches a mirror (true), or detaches with null (false). A mirror that
    // is not valid changes nothing and gives false.
    bool SetMirror(MirrorClass* mirror);
    // Repaints the map, laying it out again first if its box changed size.
    // False without a valid mirror.
    bool Refresh();
    // Rebuilds the map from the mirror's model and repaints the legend.
    bool Relayout();
    // Makes display number n the one the control panel edits.
    void SelectChannel(int n);
    void ShowControls(bool flag);
    // The browser that "Pattern Library" opens (not owned; null for none).
    void SetPatternForm(PatternBrowserInterface* form);
    // Ranges of the control panel's edits from the mirror's limits.
    void UpdateLimits();
    // The step of the mouse clicks, shown in the step edit.
    void ApplyStep(double step);

    MirrorClass* GetMirror() const { return Mirror; }
    MirrorDisplayClass* GetDisplay() const { return Display.get(); }
    int GetCurrentChannel() const { return CurrentChannel; }
    double GetStep() const { return Step; }
    // The step the user chose, given to every mirror the frame is set to
    // (within its limits) instead of the mirror's own; none: the mirror's.
    void SetPreferredStep(double volts);
    std::optional<double> PreferredStep() const { return preferredStep_; }
    // The "Set All" value, kept within the mirror's limit when one is set.
    double GetSetAllValue() const;
    void SetSetAllValue(double volts);

    // The tooltip of the pad at (x, y) on the map's canvas, or in the
    // auxiliary box: its number, channel and voltage (the map leaves out
    // what does not fit a small pad); empty off the pads.
    QString PadToolTip(int x, int y, bool auxiliary = false) const;

    // Event handlers.
    void MirrorPaintBoxMouseUp(Qt::MouseButton button, int x, int y);
    void AuxilaryPaintBoxMouseUp(Qt::MouseButton button, int x, int y);
    void PatternEditButtonClick();
    void ZeroAllButonClick();
    void ShowControlButtonClick();
    void HideControlButtonClick();

    // The controls, owned by Qt parenting; for tests that drive them.
    struct Controls {
        QWidget* ControlPanel = nullptr;
        QWidget* TopControlPanel = nullptr;
        TIntegerEditFrame* ChannelIntegerEdit = nullptr;
        QFrame* MirrorLabelPanel = nullptr;
        QLabel* MirrorLabel = nullptr;
        QWidget* PatternEditButtonPanel = nullptr;
        QPushButton* PatternEditButton = nullptr;
        QWidget* MiddleControlPanel = nullptr;
        TFloatBarFrame* VoltageFloatBar = nullptr;
        QWidget* BottomControlPanel = nullptr;
        QWidget* ZeroAllButonPanel = nullptr;
        QPushButton* ZeroAllButon = nullptr;
        QWidget* StepSizeEditPanel = nullptr;
        TFloatEditFrame* StepSizeFloatEdit = nullptr;
        QWidget* SetAllEditPanel = nullptr;
        TFloatEditFrame* SetAllFloatEdit = nullptr;
        QSplitter* MainSplitter = nullptr; // control panel | display | legend
        QWidget* DisplayPanel = nullptr;
        QSplitter* AuxilarySplitter = nullptr;
        QWidget* AuxilaryPanel = nullptr;
        PaintBox* AuxilaryPaintBox = nullptr;
        QWidget* MirrorPanel = nullptr;
        PaintBox* MirrorPaintBox = nullptr;
        QWidget* LegendPanel = nullptr;
        PaintBox* LegendPaintBox = nullptr;
        QMenu* MirrorDisplayFramePopupMenu = nullptr;
        QAction* ShowControlButton = nullptr;
        QAction* HideControlButton = nullptr;
    };
    const Controls& Ui() const { return ui_; }

signals:
    // The user is about to change voltages through the frame: `what` names
    // the change for an undo list, `pad` is the display number a click
    // changes (0 for the others), so that clicks on one pad can be merged.
    void voltagesAboutToChange(const QString& what, int pad);
    // The user changed voltages through the frame (a click, the bar, Set
    // All, Zero All), so that the results can be recomputed at once.
    void voltagesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's steps: the controls and panels, then their signals.
    void BuildControlPanel();
    void BuildTopControlRow();
    void BuildMiddleControlRow();
    void BuildBottomControlRow();
    void BuildDisplayPanels();
    void BuildPopupMenu();
    void ConnectPaintBoxes();
    void ConnectControls();

    bool HasValidMirror() const;
    // Draws the map into its backing store (Refresh without asking the
    // boxes to repaint), unless it already shows what MapState says.
    bool PaintMap();
    // What the map and the auxiliary box show: their canvases' sizes and
    // each actuator's text and colour.
    std::string MapState() const;
    // Asks the three boxes to show their pictures again, except while they
    // are being painted.
    void ShowBoxes();
    void PaintLegend();
    void ClickActuator(int displayIndex, Qt::MouseButton button);
    // Sets the current channel from the voltage bar and shows what the
    // mirror then holds.
    void ApplyVoltageBar();
    void ApplySetAll();
    void ApplyStepEdit();
    // After a change of voltages: the bar shows the current channel's
    // voltage and the map repaints.
    void ShowVoltages();
    // The mirror's caption in the label, shortened to fit.
    void ShowMirrorCaption();

    Controls ui_;
    MirrorClass* Mirror = nullptr; // not owned
    std::unique_ptr<MirrorDisplayClass> Display;
    int CurrentChannel = 0;
    double Step = 10.0;
    std::optional<double> preferredStep_;
    int LastWidth = 0;
    int LastHeight = 0;
    PatternBrowserInterface* PatternForm = nullptr; // not owned
    bool insidePaint_ = false;
    // MapState when the map was last drawn; empty after a new layout. A
    // click draws the map, and the idle pass and the paint event after it
    // find it drawn.
    std::string paintedMap_;
    QString MirrorCaption; // device name | driver name
};

} // namespace ostrander
