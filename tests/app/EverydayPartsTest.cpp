// The main window's everyday parts, driven offscreen: the influence run's
// progress bar and its Cancel button, the recent mirrors and pattern sets
// (kept through the settings, gone files dropped), mirror files and pattern
// sets dropped on the window.
#include "app/OstranderForm.h"
#include "app/ProgramSettings.h"
#include "app/ProgramWindows.h"

#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "model/DMModelLocal.h"
#include "model/EngineSession.h"
#include "model/SessionAccess.h"
#include "model/pictures/ActuatorDisplayClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "model/pictures/PictureCommon.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "support/OpenWindowsFixture.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/PaintBox.h"

#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace ostrander {
namespace {

class EverydayParts : public program_test::OpenWindows {
public:
    std::string PatternSetFile() {
        const std::string file = (root_ / "seven.pat").string();
        std::ofstream(file) << "[General]\nFileType=Actuator Pattern Set\nPatternSetName=Seven\n"
                               "PatternCount=1\nVoltageCount=7\n[FileInformation]\n"
                               "FileVersion=1.0\n[Pattern000]\nPatternName=Low\nVoltage000=10\n";
        return file;
    }
    // Drops local files on the main window as a file manager would.
    bool Drop(const std::vector<std::string>& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& f : files)
            urls << QUrl::fromLocalFile(QString::fromStdString(f));
        data.setUrls(urls);
        const QPoint at = form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form, &drop);
        return drop.isAccepted();
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
};

TEST_F(EverydayParts, TheRunShowsItsProgressAndCancelStopsIt) {
    EXPECT_FALSE(form->RunProgressBar->isVisible());
    windows.MirrorSetupForm->MirrorSelectionListBox->setCurrentRow(0);
    windows.MirrorSetupForm->LoadButtonClick();
    ASSERT_TRUE(form->IsRunTimerEnabled());
    EXPECT_TRUE(form->RunProgressBar->isVisible());
    EXPECT_TRUE(form->CancelRunButton->isVisible());
    EXPECT_EQ(form->RunProgressBar->maximum(), 7);
    form->RunFEATimerTimer();
    form->RunFEATimerTimer();
    const int done = form->RunProgressBar->value();
    EXPECT_GT(done, 0);
    EXPECT_LT(done, 7);

    QTest::mouseClick(form->CancelRunButton, Qt::LeftButton);
    RunToEnd();
    EXPECT_FALSE(form->Session().IsRunning());
    EXPECT_FALSE(Local().DisplaysValid) << "a cancelled run leaves no results";
    EXPECT_FALSE(form->RunProgressBar->isVisible());
    EXPECT_FALSE(form->CancelRunButton->isVisible());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Cancelled Influence Functions...");

    // Loading again computes the influence functions to the end.
    windows.MirrorSetupForm->LoadButtonClick();
    RunToEnd();
    EXPECT_TRUE(Local().DisplaysValid);
}

TEST_F(EverydayParts, RecentFilesRoundTripThroughTheSettingsAndGoneOnesAreDropped) {
    const std::string pat = PatternSetFile();
    const std::string seven = (root_ / "Devices" / "seven.ini").string();
    const std::string zeven = (root_ / "Devices" / "zeven.ini").string();
    ASSERT_TRUE(form->OpenMirrorFile(zeven));
    RunToEnd();
    form->ApplicationIdle();
    ASSERT_TRUE(form->OpenMirrorFile(seven));
    RunToEnd();
    form->ApplicationIdle();
    ASSERT_TRUE(form->OpenPatternSet(pat));
    EXPECT_EQ(form->RecentMirrors(), (std::vector<std::string>{seven, zeven}));
    EXPECT_EQ(form->RecentPatternSets(), (std::vector<std::string>{pat}));
    // Opening one again puts it first, once; the list keeps the newest few.
    ASSERT_TRUE(form->OpenMirrorFile(zeven));
    RunToEnd();
    form->ApplicationIdle();
    EXPECT_EQ(form->RecentMirrors(), (std::vector<std::string>{zeven, seven}));
    std::vector<std::string> many;
    for (int k = 0; k < 10; ++k)
        TOstranderForm::NoteRecent(many, (root_ / ("m" + std::to_string(k) + ".ini")).string());
    ASSERT_EQ(many.size(), std::size_t(TOstranderForm::kRecentFiles));
    EXPECT_EQ(many.front(), (root_ / "m9.ini").string());

    QSettings settings(QString::fromStdString((root_ / "settings.conf").string()),
                       QSettings::IniFormat);
    SaveChoices(windows, settings);
    settings.sync();
    std::filesystem::remove(zeven);

    ProgramWindows again = MakeProgramWindows();
    RestoreChoices(again, settings);
    EXPECT_EQ(again.OstranderForm->RecentMirrors(), (std::vector<std::string>{seven}));
    EXPECT_EQ(again.OstranderForm->RecentPatternSets(), (std::vector<std::string>{pat}));
    EXPECT_TRUE(again.OstranderForm->statusBar()->currentMessage().contains("1 recent file"))
        << again.OstranderForm->statusBar()->currentMessage().toStdString();

    // The menu lists what is there, and drops what went since.
    std::filesystem::remove(pat);
    QMenu* menu = again.OstranderForm->RecentPatternSetsMenu;
    emit menu->aboutToShow();
    EXPECT_TRUE(again.OstranderForm->RecentPatternSets().empty());
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "only the (none) entry";
    menu = again.OstranderForm->RecentMirrorsMenu;
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "seven.ini");
}

