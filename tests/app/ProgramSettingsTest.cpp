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

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QSplitter>
#include <QTest>

#include <filesystem>
#include <memory>

namespace ostrander {
namespace {

using program_test::MirrorFile;
using program_test::MirrorText;

class ProgramSettingsTest : public program_test::ProgramFolder {
protected:
    void SetUp() override {
        ProgramFolder::SetUp();
        MirrorFile seven;
        seven.deviceName = "Seven";
        WriteDevice("seven.ini", MirrorText(seven));
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

TEST_F(ProgramSettingsTest, TheDeviceFolderChosenInTheProgramIsKept) {
    EXPECT_EQ(RememberedDeviceFolder(*settings), "");
    RememberDeviceFolder(*settings, "/data/mirrors");
    EXPECT_EQ(RememberedDeviceFolder(*settings), "/data/mirrors");
    RememberDeviceFolder(*settings, "");
    EXPECT_EQ(RememberedDeviceFolder(*settings), "");
}

} // namespace
} // namespace ostrander
