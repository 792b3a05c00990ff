// The turbulence correction window in the program's windows: the Analysis
// menu opens it, Next Screen shows the screen, the fitted surface and the
// residual on one scale, the study runs on its own thread while the window's
// thread goes on with its events and gives the numbers the study gives when
// run directly, closing the window or loading another mirror stops it, and
// Apply sets the fitted voltages, which Undo takes back.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"

#include "forms/MirrorSetupForm.h"
#include "forms/TurbulenceForm.h"
#include "model/EngineSession.h"
#include "model/TurbulenceStudy.h"
#include "model/pictures/AnalysisPictures.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/PaintBox.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>

namespace ostrander {
namespace {

using program_test::WaitFor;

// The distinct colours of a picture, up to 16.
int Colours(PaintBox* box) {
    const QImage& image = box->Canvas().Image();
    std::set<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            seen.insert(image.pixel(x, y));
            if (seen.size() >= 16)
                return 16;
        }
    return static_cast<int>(seen.size());
}

class TurbulenceWindowTest : public program_test::ProgramFolder {
public:
    void SetUp() override {
        ProgramFolder::SetUp();
        WriteMirror("seven.ini", "Seven");
        WriteMirror("twin.ini", "Twin");
        ProgramWindows windows = MakeProgramWindows();
        main = std::move(windows.OstranderForm);
        setup = windows.MirrorSetupForm;
        window = windows.TurbulenceForm;
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void TearDown() override {
        main.reset();
        ProgramFolder::TearDown();
    }
    void LoadAndRun(int row = 0) {
        setup->MirrorSelectionListBox->setCurrentRow(row);
        setup->LoadButtonClick();
        for (int ticks = 0; main->IsRunTimerEnabled() && ticks < 50; ++ticks)
            main->RunFEATimerTimer();
        ASSERT_TRUE(main->Session().ResultsValid());
    }
    void Open() {
        main->CorrectTurbulenceAction->trigger();
        ASSERT_TRUE(window->isVisible());
    }
    // Next Screen, and the event loop until the screen is shown.
    void NextScreen() {
        QSignalSpy shown(window, &TTurbulenceForm::screenShown);
        QTest::mouseClick(window->NextScreenButton, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return shown.count() > 0; }, 60000));
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    std::unique_ptr<TOstranderForm> main;
    TMirrorSetupForm* setup = nullptr;
    TTurbulenceForm* window = nullptr;
};

TEST_F(TurbulenceWindowTest, TheAnalysisMenuOpensItAndEscClosesIt) {
    Open();
    EXPECT_EQ(window->parentWidget(), main.get());
    // No mirror: nothing can start, and the window says why.
    EXPECT_FALSE(window->StartButton->isEnabled());
    EXPECT_FALSE(window->NextScreenButton->isEnabled());
    EXPECT_FALSE(window->ApplyButton->isEnabled());
    EXPECT_TRUE(window->StudyLabel->text().contains("No mirror is loaded")) << window->StudyLabel->text().toStdString();
    EXPECT_TRUE(window->ConventionLabel->text().contains(kTurbulenceConvention));
    LoadAndRun();
    ASSERT_TRUE(WaitFor([&] { return window->NextScreenButton->isEnabled(); }));
    EXPECT_TRUE(window->StartButton->isEnabled());
    EXPECT_FALSE(window->ApplyButton->isEnabled()); // no screen shown yet

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(TurbulenceWindowTest, NextScreenShowsTheScreenTheSurfaceAndTheResidualOnOneScale) {
    LoadAndRun();
    Open();
    window->DOverR0Spin->setValue(4);
    NextScreen();
    ASSERT_TRUE(window->ShownScreen());
    const ScreenCorrection first = *window->ShownScreen();
    ASSERT_TRUE(first.kept);
    EXPECT_EQ(first.dOverR0, 4);
    EXPECT_EQ(first.screen, 0);
    EXPECT_LT(first.residualRms, first.inputRms);
    EXPECT_FALSE(first.volts.empty());
    const std::string line = window->ScreenLabel->text().toStdString();
    for (const char* word : {"Screen 1", "D/r0 = 4", "residual", "Strehl", "saturated"})
        EXPECT_NE(line.find(word), std::string::npos) << word << " in " << line;

    // Three pictures on one scale, even about zero: the grid with the
    // largest excursion reaches an end of the scale, and the surface, fitted
    // to half the screen, keeps well inside it (on a scale of its own it
    // would reach an end too).
    const auto extent = [](PaintBox* box) {
        const BeamMapLayout l = LayoutBeamMap(box->Canvas());
        const double cx = (l.plot.left + l.plot.right) / 2.0, cy = (l.plot.top + l.plot.bottom) / 2.0;
        const double r = 0.95 * l.plot.Width() / 2.0;
        double most = 0.0;
        for (int y = l.plot.top; y < l.plot.bottom; ++y)
            for (int x = l.plot.left; x < l.plot.right; ++x) {
                if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) > r)
                    continue;
                const TColor c = box->Canvas().GetPixel(x, y);
                for (int k = 0; k <= 255; ++k)
                    if (BeamMapColour(k / 255.0) == c) {
                        most = std::max(most, std::fabs(k / 255.0 - 0.5) * 2.0);
                        break;
                    }
            }
        return most;
    };
    const double screen = extent(window->WavefrontMap), surface = extent(window->SurfaceMap),
                 residual = extent(window->ResidualMap);
    EXPECT_GT(std::max(screen, residual), 0.9);
    EXPECT_LT(surface, 0.8);
    EXPECT_GT(surface, 0.1);
    EXPECT_LT(residual, screen);

