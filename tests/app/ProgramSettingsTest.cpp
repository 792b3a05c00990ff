// The choices the program remembers: written by one set of windows, read by
// the next, in a settings file of the test's own.
#include "app/ProgramSettings.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "model/DMModelLocal.h"
#include "model/SessionAccess.h"
#include "support/ProgramFixture.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/PaintBox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>

#include <sys/stat.h>

namespace ostrander {
namespace {

using program_test::MirrorFile;
using program_test::MirrorText;

class ProgramSettingsTest : public program_test::ProgramFolder {
protected:
    void SetUp() override {
        ProgramFolder::SetUp();
        WriteMirror("seven.ini", "Seven");
        MirrorFile other;
        other.deviceName = "Other";
        other.limitVoltage = 120;
        WriteDevice("zz.ini", MirrorText(other));
        settings = std::make_unique<QSettings>(
            QString::fromStdString((root_ / "settings.conf").string()), QSettings::IniFormat);
    }
    void TearDown() override {
        windows = {};
        settings.reset();
        ProgramFolder::TearDown();
    }

    // A new start: fresh windows (and model state) given the remembered choices.
    void Start() {
        windows = {};
        windows = MakeProgramWindows();
        RestoreChoices(windows, *settings);
    }
    TOstranderForm& Main() { return *windows.OstranderForm; }
    // The working state behind the main window's session, for the assertions.
    DMModelLocal& Local() { return SessionAccess::Local(Main().Session()); }

    void LoadRow(int row) {
        windows.MirrorSetupForm->MirrorSelectionListBox->setCurrentRow(row);
        windows.MirrorSetupForm->LoadButtonClick();
        for (int ticks = 0; Main().IsRunTimerEnabled() && ticks < 50; ++ticks)
            Main().RunFEATimerTimer();
        ASSERT_TRUE(Local().DisplaysValid);
    }

