// The main window with the real setup window, engine and pictures, driven
// offscreen against a temporary device folder.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "model/pictures/ActuatorDisplayClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"
#include "model/SessionAccess.h"
#include "model/PullIn.h"
#include "model/ResultFigures.h"
#include "model/pictures/PictureColourBars.h"
#include "model/pictures/ResultPictures.h"
#include "model/pictures/PictureCommon.h"
#include "toolkit/qt/ImageCanvas.h"
#include "support/ProgramFixture.h"
#include "support/ShippedProgram.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/PaintBox.h"
#include "toolkit/qt/WindowPlacement.h"
#include "toolkit/Version.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
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
        WriteMirror("seven.ini", "Seven");
        OpenWindows();
    }
    void TearDown() override {
        form.reset();
        ProgramFolder::TearDown();
    }

    // Makes the program's windows afresh over the device folder as it is now
    // and shows the main window.
    void OpenWindows() {
        form.reset();
        ProgramWindows windows = MakeProgramWindows();
        form = std::move(windows.OstranderForm);
        setup = windows.MirrorSetupForm;
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    // Loads the first mirror and ticks its run to the end.
    void LoadAndRun() {
        setup->MirrorSelectionListBox->setCurrentRow(0);
        setup->LoadButtonClick();
        ASSERT_TRUE(form->IsRunTimerEnabled());
        for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
            form->RunFEATimerTimer();
        ASSERT_TRUE(Local().DisplaysValid);
    }

    // The records behind the window's session, for the assertions.
    DMModelLocal& Local() { return SessionAccess::Local(form->Session()); }
    MainData& Data() { return SessionAccess::Data(form->Session()); }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    std::unique_ptr<TOstranderForm> form;
    TMirrorSetupForm* setup = nullptr; // owned by the main window
};

TEST_F(OstranderFormTest, StartsWithTheDesignedControlsAndNothingDrawn) {
    EXPECT_EQ(form->windowTitle(), "Varnex");
    EXPECT_EQ(form->LoadMirrorButton->text(), "&Load Mirror");
    EXPECT_EQ(form->RemoveFocusCheck->text(), "&Remove Focus and Piston");
    EXPECT_EQ(form->ExitButton->text(), "E&xit");
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
    ASSERT_TRUE(Local().RemoveFocus);
    EXPECT_TRUE(form->FocusScrollBar->isVisible());
    struct Case {
        int position;
        double focus;
    };
    for (const Case c : {Case{0, -1.0}, Case{50, -0.5}, Case{100, 0.0}, Case{101, 0.02},
                         Case{150, 1.0}, Case{200, 2.0}}) {
        SCOPED_TRACE(c.position);
        form->FocusScrollBar->setValue(c.position);
        EXPECT_NEAR(Local().FocusAdjust, c.focus, 1e-12);
        EXPECT_NEAR(TOstranderForm::FocusFromPosition(c.position), c.focus, 1e-12);
    }
    EXPECT_EQ(TOstranderForm::FocusFromPosition(100), 0.0);

    form->FocusScrollBar->setValue(150);
    QTest::mouseClick(form->ResetFocusButton, Qt::LeftButton);
    EXPECT_EQ(form->FocusScrollBar->value(), 100);
    EXPECT_EQ(Local().FocusAdjust, 0.0);

    // Unchecking hides the controls and keeps the slider; checking again
    // puts it back to the centre.
    form->FocusScrollBar->setValue(40);
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    EXPECT_FALSE(Local().RemoveFocus);
    EXPECT_FALSE(form->FocusScrollBar->isVisible());
    EXPECT_EQ(form->FocusScrollBar->value(), 40);
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    EXPECT_EQ(form->FocusScrollBar->value(), 100);
    EXPECT_EQ(Local().FocusAdjust, 0.0);
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
        EXPECT_EQ(Local().FarFieldZoom, c.zoom);
    }
    // The arrows stop at the ends too.
    form->FarFieldZoomEdit->UpDown()->Click(UDBtnType::btNext);
    EXPECT_EQ(Local().FarFieldZoom, 100);
    form->FarFieldZoomEdit->UpDown()->Click(UDBtnType::btPrev);
    EXPECT_EQ(Local().FarFieldZoom, 99);
}