TEST_F(EverydayParts, DroppedMirrorFilesLoadAndPatternSetsOpen) {
    const std::string zeven = (root_ / "Devices" / "zeven.ini").string();
    const std::string notes = (root_ / "notes.txt").string();
    std::ofstream(notes) << "not a mirror\n";
    EXPECT_FALSE(Drop({notes})) << "files of other kinds are not taken";
    EXPECT_FALSE(form->Session().HasMirror());

    ASSERT_TRUE(Drop({zeven}));
    ASSERT_TRUE(form->Session().HasMirror());
    EXPECT_EQ(form->Session().MirrorInfo()->DeviceName, "Zeven");
    RunToEnd();

    const std::string pat = PatternSetFile();
    ASSERT_TRUE(Drop({pat}));
    EXPECT_TRUE(windows.PatternSequenceBrowserForm->isVisible());
    EXPECT_TRUE(windows.PatternSequenceBrowserForm->IsFileLoaded());
}

// The window on a 1024 x 768 screen, with the 61-pad mirror at 150 V and
// its run going: the status line's progress and Cancel stay whole, and the
// map's numbers readable. Saved as build/screens/main-1024.png to look at
// (run with QT_SCALE_FACTOR=2 for a dense screen). Every channel at one
// voltage leaves the surface level, which the pictures explain.
TEST_F(EverydayParts, TheWindowFitsA1024By768Screen) {
    form->resize(1024, 768 - 30);
    ASSERT_TRUE(form->OpenMirrorFile(OSTRANDER_BINARY_DIR "/Devices/Hex61S.ini"));
    form->RunFEATimerTimer();
    QApplication::processEvents();
    ASSERT_TRUE(form->RunProgressBar->isVisible());
    for (QWidget* part : {static_cast<QWidget*>(form->RunProgressBar),
                          static_cast<QWidget*>(form->CancelRunButton)}) {
        const QRect inWindow(part->mapTo(form, QPoint(0, 0)), part->size());
        EXPECT_TRUE(form->rect().contains(inWindow)) << part->metaObject()->className();
        EXPECT_GE(part->width(), part->minimumSizeHint().width());
    }
    RunToEnd();
    VoltageRequest request;
    request.all = 150.0;
    ASSERT_TRUE(form->Session().ApplyVoltages(request).applied);
    form->ApplicationIdle();
    QApplication::processEvents();
    const std::filesystem::path screens = std::filesystem::path(OSTRANDER_BINARY_DIR) / "screens";
    std::filesystem::create_directories(screens);
    form->grab().save(QString::fromStdString((screens / "main-1024.png").string()));
    int labels = 0;
    for (ActuatorDisplayClass* a = form->MainMirrorDisplay->GetDisplay()->ListOfActuators.first; a;
         a = a->next)
        if (!a->IsAuxiliary() && a->LabelShown) {
            ++labels;
            EXPECT_GE(-a->FontHeight, ActuatorDisplayClass::MinTextPixels);
        }
    EXPECT_GT(labels, 0);

    // Every channel at 150 V, the membrane's own too, pulls on nothing: the
    // level surface is explained, not shown in the red of a fault.
    for (PaintBox* box : {form->ThreeDimensionalImageDisplay, form->TwoDimensionalDisplayFrame,
                          form->InterferogramDisplayFrame}) {
        ImageCanvas expected(box->Canvas().Width(), box->Canvas().Height(),
                             box->Canvas().PixelRatio());
        DrawFlatSurfaceNote(expected);
        EXPECT_EQ(box->Canvas().Image(), expected.Image())
            << box->parentWidget()->metaObject()->className();
    }
}

} // namespace
} // namespace ostrander