    ScriptedDialogs dialogs;
    ScopedDialogs installed{dialogs};
    std::unique_ptr<QSettings> settings;
    ProgramWindows windows;
};

TEST_F(ProgramSettingsTest, ASecondStartHasTheChoicesOfTheFirst) {
    Start();
    LoadRow(1); // "Other"
    TMirrorDisplayFrame& map = *Main().MainMirrorDisplay;
    QLineEdit* step = map.Ui().StepSizeFloatEdit->Edit();
    step->setFocus();
    step->selectAll();
    QTest::keyClicks(step, "25");
    QTest::keyClick(step, Qt::Key_Return);
    ASSERT_EQ(map.GetStep(), 25);
    map.SetSetAllValue(42.5);
    QTest::mouseClick(Main().RemoveFocusCheck, Qt::LeftButton);
    Main().FarFieldZoomEdit->SetValue(7);
    Main().FarFieldZoomEditChanged();
    Main().SetMembraneModel("exact");
    const std::filesystem::path patterns = root_ / "patterns";
    std::filesystem::create_directories(patterns);
    windows.PatternSequenceBrowserForm->SetPatternFolder(patterns.string());
    Main().SetExportFolder((root_ / "exports" / "focus").string());
    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    Main().setGeometry(40, 60, 1000, 700);
    Main().Splitter2->setSizes({300, 700});
    const QList<int> splitter2 = Main().Splitter2->sizes();
    SaveChoices(windows, *settings);

    Start();
    EXPECT_EQ(Local().Mirror, nullptr); // the mirror is only offered
    EXPECT_EQ(RememberedMirror(*settings), (root_ / "Devices" / "zz.ini").string());
    EXPECT_TRUE(Main().RemoveFocusCheck->isChecked());
    EXPECT_TRUE(Local().RemoveFocus);
    EXPECT_EQ(Main().FarFieldZoomEdit->GetValue(), 7);
    EXPECT_EQ(Local().FarFieldZoom, 7);
    EXPECT_EQ(Main().MembraneModelName(), "exact");
    EXPECT_EQ(windows.PatternSequenceBrowserForm->PatternFolder(), patterns.string() + "/");
    EXPECT_EQ(Main().ExportFolder(), (root_ / "exports" / "focus").string());
    EXPECT_EQ(Main().MainMirrorDisplay->GetSetAllValue(), 42.5);
    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    EXPECT_EQ(Main().size(), QSize(1000, 700));
    EXPECT_EQ(Main().Splitter2->sizes(), splitter2);

    // The step and Set All value go to the next mirror loaded, within its limits.
    LoadRow(0);
    EXPECT_EQ(Main().MainMirrorDisplay->GetStep(), 25);
    EXPECT_EQ(Local().Mirror->GetStepSize(), 25);
    EXPECT_EQ(Main().MainMirrorDisplay->GetSetAllValue(), 42.5);
}

// The colour bars are off at first; on or off, the choice comes back at the
// next start, and a value that is neither leaves them off.
TEST_F(ProgramSettingsTest, TheColourBarsChoiceComesBack) {
    Start();
    EXPECT_FALSE(Main().ColourBarsShown());
    for (const bool on : {true, false, true}) {
        Main().ColourBarsAction->setChecked(on);
        SaveChoices(windows, *settings);
        Start();
        EXPECT_EQ(Main().ColourBarsShown(), on);
        EXPECT_EQ(Main().ColourBarsAction->isChecked(), on);
        EXPECT_EQ(!Main().SurfaceColourBarDisplay->isHidden(), on);
        EXPECT_EQ(!Main().FarFieldColourBarDisplay->isHidden(), on);
    }
    settings->setValue("Choices/ColourBars", "perhaps");
    Start();
    EXPECT_FALSE(Main().ColourBarsShown());
}

TEST_F(ProgramSettingsTest, TheLastMirrorIsLoadedOnlyWhenTheUserSaysYes) {
    Start();
    EXPECT_FALSE(OfferRememberedMirror(windows, *settings)); // nothing remembered yet
    EXPECT_TRUE(dialogs.questions.empty());
    LoadRow(1);
    SaveChoices(windows, *settings);

    Start();
    dialogs.askAnswers = {false};
    EXPECT_FALSE(OfferRememberedMirror(windows, *settings));
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_NE(dialogs.questions[0].text.find("Other"), std::string::npos);
    EXPECT_EQ(dialogs.questions[0].preselected, Dialogs::Preselect::Yes);
    EXPECT_EQ(Local().Mirror, nullptr);

    dialogs.askAnswers = {true};
    EXPECT_TRUE(OfferRememberedMirror(windows, *settings));
    ASSERT_NE(Local().MirrorInfo, nullptr);
    EXPECT_EQ(Local().MirrorInfo->DeviceName, "Other");
    EXPECT_TRUE(Main().IsRunTimerEnabled());

    // A remembered file that has gone is not offered.
    std::filesystem::remove(root_ / "Devices" / "zz.ini");
    Start();
    dialogs.questions.clear();
    EXPECT_FALSE(OfferRememberedMirror(windows, *settings));
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(ProgramSettingsTest, ValuesThatMakeNoSenseLeaveTheDefaults) {
    settings->setValue("Choices/Step", "lots");
    settings->setValue("Choices/SetAll", -5);
    settings->setValue("Choices/FarFieldZoom", 0);
    settings->setValue("Choices/MembraneModel", "no such model");
    settings->setValue("Folders/Patterns", QString::fromStdString((root_ / "gone").string()));
    settings->setValue("MainWindow/Geometry", QByteArray("not a geometry"));
    settings->setValue("MainWindow/Splitter2", QByteArray("nor a splitter"));
    Start();
    EXPECT_FALSE(Main().MainMirrorDisplay->PreferredStep());
    EXPECT_EQ(Main().MainMirrorDisplay->GetSetAllValue(), 0.0);
    EXPECT_EQ(Main().FarFieldZoomEdit->GetValue(), 1);
    EXPECT_EQ(Main().MembraneModelName(), "classic");
    EXPECT_EQ(windows.PatternSequenceBrowserForm->PatternFolder(), "");
    LoadRow(0);
    EXPECT_EQ(Main().MainMirrorDisplay->GetStep(), 10); // the mirror's own
}

// Remembered paths that can no longer be used: a loop of links makes
// looking at them fail (as a folder of another user does; the tests run as
// root, which chmod does not stop), a path through a file is not there.
// Each is forgotten, the default stays, and the status bar says so once.
TEST_F(ProgramSettingsTest, APathThatNoLongerWorksFallsBackAndIsToldOnce) {
    const std::filesystem::path loop = root_ / "loop";
    std::filesystem::create_symlink(loop, loop);
    std::ofstream(root_ / "plain.txt") << "not a folder\n";
    struct Case {
        const char* key;
        std::filesystem::path path;
        const char* told;
    };
    const Case cases[] = {
        {"Folders/Patterns", loop, "pattern folder"},
        {"Folders/Patterns", loop / "patterns", "pattern folder"},
        {"Folders/Patterns", root_ / "plain.txt" / "patterns", "pattern folder"},
        {"Folders/Patterns", root_ / "plain.txt", "pattern folder"},
        {"Choices/LastMirror", loop / "seven.ini", "mirror loaded last time"},
        {"Choices/LastMirror", root_ / "Devices", "mirror loaded last time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        settings->setValue(c.key, QString::fromStdString(c.path.string()));
        Start();
        const std::string told = Main().statusBar()->currentMessage().toStdString();
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
        EXPECT_NE(told.find(c.path.string()), std::string::npos) << told;
        EXPECT_FALSE(settings->contains(c.key));
        EXPECT_EQ(windows.PatternSequenceBrowserForm->PatternFolder(), "");
        EXPECT_FALSE(OfferRememberedMirror(windows, *settings));
        EXPECT_TRUE(dialogs.questions.empty());

        Start(); // told once: the next start has nothing to say
        EXPECT_EQ(Main().statusBar()->currentMessage(), "");
    }

    // The device folder chosen in the program, checked before the windows
    // exist; its notice joins the others in the one message.
    RememberDeviceFolder(*settings, (loop / "mirrors").string());
    const std::string notice = ForgetUnusableDeviceFolder(*settings);
    EXPECT_NE(notice.find("device folder"), std::string::npos) << notice;
    EXPECT_EQ(RememberedDeviceFolder(*settings), "");
    EXPECT_EQ(ForgetUnusableDeviceFolder(*settings), "");
    settings->setValue("Folders/Patterns", QString::fromStdString(loop.string()));
    windows = {};
    windows = MakeProgramWindows();
    RestoreChoices(windows, *settings, {notice});
    const std::string told = Main().statusBar()->currentMessage().toStdString();
    EXPECT_NE(told.find("device folder"), std::string::npos) << told;
    EXPECT_NE(told.find("pattern folder"), std::string::npos) << told;

    // Paths that work say nothing.
    std::filesystem::create_directories(root_ / "patterns");
    settings->setValue("Folders/Patterns", QString::fromStdString((root_ / "patterns").string()));
    RememberDeviceFolder(*settings, (root_ / "Devices").string());
    EXPECT_EQ(ForgetUnusableDeviceFolder(*settings), "");
    Start();
    EXPECT_EQ(Main().statusBar()->currentMessage(), "");
    EXPECT_EQ(windows.PatternSequenceBrowserForm->PatternFolder(), (root_ / "patterns").string() + "/");
}

// A settings file that is not a regular file is never opened (a FIFO would
// block the start for ever): the program starts from the defaults, can
// still keep choices for the run, and says why.
TEST_F(ProgramSettingsTest, ASettingsFileThatIsNotAFileIsNotOpened) {
    const std::filesystem::path fifo = root_ / "fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path loop = root_ / "loop.conf";
    std::filesystem::create_symlink(loop, loop);
    std::filesystem::create_directories(root_ / "folder.conf");
    for (const std::filesystem::path& file : {fifo, loop, root_ / "folder.conf"}) {
        SCOPED_TRACE(file.string());
        ProgramSettingsFile opened = OpenProgramSettings(file.string());
        ASSERT_NE(opened.settings, nullptr);
        EXPECT_NE(opened.notice.find(file.string()), std::string::npos) << opened.notice;
        EXPECT_NE(opened.notice.find("defaults"), std::string::npos) << opened.notice;
        EXPECT_FALSE(opened.settings->contains("Choices/Step"));
        opened.settings->setValue("Choices/Step", 5);
        opened.settings->sync();
        EXPECT_EQ(opened.settings->value("Choices/Step").toInt(), 5);
        EXPECT_NE(opened.settings->fileName().toStdString(), file.string());
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    // A regular file, or none yet, is used as it is.
    settings->setValue("Choices/Step", 25);
    settings->sync();
    ProgramSettingsFile usual = OpenProgramSettings(settings->fileName().toStdString());
    EXPECT_EQ(usual.notice, "");
    EXPECT_EQ(usual.settings->value("Choices/Step").toInt(), 25);
    ProgramSettingsFile fresh = OpenProgramSettings((root_ / "new" / "Ostrander.conf").string());
    EXPECT_EQ(fresh.notice, "");
    EXPECT_EQ(fresh.settings->fileName().toStdString(), (root_ / "new" / "Ostrander.conf").string());
}

TEST_F(ProgramSettingsTest, TheDeviceFolderChosenInTheProgramIsKept) {
    EXPECT_EQ(RememberedDeviceFolder(*settings), "");
    RememberDeviceFolder(*settings, "/data/mirrors");
    EXPECT_EQ(RememberedDeviceFolder(*settings), "/data/mirrors");
    RememberDeviceFolder(*settings, "");
    EXPECT_EQ(RememberedDeviceFolder(*settings), "");
}

// Each window's place is saved as it closes (a secondary window whenever it
// is hidden, the main window with every choice when it closes) and comes
// back at the next start.
TEST_F(ProgramSettingsTest, WindowPlacesAreSavedAsTheWindowsCloseAndComeBack) {
    Start();
    SaveChoicesOnClose(windows, *settings);
    TPatternSequenceBrowserForm& browser = *windows.PatternSequenceBrowserForm;
    TMirrorSetupForm& setup = *windows.MirrorSetupForm;
    const QRect screen = Main().screen()->availableGeometry();
    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    // Places as the windows take them (each keeps its smallest size).
    Main().setGeometry(screen.left() + 10, screen.top() + 20, 500, 400);
    const QRect mainPlace = Main().geometry();
    struct Secondary {
        QWidget* window;
        const char* key;
        QRect place;
    };
    Secondary secondaries[] = {
        {&browser, "PatternBrowser/Geometry", QRect(screen.left() + 40, screen.top() + 50, 420, 330)},
        {&setup, "MirrorSetup/Geometry", QRect(screen.left() + 60, screen.top() + 30, 400, 300)},
    };
    for (Secondary& w : secondaries) {
        w.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window));
        w.window->setGeometry(w.place);
        w.place = w.window->geometry();
        EXPECT_FALSE(settings->contains(w.key)) << w.key;
        w.window->close();
        EXPECT_TRUE(settings->contains(w.key)) << w.key;
    }
    EXPECT_FALSE(settings->contains("MainWindow/Geometry"));
    ASSERT_TRUE(Main().close());
    EXPECT_TRUE(settings->contains("MainWindow/Geometry"));
    EXPECT_TRUE(settings->contains("Choices/MembraneModel"));

    Start();
    EXPECT_EQ(Main().geometry(), mainPlace);
    EXPECT_EQ(windows.PatternSequenceBrowserForm->geometry(), secondaries[0].place);
    EXPECT_EQ(windows.MirrorSetupForm->geometry(), secondaries[1].place);
}

} // namespace
} // namespace ostrander