TEST_F(OstranderFormTest, IdlePassKeepsTheVoltageFloorAndThePeak) {
    LoadAndRun();
    MirrorClass* mirror = Local().Mirror.get();
    mirror->SetAllChannels(0.0);
    form->ApplicationIdle();
    for (int k = 1; k <= 7; ++k)
        EXPECT_DOUBLE_EQ(mirror->GetVoltage(k), 0.1) << k;
    EXPECT_TRUE(Local().VoltagesAtFloor);
    EXPECT_EQ(Local().PeakVoltage, 0.0);

    mirror->SetVoltage(3, 70.0);
    form->ApplicationIdle();
    EXPECT_FALSE(Local().VoltagesAtFloor);
    EXPECT_DOUBLE_EQ(Local().PeakVoltage, 70.0);
    EXPECT_DOUBLE_EQ(Local().PeakVoltageFraction, 70.0 / 350.0);
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
    const double before = Local().Mirror->GetVoltage(1);
    QTest::mouseClick(form->MainMirrorDisplay->Ui().MirrorPaintBox, Qt::LeftButton, {},
                      QPoint(map->Centre.x, map->Centre.y));
    EXPECT_DOUBLE_EQ(Local().Mirror->GetVoltage(1), before + form->MainMirrorDisplay->GetStep());

    form->ApplicationIdle();
    EXPECT_FALSE(Data().Surface.empty());
    EXPECT_FALSE(Data().FarField.empty());
    for (PaintBox* box :
         {form->ThreeDimensionalImageDisplay, form->TwoDimensionalDisplayFrame,
          form->InterferogramDisplayFrame, form->FarFieldDisplayFrame, form->FarFieldPlotDisplay})
        EXPECT_GT(Colours(box), 2) << box->parentWidget()->metaObject()->className();
}

// View > Colour Bars puts a key beside the surface map, the interferogram
// and the far-field image and takes it away again. The keys are strips of
// their own: the pictures hold what they are drawn as alone, with the bars
// on as with them off, and once they are off again the pictures are those
// from before, pixel for pixel.
TEST_F(OstranderFormTest, ColourBarsComeAndGoWithTheViewMenuAndLeaveThePicturesAlone) {
    LoadAndRun();
    MirrorDisplayClass* map = form->MainMirrorDisplay->GetDisplay();
    ASSERT_NE(map, nullptr);
    // Two changes, so that each picture has been drawn more than once on its
    // canvas.
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(form->MainMirrorDisplay->Ui().MirrorPaintBox, Qt::LeftButton, {},
                          QPoint(map->Centre.x, map->Centre.y));
        form->ApplicationIdle();
    }

    PaintBox* pictures[] = {form->TwoDimensionalDisplayFrame, form->InterferogramDisplayFrame,
                            form->FarFieldDisplayFrame};
    PaintBox* strips[] = {form->SurfaceColourBarDisplay, form->InterferogramColourBarDisplay,
                          form->FarFieldColourBarDisplay};
    // The same pixels, caption rows included: every pass draws its texts in
    // the font of the first, whatever the previous pass left set.
    const auto same = [](const QImage& a, const QImage& b) {
        if (a.size() != b.size())
            return false;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    return false;
        return true;
    };
    // Each picture as drawing it alone (twice, as above) on a canvas of its
    // size gives.
    const auto alone = [&](int k) {
        const ImageCanvas& shown = pictures[k]->Canvas();
        ImageCanvas c(shown.Width(), shown.Height(), shown.PixelRatio());
        for (int pass = 0; pass < 2; ++pass)
            if (k == 0)
                DrawSurfaceImage(c, form->Session());
            else if (k == 1)
                DrawInterferogram(c, form->Session());
            else
                DrawFarFieldImage(c, form->Session(), kFarFieldTitle);
        return c.Image();
    };
    std::vector<QImage> before;
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(strips[k]->isVisible()) << k;
        EXPECT_TRUE(same(pictures[k]->Canvas().Image(), alone(k))) << k;
        before.push_back(pictures[k]->Canvas().Image());
    }

    QAction* view = form->menuBar()->actions()[2];
    ASSERT_EQ(view->text(), "&View");
    ASSERT_EQ(view->menu()->actions().size(), 1);
    QAction* bars = view->menu()->actions()[0];
    EXPECT_EQ(bars, form->ColourBarsAction);
    EXPECT_EQ(bars->text(), "&Colour Bars");
    ASSERT_TRUE(bars->isCheckable());
    EXPECT_FALSE(bars->isChecked());

    bars->trigger();
    EXPECT_TRUE(form->ColourBarsShown());
    QCoreApplication::processEvents(); // the panels lay out the strips
    form->ApplicationIdle();
    form->ApplicationIdle();
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(strips[k]->isVisible()) << k;
        EXPECT_GT(Colours(strips[k]), 3) << k;
        EXPECT_TRUE(same(pictures[k]->Canvas().Image(), alone(k))) << k;
        // The bar's ends are colours of the picture beside it: its highest
        // and lowest surface, its brightest and darkest fringe or light.
        ImageCanvas& strip = strips[k]->Canvas();
        const QRect place = pictures[k]->CanvasRect();
        const Rect bar = ColourBarPlace(strip, place.top(), place.top() + place.height());
        // (The bar's end rows sit half a row inside the scale: a level or
        // two off.)
        const QImage& image = pictures[k]->Canvas().Image();
        const auto inPicture = [&image](QRgb want) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb got = image.pixel(x, y);
                    if (std::abs(qRed(got) - qRed(want)) <= 2 &&
                        std::abs(qGreen(got) - qGreen(want)) <= 2 &&
                        std::abs(qBlue(got) - qBlue(want)) <= 2)
                        return true;
                }
            return false;
        };
        for (const int y : {bar.top, bar.bottom - 1}) {
            const QRgb end = ImageCanvas::ToQRgb(strip.GetPixel(bar.left + 3, y));
            EXPECT_TRUE(inPicture(end)) << k << " bar row " << y << " " << std::hex << end;
        }
    }

    // Off again: the strips go and the pictures are those from before.
    bars->trigger();
    EXPECT_FALSE(form->ColourBarsShown());
    QCoreApplication::processEvents();
    form->ApplicationIdle();
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(strips[k]->isVisible()) << k;
        EXPECT_TRUE(same(pictures[k]->Canvas().Image(), before[k])) << k;
    }
}

