// The main window with the real setup window, engine and pictures, driven
// offscreen against a temporary device folder.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "forms/MirrorSetupForm.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"
#include "model/pictures/PictureCommon.h"
#include "toolkit/qt/ImageCanvas.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/PaintBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <memory>
#include <set>
#include <stdexcept>

namespace ostrander {
namespace {

using program_test::MirrorFile;
using program_test::MirrorText;

std::vector<std::string> InformationLines(const TOstranderForm& form) {
    std::vector<std::string> lines;
    for (int i = 0; i < form.UserInfoBox->count(); ++i)
        lines.push_back(form.UserInfoBox->item(i)->text().toStdString());
    return lines;
}

// Number of distinct colours in a picture control (1: blank).
int Colours(PaintBox* box) {
    const QImage& image = box->Canvas().Image();
    std::set<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            seen.insert(image.pixel(x, y));
            if (seen.size() > 8)
                return static_cast<int>(seen.size());
        }
    return static_cast<int>(seen.size());
}

class OstranderFormTest : public program_test::ProgramFolder {
protected:
    void SetUp() override {
        ProgramFolder::SetUp();
        MirrorFile seven;
        seven.deviceName = "Seven";
        WriteDevice("seven.ini", MirrorText(seven));
        ProgramWindows windows = MakeProgramWindows(data, local);
        form = std::move(windows.OstranderForm);
        setup = windows.MirrorSetupForm;
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        form.reset();
        ProgramFolder::TearDown();
    }

