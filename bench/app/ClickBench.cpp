// From a click on the actuator map to the five result pictures painted, in the
// real main window on the offscreen platform, with the 61-pad mirror loaded:
// the time a user waits for a click's result. Each click is followed by a
// pause longer than the redraw interval, so every click is measured alone.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"
#include "forms/MirrorSetupForm.h"
#include "model/EngineSession.h"
#include "model/ExactMembraneModel.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Paths.h"
#include "toolkit/qt/PaintBox.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <string>

namespace ostrander {
namespace {

// Counts the paint events of the pictures it watches.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted.insert(watched);
        return false;
    }
    QSet<QObject*> painted;
};

void RunEvents(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void ClickToPictures(benchmark::State& state, bool exact) {
    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    ProgramWindows windows = MakeProgramWindows();
    TOstranderForm& form = *windows.OstranderForm;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        state.SkipWithError("the main window was not shown");
        return;
    }
    if (exact && !form.SetMembraneModel(QString::fromUtf8(ExactMembraneModel::kName.data()))) {
        state.SkipWithError("no exact membrane model");
        return;
    }
    if (!windows.MirrorSetupForm->LoadFile(std::string(OSTRANDER_SOURCE_DIR) +
                                           "/Devices/Hex61S.ini")) {
        state.SkipWithError("Hex61S.ini did not load");
        return;
    }
    for (int ticks = 0; form.IsRunTimerEnabled() && ticks < 1000; ++ticks)
        form.RunFEATimerTimer();
    if (!form.Session().ResultsValid()) {
        state.SkipWithError("the influence run did not finish");
        return;
    }
    form.StartIdleHandler();
    RunEvents(300);

    const std::array<PaintBox*, 5> pictures = {
        form.ThreeDimensionalImageDisplay, form.TwoDimensionalDisplayFrame,
        form.InterferogramDisplayFrame, form.FarFieldDisplayFrame, form.FarFieldPlotDisplay};
    PaintCounter counter;
    for (PaintBox* box : pictures)
        box->installEventFilter(&counter);
    QWidget* mapBox = form.MainMirrorDisplay->Ui().MirrorPaintBox;
    const Point centre = form.MainMirrorDisplay->GetDisplay()->Centre;

    bool raise = true;
    for (auto _ : state) {
        counter.painted.clear();
        // Raise, then lower: the voltages change with every click and stay in range.
        QTest::mouseClick(mapBox, raise ? Qt::LeftButton : Qt::RightButton, {},
                          QPoint(centre.x, centre.y));
        raise = !raise;
        QElapsedTimer limit;
        limit.start();
        while (counter.painted.size() < static_cast<qsizetype>(pictures.size()) &&
               limit.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents);
        if (counter.painted.size() < static_cast<qsizetype>(pictures.size())) {
            state.SkipWithError("a click was not followed by all five pictures");
            break;
        }
        state.PauseTiming();
        RunEvents(200);
        state.ResumeTiming();
    }
    form.StopIdleHandler();
}

void BM_ClickToPicturesHex61S(benchmark::State& state) {
    ClickToPictures(state, state.range(0) != 0);
}
BENCHMARK(BM_ClickToPicturesHex61S)
    ->ArgName("Exact")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

} // namespace
} // namespace ostrander

int main(int argc, char** argv) {
    // No display needed; the user's remembered choices are left alone.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