    // The next screen is another; the first again after a change of seed
    // and back, at the same D/r0, is the same.
    NextScreen();
    EXPECT_EQ(window->ShownScreen()->screen, 1);
    EXPECT_NE(window->ShownScreen()->inputRms, first.inputRms);
    window->SeedSpin->setValue(2);
    NextScreen();
    EXPECT_EQ(window->ShownScreen()->screen, 0);
    EXPECT_NE(window->ShownScreen()->inputRms, first.inputRms);
    window->SeedSpin->setValue(1);
    NextScreen();
    EXPECT_EQ(window->ShownScreen()->inputRms, first.inputRms);
    EXPECT_EQ(window->ShownScreen()->volts, first.volts);
}

TEST_F(TurbulenceWindowTest, TheStudyRunsOnItsOwnThreadAndGivesTheStudysNumbers) {
    LoadAndRun();
    Open();
    window->DOverR0ListEdit->setText("1, 4");
    window->ScreensSpin->setValue(3);
    window->SeedSpin->setValue(5);
    // The window's thread goes on with its events while the study runs:
    // a timer of its own fires, and the points arrive one screen at a time.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ticks += window->Working(); });
    tick.start(0);
    std::vector<std::size_t> sizes;
    QSignalSpy ended(window, &TTurbulenceForm::studyEnded);
    QTest::mouseClick(window->StartButton, Qt::LeftButton);
    EXPECT_EQ(window->StartButton->text(), "Stop");
    ASSERT_TRUE(WaitFor([&] {
        if (sizes.empty() || sizes.back() != window->StudyPoints().size())
            sizes.push_back(window->StudyPoints().size());
        return ended.count() > 0;
    }, 120000));
    tick.stop();
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(window->StartButton->text(), "Start Study");
    EXPECT_TRUE(window->StudyLabel->text().startsWith("Study finished")) << window->StudyLabel->text().toStdString();
    EXPECT_GE(sizes.size(), 2u); // the curve grew while the study ran

    // The same numbers as the study run here, directly.
    TurbulenceSettings settings;
    settings.dOverR0 = {1.0, 4.0};
    settings.screens = 3;
    settings.seed = 5;
    TurbulenceStudy direct(main->Session(), settings);
    ASSERT_EQ(direct.Prepare(), TurbulenceStudy::Status::Ready);
    while (direct.Step()) {
    }
    const std::vector<TurbulencePoint> expected = direct.Points();
    const std::vector<TurbulencePoint>& got = window->StudyPoints();
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        EXPECT_EQ(got[k].dOverR0, expected[k].dOverR0);
        EXPECT_EQ(got[k].screens, 3);
        EXPECT_EQ(got[k].strehlMean, expected[k].strehlMean);
        EXPECT_EQ(got[k].residualRmsMean, expected[k].residualRmsMean);
    }
    EXPECT_GT(got[0].strehlMean, got[1].strehlMean);
    EXPECT_GE(Colours(window->StrehlPlot), 4);

    if (const char* shot = std::getenv("OSTRANDER_TURBULENCE_SCREENSHOT")) {
        NextScreen();
        window->grab().save(shot);
    }
}