// The status line under the pictures shows the figures of the results on
// show, and nothing once they are gone.
TEST_F(OstranderFormTest, TheStatusLineFollowsTheResultsOnShow) {
    EXPECT_TRUE(form->ResultFiguresLabel->text().isEmpty());
    LoadAndRun();
    MirrorDisplayClass* map = form->MainMirrorDisplay->GetDisplay();
    ASSERT_NE(map, nullptr);
    QTest::mouseClick(form->MainMirrorDisplay->Ui().MirrorPaintBox, Qt::LeftButton, {},
                      QPoint(map->Centre.x, map->Centre.y));
    form->ApplicationIdle();
    const std::optional<ResultFigures> figures = MeasureResults(Data(), Local());
    ASSERT_TRUE(figures);
    EXPECT_GT(figures->beamRms, 0.0);
    EXPECT_LT(figures->strehl, 1.0);
    const TOstranderForm::ResultStatus expected = TOstranderForm::ResultStatusText(figures);
    EXPECT_EQ(form->ResultFiguresLabel->text().toStdString(), expected.figures);
    EXPECT_EQ(form->SamplingWarningLabel->isVisible(), !expected.warning.empty());

    // A changed stress makes the results invalid: the figures go with them.
    form->StressEdit->SetValue(3);
    form->StressEditChanged();
    ASSERT_FALSE(Local().DisplaysValid);
    form->ApplicationIdle();
    EXPECT_TRUE(form->ResultFiguresLabel->text().isEmpty());
    EXPECT_FALSE(form->SamplingWarningLabel->isVisible());
}