    // Loads the first mirror and ticks its run to the end.
    void LoadAndRun() {
        setup->MirrorSelectionListBox->setCurrentRow(0);
        setup->LoadButtonClick();
        ASSERT_TRUE(form->IsRunTimerEnabled());
        for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
            form->RunFEATimerTimer();
        ASSERT_TRUE(local.DisplaysValid);
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    MainData data;
    DMModelLocal local;
    std::unique_ptr<TOstranderForm> form;
    TMirrorSetupForm* setup = nullptr; // owned by the main window
};

TEST_F(OstranderFormTest, StartsWithTheDesignedControlsAndNothingDrawn) {
    EXPECT_EQ(form->windowTitle(), "Varnex");
    EXPECT_EQ(form->LoadMirrorButton->text(), "Load Mirror");
    EXPECT_EQ(form->RemoveFocusCheck->text(), "Remove Focus and Piston");
    EXPECT_EQ(form->ExitButton->text(), "Exit");
    for (QWidget* hidden :
         {static_cast<QWidget*>(form->SeparationEdit), static_cast<QWidget*>(form->StressEdit),
          static_cast<QWidget*>(form->InfluenceFunctionButton)}) {
        EXPECT_FALSE(hidden->isVisible());
        EXPECT_FALSE(hidden->isEnabled());
    }
    for (QWidget* focus :
         {static_cast<QWidget*>(form->FocusPlusLabel), static_cast<QWidget*>(form->FocusMinusLabel),
          static_cast<QWidget*>(form->FocusZeroLabel), static_cast<QWidget*>(form->FocusScrollBar),
          static_cast<QWidget*>(form->FocusEditLabel),
          static_cast<QWidget*>(form->ResetFocusButton)})
        EXPECT_FALSE(focus->isVisible());
    EXPECT_EQ(form->FocusScrollBar->maximum(), 200);
    EXPECT_EQ(form->FocusScrollBar->value(), 100);
    EXPECT_EQ(form->StressEdit->GetFormat(), "0.0000");
    EXPECT_EQ(form->SeparationEdit->GetMaximum(), 1000000);
    EXPECT_EQ(form->FarFieldZoomEdit->GetValue(), 1);
    EXPECT_EQ(form->FarFieldZoomEdit->GetMinimum(), 1);
    EXPECT_EQ(form->FarFieldZoomEdit->GetMaximum(), 100);
    EXPECT_FALSE(form->IsRunTimerEnabled());
    EXPECT_EQ(form->RunFEATimer->interval(), 100);
    EXPECT_TRUE(form->MainMirrorDisplay->Ui().ControlPanel->isVisible());
    EXPECT_EQ(InformationLines(*form), (std::vector<std::string>{"Press \"Load Mirror\" and select",
                                                                 "  a mirror to begin."}));

    // Idle passes without a mirror draw nothing.
    form->ApplicationIdle();
    form->ApplicationIdle();
    for (PaintBox* box :
         {form->ThreeDimensionalImageDisplay, form->TwoDimensionalDisplayFrame,
          form->InterferogramDisplayFrame, form->FarFieldDisplayFrame, form->FarFieldPlotDisplay})
        EXPECT_EQ(Colours(box), 1);
    EXPECT_EQ(InformationLines(*form).size(), 2u);
}

TEST_F(OstranderFormTest, LoadMirrorShowsTheSetupWindowAndExitClosesTheMainWindow) {
    EXPECT_FALSE(setup->isVisible());
    QTest::mouseClick(form->LoadMirrorButton, Qt::LeftButton);
    EXPECT_TRUE(setup->isVisible());
    EXPECT_FALSE(setup->isModal());
    setup->CloseButton->click();
    EXPECT_FALSE(setup->isVisible());
    QTest::mouseClick(form->ExitButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(OstranderFormTest, FocusSliderMapsItsPositionsOntoMinusOneToPlusTwo) {
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    ASSERT_TRUE(local.RemoveFocus);
    EXPECT_TRUE(form->FocusScrollBar->isVisible());
    struct Case {
        int position;
        double focus;
    };
    for (const Case c : {Case{0, -1.0}, Case{50, -0.5}, Case{100, 0.0}, Case{101, 0.02},
                         Case{150, 1.0}, Case{200, 2.0}}) {
        SCOPED_TRACE(c.position);
        form->FocusScrollBar->setValue(c.position);
        EXPECT_NEAR(local.FocusAdjust, c.focus, 1e-12);
        EXPECT_NEAR(TOstranderForm::FocusFromPosition(c.position), c.focus, 1e-12);
    }
    EXPECT_EQ(TOstranderForm::FocusFromPosition(100), 0.0);

    form->FocusScrollBar->setValue(150);
    QTest::mouseClick(form->ResetFocusButton, Qt::LeftButton);
    EXPECT_EQ(form->FocusScrollBar->value(), 100);
    EXPECT_EQ(local.FocusAdjust, 0.0);

    // Unchecking hides the controls and keeps the slider; checking again
    // puts it back to the centre.
    form->FocusScrollBar->setValue(40);
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    EXPECT_FALSE(local.RemoveFocus);
    EXPECT_FALSE(form->FocusScrollBar->isVisible());
    EXPECT_EQ(form->FocusScrollBar->value(), 40);
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    EXPECT_EQ(form->FocusScrollBar->value(), 100);
    EXPECT_EQ(local.FocusAdjust, 0.0);
}

TEST_F(OstranderFormTest, ZoomEntriesAreHeldBetweenOneAndAHundred) {
    struct Case {
        const char* typed;
        int zoom;
    };
    for (const Case c :
         {Case{"7", 7}, Case{"500", 100}, Case{"0", 1}, Case{"x", 1}, Case{"100", 100}}) {
        SCOPED_TRACE(c.typed);
        QLineEdit* edit = form->FarFieldZoomEdit->Edit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(local.FarFieldZoom, c.zoom);
    }
    // The arrows stop at the ends too.
    form->FarFieldZoomEdit->UpDown()->Click(UDBtnType::btNext);
    EXPECT_EQ(local.FarFieldZoom, 100);
    form->FarFieldZoomEdit->UpDown()->Click(UDBtnType::btPrev);
    EXPECT_EQ(local.FarFieldZoom, 99);
}

TEST_F(OstranderFormTest, IdlePassKeepsTheVoltageFloorAndThePeak) {
    LoadAndRun();
    MirrorClass* mirror = local.Mirror.get();
    mirror->SetAllChannels(0.0);
    form->ApplicationIdle();
    for (int k = 1; k <= 7; ++k)
        EXPECT_DOUBLE_EQ(mirror->GetVoltage(k), 0.1) << k;
    EXPECT_TRUE(local.VoltagesAtFloor);
    EXPECT_EQ(local.PeakVoltage, 0.0);

    mirror->SetVoltage(3, 70.0);
    form->ApplicationIdle();
    EXPECT_FALSE(local.VoltagesAtFloor);
    EXPECT_DOUBLE_EQ(local.PeakVoltage, 70.0);
    EXPECT_DOUBLE_EQ(local.PeakVoltageFraction, 70.0 / 350.0);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(1), 0.1);
}

TEST_F(OstranderFormTest, AClickOnTheMapIsFollowedByAllFivePictures) {
    LoadAndRun();
    const std::vector<std::string> lines = InformationLines(*form);
    ASSERT_GE(lines.size(), 38u);
    EXPECT_EQ(lines[0], "Finished calculating Influence Functions.");
    EXPECT_EQ(lines[3], "Max Average Voltage: 150.0 V");
    EXPECT_EQ(lines[6], "Tension: 2 MPa");
    EXPECT_EQ(lines.back(), "-- See the Brendimor web site for updates.");

    // Left click on the centre pad raises it by the step.
    MirrorDisplayClass* map = form->MainMirrorDisplay->GetDisplay();
    ASSERT_NE(map, nullptr);
    const double before = local.Mirror->GetVoltage(1);
    QTest::mouseClick(form->MainMirrorDisplay->Ui().MirrorPaintBox, Qt::LeftButton, {},
                      QPoint(map->Centre.x, map->Centre.y));
    EXPECT_DOUBLE_EQ(local.Mirror->GetVoltage(1), before + form->MainMirrorDisplay->GetStep());

    form->ApplicationIdle();
    EXPECT_FALSE(data.Surface.empty());
    EXPECT_FALSE(data.FarField.empty());
    for (PaintBox* box :
         {form->ThreeDimensionalImageDisplay, form->TwoDimensionalDisplayFrame,
          form->InterferogramDisplayFrame, form->FarFieldDisplayFrame, form->FarFieldPlotDisplay})
        EXPECT_GT(Colours(box), 2) << box->parentWidget()->metaObject()->className();
}

TEST_F(OstranderFormTest, AChangedStressInvalidatesTheResults) {
    LoadAndRun();
    form->StressEdit->setVisible(true);
    form->StressEdit->Edit()->setFocus();
    form->StressEdit->Edit()->selectAll();
    QTest::keyClicks(form->StressEdit->Edit(), "3");
    QTest::keyClick(form->StressEdit->Edit(), Qt::Key_Return);
    EXPECT_DOUBLE_EQ(local.MirrorInfo->Model->Stress_Pa, 3e6);
    EXPECT_TRUE(data.MirrorParameterChanged);
    EXPECT_FALSE(local.DisplaysValid);
}

TEST_F(OstranderFormTest, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    QObject::connect(form->ResetFocusButton, &QPushButton::clicked,
                     [] { throw std::runtime_error("handler failed"); });
    form->ResetFocusButton->setVisible(true);
    QTest::mouseClick(form->ResetFocusButton, Qt::LeftButton);
    ASSERT_EQ(dialogs.exceptions.size(), 1u);
    EXPECT_EQ(dialogs.exceptions[0], "handler failed");
    // The window still answers.
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    EXPECT_TRUE(local.RemoveFocus);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(OstranderFormTest, TheIdleTimerRunsPassesWithoutBlocking) {
    LoadAndRun();
    form->StartIdleHandler();
    local.Mirror->SetAllChannels(0.0);
    // The passes come from the event loop: wait for one to keep the floor
    // and redraw.
    EXPECT_TRUE(program_test::WaitFor(
        [&] { return local.VoltagesAtFloor && Colours(form->TwoDimensionalDisplayFrame) > 2; }));
    form->StopIdleHandler();
}

// Loading another mirror while a run goes cancels it; the tick that ends it
// starts the new mirror's run, which finishes with the new mirror's results.
TEST_F(OstranderFormTest, ALoadDuringARunCancelsItAndThenRunsTheNewMirror) {
    MirrorFile other;
    other.deviceName = "Other";
    other.limitVoltage = 120;
    WriteDevice("zz.ini", MirrorText(other));
    form.reset();
    ProgramWindows windows = MakeProgramWindows(data, local);
    form = std::move(windows.OstranderForm);
    setup = windows.MirrorSetupForm;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    setup->MirrorSelectionListBox->setCurrentRow(0);
    setup->LoadButtonClick();
    form->RunFEATimerTimer();
    form->RunFEATimerTimer();
    ASSERT_EQ(setup->MirrorSelectionListBox->item(1)->text(), "Other");
    setup->MirrorSelectionListBox->setCurrentRow(1);
    setup->LoadButtonClick();
    EXPECT_EQ(InformationLines(*form),
              (std::vector<std::string>{"Calculating Influence Functions.", "Please wait."}));

    form->RunFEATimerTimer();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Cancelled Influence Functions...");
    // The new run goes, with the new mirror's limit as its voltage.
    ASSERT_TRUE(form->IsRunTimerEnabled());
    EXPECT_DOUBLE_EQ(data.IFMaxVoltage, 120.0);
    for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
        form->RunFEATimerTimer();
    EXPECT_TRUE(local.DisplaysValid);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Other");
    ASSERT_FALSE(InformationLines(*form).empty());
    EXPECT_EQ(InformationLines(*form)[0], "Finished calculating Influence Functions.");

    // A click is followed by the new mirror's pictures.
    MirrorDisplayClass* map = form->MainMirrorDisplay->GetDisplay();
    QTest::mouseClick(form->MainMirrorDisplay->Ui().MirrorPaintBox, Qt::LeftButton, {},
                      QPoint(map->Centre.x, map->Centre.y));
    form->ApplicationIdle();
    EXPECT_GT(Colours(form->TwoDimensionalDisplayFrame), 2);
}

// A run the engine refuses leaves no earlier mirror's results on show and no
// channel above the floor; loading the mirror again tries the run again.
TEST_F(OstranderFormTest, ARefusedRunClearsThePicturesAndPutsEveryChannelAtTheFloor) {
    MirrorFile ring;
    ring.deviceName = "Ring";
    std::string text = MirrorText(ring);
    const std::string round = "ActuatorType_circ_rect_ring=0";
    text.replace(text.find(round), round.size(), "ActuatorType_circ_rect_ring=2");
    WriteDevice("zz.ini", text); // ring pads: the engine refuses the run
    form.reset();
    ProgramWindows windows = MakeProgramWindows(data, local);
    form = std::move(windows.OstranderForm);
    setup = windows.MirrorSetupForm;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    LoadAndRun();
    local.Mirror->SetVoltage(1, 140.0);
    form->ApplicationIdle();
    form->DrawFarFieldPictures();
    PaintBox* boxes[] = {form->ThreeDimensionalImageDisplay, form->TwoDimensionalDisplayFrame,
                         form->InterferogramDisplayFrame, form->FarFieldDisplayFrame,
                         form->FarFieldPlotDisplay};
    for (PaintBox* box : boxes)
        ASSERT_GT(Colours(box), 2);

    ASSERT_EQ(setup->MirrorSelectionListBox->item(1)->text(), "Ring");
    setup->MirrorSelectionListBox->setCurrentRow(1);
    setup->LoadButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Not ready for ring actuators yet.");
    form->ApplicationIdle();
    for (int k = 1; k <= 7; ++k)
        EXPECT_DOUBLE_EQ(local.Mirror->GetVoltage(k), 0.1) << k;
    for (PaintBox* box : boxes) {
        ImageCanvas expected(box->Canvas().Image().width(), box->Canvas().Image().height());
        DrawNothingToDisplay(expected);
        EXPECT_EQ(box->Canvas().Image(), expected.Image())
            << box->parentWidget()->metaObject()->className();
    }

    // The selected mirror has no influence functions: Load tries again.
    setup->LoadButtonClick();
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

// Every shipped mirror, loaded one after the other through the setup window:
// the run finishes (or the engine refuses the ring electrodes), and a click
// on the map is followed by all five pictures.
class ShippedMirrorsTest : public program_test::ProgramFolder {};

TEST_F(ShippedMirrorsTest, EachLoadsRunsAndFollowsAClick) {
    std::filesystem::copy(std::filesystem::path(OSTRANDER_SOURCE_DIR) / "Devices",
                          root_ / "Devices",
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    MainData data;
    DMModelLocal local;
    ProgramWindows windows = MakeProgramWindows(data, local);
    TOstranderForm& form = *windows.OstranderForm;
    TMirrorSetupForm* setup = windows.MirrorSetupForm;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_EQ(setup->MirrorSelectionListBox->count(), 7);

    for (int row = 0; row < setup->MirrorSelectionListBox->count(); ++row) {
        const std::string name = setup->MirrorSelectionListBox->item(row)->text().toStdString();
        SCOPED_TRACE(name);
        dialogs.messages.clear();
        setup->MirrorSelectionListBox->setCurrentRow(row);
        setup->LoadButtonClick();
        ASSERT_NE(local.Mirror, nullptr);
        ASSERT_TRUE(local.Mirror->IsValid());
        const int type = local.MirrorInfo->Model->ActuatorType_circ_rect_ring;
        if (type == 2 || type == 3) {
            EXPECT_FALSE(form.IsRunTimerEnabled());
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, "Not ready for ring actuators yet.");
            EXPECT_EQ(InformationLines(form),
                      std::vector<std::string>{TMirrorSetupForm::kNotCalculated});
            continue;
        }
        for (int ticks = 0; form.IsRunTimerEnabled() && ticks < 100; ++ticks)
            form.RunFEATimerTimer();
        ASSERT_TRUE(local.DisplaysValid);
        EXPECT_TRUE(dialogs.messages.empty());

        MirrorDisplayClass* map = form.MainMirrorDisplay->GetDisplay();
        ASSERT_NE(map, nullptr);
        const double before = local.Mirror->GetVoltage(1);
        QTest::mouseClick(form.MainMirrorDisplay->Ui().MirrorPaintBox, Qt::LeftButton, {},
                          QPoint(map->Centre.x, map->Centre.y));
        form.ApplicationIdle();
        EXPECT_GT(local.PeakVoltage, before);
        for (PaintBox* box :
             {form.ThreeDimensionalImageDisplay, form.TwoDimensionalDisplayFrame,
              form.InterferogramDisplayFrame, form.FarFieldDisplayFrame, form.FarFieldPlotDisplay})
            EXPECT_GT(Colours(box), 2);
    }
}

} // namespace
} // namespace ostrander
