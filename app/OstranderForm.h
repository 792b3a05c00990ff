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

#include <QElapsedTimer>
#include <QMainWindow>

#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTimer;

namespace ostrander {

struct MainData;
class DMModelLocal;
class DMModelMain;
class EngineSession;
class PaintBox;
class TFloatEditFrame;
class TIntegerEditFrame;
class TMirrorDisplayFrame;

class TOstranderForm : public QMainWindow, public ModelHost {
    Q_OBJECT
public:
    // data and local: the model record and the working state (not owned;
    // they must outlive the window).
    TOstranderForm(MainData& data, DMModelLocal& local, QWidget* parent = nullptr);
    ~TOstranderForm() override;

    EngineSession& Session() { return *session_; }
    DMModelMain& Engine();
    // The window "Load Mirror" shows (not owned; Qt parenting keeps it).
    void SetMirrorSetupForm(QWidget* form) { mirrorSetupForm_ = form; }
    // Starts the timer that runs ApplicationIdle.
    void StartIdleHandler();
    void StopIdleHandler();
    // Runs the next idle pass as soon as the present event is handled
    // (while the passes run).
    void PassSoon();

    // Event handlers.
    void LoadMirrorButtonClick();
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
    // Recomputes the surface and far field and draws every picture.
    void RecalculateDisplaysButtonClick();

    // The focus adjustment for a scroll position (0..200): -1.0 .. +2.0.
    static double FocusFromPosition(int position);

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
    QTimer* RunFEATimer = nullptr;
    QTimer* IdleTimer = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildControlPanel();
    void BuildDisplays();
    void ShowFocusControls(bool show);
    // Repaints a picture control after drawing into its canvas.
    static void Show(PaintBox* box);
    // Draws the pictures of a set of Picture flags (model/EngineSession.h).
    void DrawPictures(unsigned pictures);
    // Time until the next idle pass, given how long this one took.
    int NextIdleDelay(qint64 passMs) const;

    MainData& data_;
    DMModelLocal& local_;
    std::unique_ptr<EngineSession> session_;
    QWidget* mirrorSetupForm_ = nullptr;
    QElapsedTimer lastRedraw_;
};

} // namespace ostrander