TEST(FittedGeometry, TheDesignPlaceWhenItFitsElseTheScreensFreeArea) {
    const QRect design(16, 114, 1195, 820);
    const QMargins frame(4, 30, 4, 4);
    struct Case {
        const char* name;
        QRect available;
        QRect expected;
    };
    const Case cases[] = {
        {"1280 x 1024 holds it", QRect(0, 0, 1280, 1024), design},
        {"1280 x 900: moved up", QRect(0, 0, 1280, 900), QRect(16, 900 - 4 - 820, 1195, 820)},
        {"1024 x 768: the free area", QRect(0, 0, 1024, 768), QRect(4, 30, 1016, 734)},
        {"a panel on the left", QRect(64, 0, 1216, 1024), QRect(68, 114, 1195, 820)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect fitted = TOstranderForm::FittedGeometry(design, c.available, frame);
        EXPECT_EQ(fitted, c.expected);
        EXPECT_TRUE(c.available.marginsRemoved(frame).contains(fitted));
    }
}

TEST(FitAspect, TheLargestRectangleOfTheShapeCentredInTheArea) {
    EXPECT_EQ(PaintBox::FitAspect(QSize(309, 335), QSize(309, 339)), QRect(0, 2, 309, 335));
    EXPECT_EQ(PaintBox::FitAspect(QSize(335, 335), QSize(600, 300)), QRect(150, 0, 300, 300));
    EXPECT_EQ(PaintBox::FitAspect(QSize(335, 335), QSize(200, 500)), QRect(0, 150, 200, 200));
    EXPECT_EQ(PaintBox::FitAspect(QSize(), QSize(200, 500)), QRect(0, 0, 200, 500));
}

TEST_F(OstranderFormTest, PicturesKeepTheirShapeInAResizedWindow) {
    LoadAndRun();
    for (const QSize size : {QSize(1600, 800), QSize(1000, 1000)}) {
        form->resize(size);
        QApplication::processEvents();
        for (PaintBox* box : {form->ThreeDimensionalImageDisplay, form->TwoDimensionalDisplayFrame,
                              form->InterferogramDisplayFrame, form->FarFieldDisplayFrame,
                              form->FarFieldPlotDisplay}) {
            const double wanted = box == form->FarFieldDisplayFrame ||
                                          box == form->FarFieldPlotDisplay
                                      ? 1.0
                                      : 309.0 / 335.0;
            const QRect canvas = box->CanvasRect();
            EXPECT_EQ(canvas.size(), QSize(box->Canvas().Width(), box->Canvas().Height()));
            EXPECT_NEAR(canvas.width(), wanted * canvas.height(), 1.0);
            EXPECT_TRUE(box->rect().contains(canvas));
            EXPECT_TRUE(canvas.width() == box->width() || canvas.height() == box->height());
        }
    }
}

TEST(ResultStatusText, FiguresInMicrometresAndTheSamplingWarning) {
    EXPECT_EQ(TOstranderForm::ResultStatusText(std::nullopt).figures, "");
    ResultFigures gentle{1.234e-7, 0.8764, 1.0, false};
    const TOstranderForm::ResultStatus fine = TOstranderForm::ResultStatusText(gentle);
    EXPECT_EQ(fine.figures, "RMS over the beam (um): 1.234E-01    Strehl ratio: 0.876");
    EXPECT_EQ(fine.warning, "");
    ResultFigures steep{2.5e-6, 0.0123, 4.24, true};
    const TOstranderForm::ResultStatus aliased = TOstranderForm::ResultStatusText(steep);
    EXPECT_EQ(aliased.figures, "RMS over the beam (um): 2.500E00    Strehl ratio: 0.012");
    EXPECT_NE(aliased.warning.find("too steep"), std::string::npos);
    EXPECT_NE(aliased.warning.find("4.2 rad"), std::string::npos);
    EXPECT_NE(aliased.warning.find("aliased"), std::string::npos);
}

TEST_F(OstranderFormTest, TheMenuBarHoldsTheProgramsCommands) {
    const QList<QAction*> menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 5);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Edit");
    EXPECT_EQ(menus[2]->text(), "&View");
    EXPECT_EQ(menus[3]->text(), "&Analysis");
    EXPECT_EQ(menus[4]->text(), "&Help");
    QStringList file;
    for (QAction* a : menus[0]->menu()->actions())
        if (!a->isSeparator())
            file << a->text();
    EXPECT_EQ(file, (QStringList{"&Load Mirror...", "&Open Mirror File...", "&Device Folder...",
                                 "Recent &Mirrors", "Recent &Pattern Sets",
                                 "&Export Pictures and Data...", "&Quit"}));
    EXPECT_EQ(form->QuitAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    form->LoadMirrorAction->trigger();
    EXPECT_TRUE(setup->isVisible());

    form->HelpAction->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string help = dialogs.messages[0].text;
    EXPECT_NE(help.find("Left-click on an actuator to increase its voltage by the voltage step "
                        "size."),
              std::string::npos)
        << help;
    form->AboutAction->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].caption, "About Ostrander");
    EXPECT_NE(dialogs.messages[1].text.find(std::string("Ostrander ") + kVersion),
              std::string::npos);
    EXPECT_NE(dialogs.messages[1].text.find("Licence"), std::string::npos);

    // Ctrl+Q ends the program as Exit does.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(OstranderFormTest, OpenMirrorFileLoadsAFileFromAnywhere) {
    MirrorFile elsewhere;
    elsewhere.deviceName = "Elsewhere";
    std::filesystem::create_directories(root_ / "mine");
    const std::string file = (root_ / "mine" / "mine.ini").string();
    std::ofstream(file) << MirrorText(elsewhere);
    dialogs.openAnswers = {file, (root_ / "mine" / "missing.ini").string(), std::nullopt};

    form->OpenMirrorFileAction->trigger();
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].initialFolder, DeviceFolder());
    ASSERT_NE(Local().MirrorInfo, nullptr);
    EXPECT_EQ(Local().MirrorInfo->DeviceName, "Elsewhere");
    EXPECT_TRUE(form->IsRunTimerEnabled());
    EXPECT_TRUE(dialogs.messages.empty());

    form->OpenMirrorFileAction->trigger(); // not a mirror file
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find("missing.ini"), std::string::npos);
    form->OpenMirrorFileAction->trigger(); // cancelled: nothing more
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(OstranderFormTest, DeviceFolderListsAnotherFolderAndIsRemembered) {
    const std::filesystem::path other = root_ / "Other";
    WriteMirrorAt(other / "z.ini", "Zeta");
    QStringList chosen;
    QObject::connect(form.get(), &TOstranderForm::deviceFolderChosen,
                     [&](const QString& folder) { chosen << folder; });
    dialogs.folderAnswers = {(root_ / "nowhere").string(), other.string()};

    form->DeviceFolderAction->trigger(); // a folder that does not exist
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_EQ(setup->MirrorSelectionListBox->item(0)->text(), "Seven");

    form->DeviceFolderAction->trigger();
    EXPECT_EQ(DeviceFolder(), other.string() + "/");
    ASSERT_EQ(setup->MirrorSelectionListBox->count(), 1);
    EXPECT_EQ(setup->MirrorSelectionListBox->item(0)->text(), "Zeta");
    EXPECT_EQ(chosen, QStringList{QString::fromStdString(other.string() + "/")});
    EXPECT_EQ(dialogs.folderRequests.size(), 2u);
}

