#pragma once
// The turbulence correction window (Analysis > Correct Turbulence...): how
// much of an atmospheric phase screen the main window's mirror takes out.
// "Next Screen" shows the next screen W for the chosen D/r0 and seed, the
// mirror's fitted surface change h and the residual W - 2h on one false-colour
// scale in nm, with the screen's figures in a line under them; "Start Study"
// runs the study over a list of D/r0 values and draws the Strehl ratio
// against D/r0 as its points finish; "Apply" puts the shown screen's fitted
// voltages on the mirror, on the main window's undo list.
//
// The work (TurbulenceStudy: the bias search, the screens, the pull-in
// solves) runs on a thread of its own, so that no window waits for it; the
// study takes what it needs of the mirror on this window's thread first, so
// the session may change while it runs. Stop, closing the window and letting
// the mirror go stop it between screens or inside a pull-in solve.
#include "model/TurbulenceStudy.h"
#include "results/TurbulenceFiles.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace ostrander {

class EngineSession;
class PaintBox;

class TTurbulenceForm : public QWidget {
    Q_OBJECT
public:
    // parent: the main window (this stays a window of its own).
    explicit TTurbulenceForm(EngineSession& session, QWidget* parent = nullptr);
    // Stops the work and waits for its thread.
    ~TTurbulenceForm() override;

    // Event handlers.
    void StartClick(); // starts the study, or stops the one running
    void NextScreenClick();
    void ApplyClick();

    // Stops the study and any screen on its way; returns at once (the thread
    // ends at its next check).
    void Cancel();
    // The main window's mirror is being let go: stops, and forgets the
    // screen shown (its voltages belong to that mirror).
    void MirrorReleased();
    // The study or a screen is being computed.
    bool Working() const;
    // The study's points so far; the screen shown.
    const std::vector<TurbulencePoint>& StudyPoints() const { return run_.mirrors.front().points; }
    const std::optional<ScreenCorrection>& ShownScreen() const { return shown_; }
    // The D/r0 values the study field holds; none when it holds something
    // else than positive numbers.
    static std::optional<std::vector<double>> ParseDOverR0List(const QString& text);

    // Controls, owned through Qt parenting.
    QLineEdit* DOverR0ListEdit = nullptr; // the study's D/r0 values
    QSpinBox* ScreensSpin = nullptr;      // screens per D/r0
    QDoubleSpinBox* DOverR0Spin = nullptr; // Next Screen's D/r0
    QSpinBox* SeedSpin = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* NextScreenButton = nullptr;
    QPushButton* ApplyButton = nullptr;
    QLabel* ConventionLabel = nullptr;
    QLabel* StudyLabel = nullptr;  // what the study is doing, or why it cannot
    QLabel* ScreenLabel = nullptr; // the shown screen's figures
    PaintBox* WavefrontMap = nullptr;
    PaintBox* SurfaceMap = nullptr;
    PaintBox* ResidualMap = nullptr;
    PaintBox* StrehlPlot = nullptr;

signals:
    // Around Apply, for the main window's undo list.
    void voltagesAboutToChange(const QString& what);
    void voltagesChanged();
    // The study finished, stopped or could not start; each screen shown.
    void studyEnded();
    void screenShown();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Runner;
    // The study runs, or screens are served, on a new thread; false (and the
    // study line says why) when the mirror is not ready.
    bool StartRunner(bool stepping);
    // Enables the controls for the session's state.
    void UpdateState();
    // What the thread posts back, on this window's thread; `generation`
    // tells answers of a stopped runner from those of the present one.
    void Prepared(uint64_t generation, TurbulenceStudy::Status status, const std::string& problem,
                  double bias);
    void Stepped(uint64_t generation, int done, int total, std::vector<TurbulencePoint> points);
    void ScreenReady(uint64_t generation, ScreenCorrection screen);
    void Ended(uint64_t generation, TurbulenceStudy::Status status, std::optional<double> fitting);
    void DrawMaps();
    void DrawPlot();
    void SetStartText();

    EngineSession& session_;
    std::unique_ptr<Runner> runner_;
    // Runners asked to stop, joined once their thread says it ended.
    std::vector<std::unique_ptr<Runner>> stopping_;
    uint64_t generation_ = 0;
    uint64_t mirror_ = 0; // the session's mirror the runner took
    bool stepping_ = false;
    CorrectionRun run_;
    // Next Screen: the screen's number and what it is of.
    int screenIndex_ = 0;
    uint64_t screenSeed_ = 0;
    double screenDOverR0_ = 0.0;
    std::optional<ScreenCorrection> shown_;
    std::optional<EngineGrid> grid_;
    bool screenWaiting_ = false;
    // The study line says why nothing can start; it says "Ready" once it can.
    bool readyWaiting_ = true;
    QTimer* readyTimer_ = nullptr; // while shown and the mirror is not ready
};

} // namespace ostrander