TEST_F(TurbulenceWindowTest, ClosingTheWindowOrLoadingAnotherMirrorStopsTheStudy) {
    LoadAndRun();
    struct Case {
        const char* what;
        void (*stop)(TurbulenceWindowTest&);
    };
    const Case cases[] = {
        {"closing the window", [](TurbulenceWindowTest& t) { t.window->close(); }},
        {"Stop", [](TurbulenceWindowTest& t) { QTest::mouseClick(t.window->StartButton, Qt::LeftButton); }},
        {"loading another mirror", [](TurbulenceWindowTest& t) { t.LoadAndRun(1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        NextScreen();
        window->ScreensSpin->setValue(10000);
        QSignalSpy ended(window, &TTurbulenceForm::studyEnded);
        QTest::mouseClick(window->StartButton, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return !window->StudyPoints().empty(); }, 60000));
        c.stop(*this);
        EXPECT_FALSE(window->Working());
        EXPECT_EQ(ended.count(), 1);
        const std::size_t points = window->StudyPoints().size();
        EXPECT_LT(points, 5u);
        // Nothing more arrives from the stopped study.
        QTest::qWait(50);
        EXPECT_EQ(window->StudyPoints().size(), points);
        EXPECT_EQ(window->StartButton->text(), "Start Study");
        if (std::string(c.what) == "loading another mirror") {
            EXPECT_FALSE(window->ShownScreen()); // its voltages were the other mirror's
        }
    }
    // A study going when the windows are destroyed stops with them.
    Open();
    QTest::mouseClick(window->StartButton, Qt::LeftButton);
    main.reset();
}

TEST_F(TurbulenceWindowTest, ApplySetsTheFittedVoltagesAndUndoBringsBackTheOld) {
    LoadAndRun();
    EngineSession& session = main->Session();
    const std::vector<double> before = session.Snapshot().volts;
    Open();
    NextScreen();
    ASSERT_TRUE(window->ApplyButton->isEnabled());
    const std::vector<double> fitted = window->ShownScreen()->volts;
    ASSERT_EQ(fitted.size(), before.size());
    QTest::mouseClick(window->ApplyButton, Qt::LeftButton);
    const std::vector<double> after = session.Snapshot().volts;
    ASSERT_EQ(after.size(), fitted.size());
    for (std::size_t k = 0; k < fitted.size(); ++k)
        EXPECT_NEAR(after[k], fitted[k], 1e-6) << "pad " << k + 1;
    EXPECT_NE(after, before);
    ASSERT_TRUE(main->UndoAction->isEnabled());
    EXPECT_TRUE(main->UndoAction->text().contains("Apply Turbulence Fit"))
        << main->UndoAction->text().toStdString();
    main->UndoAction->trigger();
    EXPECT_EQ(session.Snapshot().volts, before);
    main->RedoAction->trigger();
    EXPECT_EQ(session.Snapshot().volts, after);

    // Once another mirror is loaded the screen's voltages are not offered.
    LoadAndRun(1);
    EXPECT_FALSE(window->ApplyButton->isEnabled());
}

} // namespace
} // namespace ostrander