TEST_F(OstranderFormTest, AChangedStressInvalidatesTheResults) {
    LoadAndRun();
    form->StressEdit->setVisible(true);
    form->StressEdit->Edit()->setFocus();
    form->StressEdit->Edit()->selectAll();
    QTest::keyClicks(form->StressEdit->Edit(), "3");
    QTest::keyClick(form->StressEdit->Edit(), Qt::Key_Return);
    EXPECT_DOUBLE_EQ(Local().MirrorInfo->Model->Stress_Pa, 3e6);
    EXPECT_TRUE(Data().MirrorParameterChanged);
    EXPECT_FALSE(Local().DisplaysValid);
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
    EXPECT_TRUE(Local().RemoveFocus);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(OstranderFormTest, TheIdleTimerRunsPassesWithoutBlocking) {
    LoadAndRun();
    form->StartIdleHandler();
    Local().Mirror->SetAllChannels(0.0);
    // The passes come from the event loop: wait for one to keep the floor
    // and redraw.
    EXPECT_TRUE(program_test::WaitFor(
        [&] { return Local().VoltagesAtFloor && Colours(form->TwoDimensionalDisplayFrame) > 2; }));
    form->StopIdleHandler();
}

// Loading another mirror while a run goes cancels it; the tick that ends it
// starts the new mirror's run, which finishes with the new mirror's results.
TEST_F(OstranderFormTest, ALoadDuringARunCancelsItAndThenRunsTheNewMirror) {
    MirrorFile other;
    other.deviceName = "Other";
    other.limitVoltage = 120;
    WriteDevice("zz.ini", MirrorText(other));
    ASSERT_NO_FATAL_FAILURE(OpenWindows());
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
    EXPECT_DOUBLE_EQ(Data().IFMaxVoltage, 120.0);
    for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
        form->RunFEATimerTimer();
    EXPECT_TRUE(Local().DisplaysValid);
    EXPECT_EQ(Local().MirrorInfo->DeviceName, "Other");
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
    ASSERT_NO_FATAL_FAILURE(OpenWindows());
    LoadAndRun();
    Local().Mirror->SetVoltage(1, 140.0);
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
    EXPECT_EQ(dialogs.messages[0].text, RunRefusalText(RunStart::RingPads));
    form->ApplicationIdle();
    for (int k = 1; k <= 7; ++k)
        EXPECT_DOUBLE_EQ(Local().Mirror->GetVoltage(k), 0.1) << k;
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

// The pull-in answer for the present voltages has come (it is computed off
// the window's thread, and handed back through the event loop).
bool PullInAnswered(TOstranderForm& form) {
    return QTest::qWaitFor([&] { return !form.PullInPending(); }, 20000);
}

// The pull-in factor the line shows.
double ShownPullInFactor(const TOstranderForm& form) {
    const QString text = form.PullInLabel->text();
    const QString head = "Pull-in at ";
    if (!text.startsWith(head))
        return -1.0;
    return text.mid(head.size()).section(' ', 0, 0).toDouble();
}

// The surface picture as the window drew it, against the same surface drawn
// with a given snap-down verdict.
bool SurfacePictureHasVerdict(TOstranderForm& form, DMModelLocal& local, bool snapDown) {
    const QImage shown = form.TwoDimensionalDisplayFrame->Canvas().Image();
    const std::optional<bool> kept = local.SnapDownVerdict;
    local.SnapDownVerdict = snapDown;
    ImageCanvas expected(shown.width(), shown.height());
    DrawSurfaceImage(expected, form.Session());
    local.SnapDownVerdict = kept;
    return expected.Image() == shown;
}

TEST_F(OstranderFormTest, TheModelChoiceStartsClassicAndTheExactModelRunsAgain) {
    EXPECT_EQ(form->ModelChoice->currentText(), "Classic");
    EXPECT_EQ(form->MembraneModelName(), "classic");
    EXPECT_FALSE(form->PullInLabel->isVisible());
    LoadAndRun();
    QStringList changes;
    QObject::connect(form.get(), &TOstranderForm::membraneModelChanged,
                     [&](const QString& name) { changes << name; });

    // The user picks the exact model: the mirror's influence functions are
    // computed again, with it.
    form->ModelChoice->setCurrentIndex(form->ModelChoice->findText("Exact membrane"));
    EXPECT_EQ(form->MembraneModelName(), "exact");
    EXPECT_EQ(changes, QStringList{"exact"});
    EXPECT_FALSE(Local().DisplaysValid);
    ASSERT_TRUE(form->IsRunTimerEnabled());
    EXPECT_EQ(InformationLines(*form),
              (std::vector<std::string>{"Calculating Influence Functions.", "Please wait."}));
    EXPECT_TRUE(form->PullInLabel->isVisible());
    for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
        form->RunFEATimerTimer();
    ASSERT_TRUE(Local().DisplaysValid);
    // Loading the same mirror again has nothing to do now.
    EXPECT_TRUE(form->Session().HasInfluenceRun(Local().MirrorIndex));

    // The setter the settings use: unknown names change nothing, the known
    // one switches back (and runs again).
    EXPECT_FALSE(form->SetMembraneModel("finite"));
    EXPECT_EQ(form->MembraneModelName(), "exact");
    EXPECT_TRUE(form->SetMembraneModel("classic"));
    EXPECT_EQ(form->ModelChoice->currentText(), "Classic");
    EXPECT_EQ(changes, (QStringList{"exact", "classic"}));
    EXPECT_TRUE(form->IsRunTimerEnabled());
    EXPECT_FALSE(form->PullInLabel->isVisible());
}

// Choosing the measured model asks for its cube; without a usable one the
// choice goes back and the model in use stays, with a message saying why.
TEST_F(OstranderFormTest, TheMeasuredModelAsksForItsCubeAndOtherwiseKeepsTheModel) {
    const auto chooseMeasured = [&] {
        form->ModelChoice->setCurrentIndex(form->ModelChoice->findData("measured"));
    };
    chooseMeasured(); // no mirror yet
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find("Load a mirror first"), std::string::npos);
    EXPECT_TRUE(dialogs.openRequests.empty());

    LoadAndRun();
    dialogs.openAnswers = {std::nullopt, std::string("/no/such/cube.fits")};
    chooseMeasured(); // cancelled
    EXPECT_EQ(dialogs.messages.size(), 1u);
    chooseMeasured(); // a file that cannot be read
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    EXPECT_EQ(dialogs.openRequests[0].title, "Measured Influence Functions");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[1].text.find("cube.fits"), std::string::npos)
        << dialogs.messages[1].text;
    EXPECT_EQ(form->MembraneModelName(), "classic");
    EXPECT_EQ(form->ModelChoice->currentData().toString(), "classic");
    EXPECT_TRUE(Local().DisplaysValid);
}

TEST_F(OstranderFormTest, AModelChangeDuringARunRunsAgainWithTheNewModel) {
    setup->MirrorSelectionListBox->setCurrentRow(0);
    setup->LoadButtonClick();
    form->RunFEATimerTimer();
    ASSERT_TRUE(form->IsRunTimerEnabled());
    ASSERT_TRUE(form->SetMembraneModel("exact"));
    for (int ticks = 0; form->IsRunTimerEnabled() && ticks < 50; ++ticks)
        form->RunFEATimerTimer();
    EXPECT_TRUE(Local().DisplaysValid);
    EXPECT_TRUE(form->Session().HasInfluenceRun(Local().MirrorIndex));
    // The run that finished is the exact model's: the pull-in line answers.
    Local().Mirror->SetAllActuators(100.0);
    form->ApplicationIdle();
    ASSERT_TRUE(PullInAnswered(*form));
    EXPECT_GT(ShownPullInFactor(*form), 0.0);
}

// The pull-in factor is worked out off the window's thread; the line and the
// pictures' snap-down mark follow the present voltages. The factor scales
// the voltages: a little below it there is no snap-down, a little above it
// there is, whatever the display corrections.
TEST_F(OstranderFormTest, TheExactModelShowsThePullInFactorAndAnHonestSnapDownMark) {
    ASSERT_TRUE(form->SetMembraneModel("exact"));
    LoadAndRun();
    MirrorClass* mirror = Local().Mirror.get();
    mirror->SetAllActuators(20.0);
    form->ApplicationIdle();
    EXPECT_TRUE(form->PullInPending());
    EXPECT_EQ(form->PullInLabel->text(), "Pull-in: computing...");
    ASSERT_TRUE(PullInAnswered(*form));
    const double factor = ShownPullInFactor(*form);
    ASSERT_GT(factor, 1.0) << form->PullInLabel->text().toStdString();
    EXPECT_EQ(Local().SnapDownVerdict, std::optional<bool>(false));
    EXPECT_TRUE(SurfacePictureHasVerdict(*form, Local(), false));

    // Two changes in a row: only the newer one's answer is shown.
    mirror->SetAllActuators(10.0);
    form->ApplicationIdle();
    mirror->SetAllActuators(20.0 * factor * 0.97);
    form->ApplicationIdle();
    ASSERT_TRUE(PullInAnswered(*form));
    EXPECT_NEAR(ShownPullInFactor(*form), 1 / 0.97, 0.011);
    EXPECT_FALSE(form->PullInLabel->toolTip().startsWith("Snap-down"));
    const int calmPixels = form->PullInLabel->fontInfo().pixelSize();

    // Past the factor: no equilibrium, and the pictures say so.
    mirror->SetAllActuators(20.0 * factor * 1.03);
    form->ApplicationIdle();
    ASSERT_TRUE(PullInAnswered(*form));
    EXPECT_NEAR(ShownPullInFactor(*form), 1 / 1.03, 0.011);
    EXPECT_TRUE(form->PullInLabel->toolTip().startsWith("Snap-down"));
    // Red, in the same size as before.
    EXPECT_EQ(form->PullInLabel->palette().color(QPalette::WindowText), QColor(0xc0, 0, 0));
    EXPECT_EQ(form->PullInLabel->fontInfo().pixelSize(), calmPixels);
    EXPECT_EQ(Local().SnapDownVerdict, std::optional<bool>(true));
    EXPECT_TRUE(SurfacePictureHasVerdict(*form, Local(), true));
    EXPECT_FALSE(SurfacePictureHasVerdict(*form, Local(), false));

    // "Remove Focus and Piston" takes the dish out of the display, not out
    // of the physics: the mark stays.
    QTest::mouseClick(form->RemoveFocusCheck, Qt::LeftButton);
    ASSERT_TRUE(Local().RemoveFocus);
    form->ApplicationIdle();
    EXPECT_FALSE(form->PullInPending());
    EXPECT_TRUE(SurfacePictureHasVerdict(*form, Local(), true));
    EXPECT_TRUE(Data().SurfaceMax - Data().SurfaceMin < Local().MirrorInfo->Model->Separation_m / 3);

    // Back to the classic model: its own rule, no pull-in line.
    ASSERT_TRUE(form->SetMembraneModel("classic"));
    EXPECT_FALSE(Local().SnapDownVerdict.has_value());
    EXPECT_FALSE(form->PullInLabel->isVisible());
}

// Past pull-in the status line says so, and no figure of a surface the
// membrane cannot hold; its warning is cut to the line's width with the
// whole text in the tooltip. Below pull-in the figures are back.
TEST_F(OstranderFormTest, PastPullInTheStatusLineSaysSoBeforeAnyFigure) {
    ASSERT_TRUE(form->SetMembraneModel("exact"));
    LoadAndRun();
    MirrorClass* mirror = Local().Mirror.get();
    mirror->SetAllActuators(20.0);
    form->ApplicationIdle();
    ASSERT_TRUE(PullInAnswered(*form));
    const double factor = ShownPullInFactor(*form);
    ASSERT_GT(factor, 1.0);
    EXPECT_TRUE(form->ResultFiguresLabel->text().startsWith("RMS over the beam"));

    mirror->SetAllActuators(20.0 * factor * 1.05);
    form->ApplicationIdle();
    ASSERT_TRUE(PullInAnswered(*form));
    ASSERT_EQ(Local().SnapDownVerdict, std::optional<bool>(true));
    EXPECT_TRUE(form->ResultFiguresLabel->text().startsWith("Past pull-in"))
        << form->ResultFiguresLabel->text().toStdString();
    EXPECT_EQ(form->ResultFiguresLabel->text().indexOf("Strehl"), -1);
    const QString whole = form->SamplingWarningLabel->toolTip();
    EXPECT_TRUE(whole.startsWith("Lower the voltages")) << whole.toStdString();
    EXPECT_TRUE(form->SamplingWarningLabel->isVisible());
    // A narrow window: the text is cut with "...", the tooltip stays whole.
    form->resize(form->minimumSizeHint().width(), form->height());
    QApplication::processEvents();
    const QString shown = form->SamplingWarningLabel->text();
    EXPECT_LT(shown.size(), whole.size());
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(form->SamplingWarningLabel->toolTip(), whole);

    mirror->SetAllActuators(20.0);
    form->ApplicationIdle();
    ASSERT_TRUE(PullInAnswered(*form));
    EXPECT_TRUE(form->ResultFiguresLabel->text().startsWith("RMS over the beam"));
}

TEST(ResultStatusText, PastPullInNoFigures) {
    ResultFigures figures;
    figures.strehl = 0.5;
    const TOstranderForm::ResultStatus status = TOstranderForm::ResultStatusText(figures, true);
    EXPECT_EQ(status.figures, "Past pull-in: the membrane snaps down at these voltages.");
    EXPECT_FALSE(status.warning.empty());
}

TEST(PullInText, SaysWhichSideOfOneTheFactorLies) {
    PullInResult r;
    r.status = PullInResult::Status::Equilibrium;
    r.pullInFactor = 1.2345;
    EXPECT_EQ(TOstranderForm::PullInText(r), "Pull-in at 1.23 x these voltages");
    r.pullInFactor = 1.004;
    EXPECT_EQ(TOstranderForm::PullInText(r), "Pull-in at 1.004 x these voltages");
    r.status = PullInResult::Status::PulledIn;
    r.pullInFactor = 0.9996;
    EXPECT_EQ(TOstranderForm::PullInText(r), "Pull-in at 0.9996 x these voltages");
    r.status = PullInResult::Status::NoForce;
    EXPECT_EQ(TOstranderForm::PullInText(r), "No pull-in: no pad pulls");
}

TEST(WindowPlacement, BesideTheMainWindowWhenTheScreenHasRoom) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize setup(513, 679);
    struct Case {
        const char* what;
        QRect main;
        std::optional<QPoint> last;
        QPoint expected;
    };
    const Case cases[] = {
        {"room on the right", QRect(16, 114, 1195, 782), std::nullopt, QPoint(1211, 114)},
        {"room on the left only", QRect(700, 114, 1195, 782), QPoint(5, 5), QPoint(187, 114)},
        {"kept on the screen vertically", QRect(16, 600, 1195, 400), std::nullopt,
         QPoint(1211, 401)},
        {"no room, shown before", QRect(300, 0, 1500, 1000), QPoint(40, 50), QPoint(40, 50)},
        {"no room, first time: the right edge", QRect(300, 20, 1500, 1000), std::nullopt,
         QPoint(1920 - 513, 20)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceBeside(c.main, setup, screen, c.last), c.expected) << c.what;
    // At the design screen the main window leaves no room: first time the
    // right edge, afterwards where the user left it.
    EXPECT_EQ(PlaceBeside(QRect(16, 114, 1195, 782), QSize(831, 694), QRect(0, 0, 1280, 1024),
                          std::nullopt),
              QPoint(1280 - 831, 114));
}

// The setup window and the pattern browser open beside the main window, not
// over it, when the screen has room; else where the user last left them.
TEST_F(OstranderFormTest, SetupWindowAndBrowserOpenBesideTheMainWindow) {
    // The main window hangs off the screen's left edge, leaving room on its
    // right (the offscreen screen is smaller than the window's design size).
    const QRect screen = form->screen()->availableGeometry();
    form->move(screen.left() + 260 - form->frameGeometry().width(), screen.top());
    QTest::mouseClick(form->LoadMirrorButton, Qt::LeftButton);
    ASSERT_TRUE(setup->isVisible());
    EXPECT_FALSE(setup->frameGeometry().intersects(form->frameGeometry()))
        << setup->frameGeometry().x() << "," << setup->frameGeometry().y();
    EXPECT_GE(setup->frameGeometry().left(), form->frameGeometry().right());

    LoadAndRun();
    auto* browser = form->findChild<TPatternSequenceBrowserForm*>();
    ASSERT_NE(browser, nullptr);
    setup->hide();
    browser->resize(300, 250);
    QTest::mouseClick(form->MainMirrorDisplay->Ui().PatternEditButton, Qt::LeftButton);
    ASSERT_TRUE(browser->isVisible());
    EXPECT_FALSE(browser->frameGeometry().intersects(form->frameGeometry()));
    browser->hide();

    // The main window fills the screen: no room beside it. The setup window
    // opens where the user left it.
    form->setGeometry(screen);
    setup->move(screen.left() + 30, screen.top() + 40);
    const QPoint left = setup->pos();
    QTest::mouseClick(form->LoadMirrorButton, Qt::LeftButton);
    EXPECT_EQ(setup->pos(), left);
}

// Every shipped mirror, loaded one after the other through the setup window:
// the run finishes (or the engine refuses the ring electrodes), and a click
// on the map is followed by all five pictures.
class MainWindowOnShippedMirrors : public program_test::ShippedProgram {
protected:
    // Ticks the loaded mirror's run to its end, which leaves valid displays,
    // no message and a map on the main window.
    void RunShowsTheMap() {
        for (int ticks = 0; form.IsRunTimerEnabled() && ticks < 100; ++ticks)
            form.RunFEATimerTimer();
        ASSERT_TRUE(local.DisplaysValid);
        EXPECT_TRUE(dialogs.messages.empty());
        ASSERT_NE(form.MainMirrorDisplay->GetDisplay(), nullptr);
    }
};

TEST_F(MainWindowOnShippedMirrors, EachLoadsRunsAndFollowsAClick) {
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
            EXPECT_EQ(dialogs.messages[0].text, RunRefusalText(RunStart::RingPads));
            EXPECT_EQ(InformationLines(form),
                      std::vector<std::string>{TMirrorSetupForm::kNotCalculated});
            continue;
        }
        ASSERT_NO_FATAL_FAILURE(RunShowsTheMap());

        MirrorDisplayClass* map = form.MainMirrorDisplay->GetDisplay();
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


// With the exact model every shipped mirror runs, rings and quarter rings
// included, and a click changes the pull-in factor shown.
TEST_F(MainWindowOnShippedMirrors, EachRunsWithTheExactModelAndShowsItsPullInFactor) {
    ASSERT_TRUE(form.SetMembraneModel("exact"));

    for (int row = 0; row < setup->MirrorSelectionListBox->count(); ++row) {
        const std::string name = setup->MirrorSelectionListBox->item(row)->text().toStdString();
        SCOPED_TRACE(name);
        setup->MirrorSelectionListBox->setCurrentRow(row);
        setup->LoadButtonClick();
        ASSERT_NO_FATAL_FAILURE(RunShowsTheMap());

        MirrorDisplayClass* map = form.MainMirrorDisplay->GetDisplay();
        const ActuatorDisplayClass* drawn = map->ListOfActuators.first;
        while (drawn && drawn->IsAuxiliary())
            drawn = drawn->next;
        ASSERT_NE(drawn, nullptr);
        const QPoint pad(static_cast<int>(drawn->CentreX), static_cast<int>(drawn->CentreY));
        QWidget* box = form.MainMirrorDisplay->Ui().MirrorPaintBox;
        for (int click = 0; click < 8; ++click)
            QTest::mouseClick(box, Qt::LeftButton, {}, pad);
        form.ApplicationIdle();
        ASSERT_TRUE(PullInAnswered(form));
        const double first = ShownPullInFactor(form);
        EXPECT_GT(first, 1.0) << form.PullInLabel->text().toStdString();
        for (int click = 0; click < 8; ++click)
            QTest::mouseClick(box, Qt::LeftButton, {}, pad);
        form.ApplicationIdle();
        ASSERT_TRUE(PullInAnswered(form));
        EXPECT_LT(ShownPullInFactor(form), first);
        for (PaintBox* picture :
             {form.ThreeDimensionalImageDisplay, form.TwoDimensionalDisplayFrame,
              form.InterferogramDisplayFrame, form.FarFieldDisplayFrame, form.FarFieldPlotDisplay})
            EXPECT_GT(Colours(picture), 2);
    }
}

} // namespace
} // namespace ostrander
