// The mirror setup window against a temporary device folder, with the main
// window's parts stood in for by a mirror display, two edits and a host
// that records the information box and keeps the run timer as a flag.
#include "forms/MirrorSetupForm.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "support/SetupFormFixture.h"
#include "toolkit/Dialogs.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>

namespace ostrander {
namespace {

using program_test::MirrorFile;
using program_test::MirrorText;

std::vector<std::string> Lines(const QPlainTextEdit* box) {
    std::vector<std::string> lines;
    for (const QString& l : box->toPlainText().split('\n'))
        lines.push_back(l.toStdString());
    return lines;
}

class MirrorSetupFormTest : public program_test::SetupFormFolder {
protected:
    void SetUp() override {
        SetupFormFolder::SetUp();
        WriteMirror("a.ini", "Alpha");
        WriteMirror("b.ini", "Driver Diagnostic");
        WriteMirror("c.ini", "No mirror installed");
        MirrorFile delta;
        delta.deviceName = "Delta";
        delta.limitVoltage = 400; // above the 350 V ceiling
        delta.general = "Creator=Tester\nFileVersion=2\nDateTimeString=2020-01-02 03:04:05\n";
        WriteDevice("d.ini", MirrorText(delta));
        // A mirror info file without its model: listed, but not a mirror.
        WriteDevice("e.ini", "[General]\nFileType=Mirror Info\nDeviceName=Echo\n");
    }
};

TEST_F(MirrorSetupFormTest, ListsTheMirrorsAndShowsTheDetailsOfTheClickedOne) {
    MakeForm();
    EXPECT_EQ(form->windowTitle(), "Mirror Setup");
    EXPECT_EQ(form->size(), QSize(513, 679));
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(List()->item(0)->text(), "Alpha");
    EXPECT_EQ(List()->item(1)->text(), "Delta");
    EXPECT_EQ(List()->item(2)->text(), "Echo");
    // Rows skip the unlisted entries but keep pointing at their own files.
    EXPECT_EQ(form->EntryOfRow(1), 3);
    EXPECT_EQ(form->EntryOfRow(3), -1);

    ClickRow(1);
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox),
              (std::vector<std::string>{"Name: Delta", "Nominal Maximum Voltage: 400.0",
                                        "Date: 2020-01-02 03:04:05", "Creator: Tester",
                                        "File Version: 2", "Map Prefix: T7"}));
    ClickRow(2);
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox),
              std::vector<std::string>{"Driver Diagnostic"});
    // A preview loads nothing.
    EXPECT_EQ(local.MirrorInfo, nullptr);
    EXPECT_EQ(local.MirrorIndex, -1);
}

// The list driven from the keyboard: the arrow keys show the details of the
// entry they reach, Enter loads it.
TEST_F(MirrorSetupFormTest, ArrowKeysShowTheDetailsAndEnterLoads) {
    MakeForm();
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Home);
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox)[0], "Name: Alpha");
    QTest::keyClick(List(), Qt::Key_Down);
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox)[0], "Name: Delta");
    QTest::keyClick(List(), Qt::Key_Down);
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox),
              std::vector<std::string>{"Driver Diagnostic"});
    QTest::keyClick(List(), Qt::Key_Up);
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox)[0], "Name: Delta");
    EXPECT_EQ(local.MirrorInfo, nullptr); // previews load nothing

    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_NE(local.MirrorInfo, nullptr);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Delta");
    EXPECT_TRUE(host.IsRunTimerEnabled());

    QTest::keyClick(List(), Qt::Key_Up);
    QTest::keyClick(List(), Qt::Key_Enter); // the keypad's
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Alpha");

    EXPECT_EQ(form->LoadButton->text(), "&Load");
    EXPECT_EQ(form->CloseButton->text(), "&Close");
}

// Another device folder: the list is made anew from it, and the loaded
// mirror stays loaded but is no entry of the new list.
TEST_F(MirrorSetupFormTest, RescanListsTheNewDeviceFolder) {
    MakeForm();
    DoubleClickRow(0);
    ASSERT_NE(local.Mirror, nullptr);
    MirrorClass* loaded = local.Mirror.get();
    // A new mirror object may reuse the old one's address: loads are told
    // apart by the mirror generation.
    const uint64_t generation = local.MirrorGeneration;
    const std::filesystem::path other = root_ / "Other";
    WriteMirrorAt(other / "z.ini", "Zeta");
    WriteMirrorAt(other / "a.ini", "Alpha");
    UseDeviceFolder(ChooseDeviceFolder({{"chosen in the program", other.string()}}));
    form->Rescan();
    ASSERT_EQ(List()->count(), 2);
    EXPECT_EQ(List()->item(0)->text(), "Alpha");
    EXPECT_EQ(List()->item(1)->text(), "Zeta");
    EXPECT_NE(form->DeviceFolderLabel->text().indexOf(QString::fromStdString(other.string())), -1);
    EXPECT_EQ(local.Mirror.get(), loaded);
    EXPECT_EQ(local.MirrorGeneration, generation);
    // The new folder's Alpha is another file: loading it is a new load.
    DoubleClickRow(0);
    EXPECT_NE(local.MirrorGeneration, generation);
    EXPECT_EQ(local.MirrorInfo->FileName, (other / "a.ini").string());
}

TEST_F(MirrorSetupFormTest, LoadMakesTheMirrorSetsActuatorOneAndStartsTheRun) {
    struct Case {
        int row;
        const char* name;
        double actuatorOne; // volts: the limit voltage within the mirror's rules
    };
    for (const Case c : {Case{0, "Alpha", 150.0}, Case{1, "Delta", 350.0}}) {
        SCOPED_TRACE(c.name);
        form.reset();
        mainDisplay.SetMirror(nullptr);
        local.ReleaseMirror();
        local.MirrorIndex = -1;
        MakeForm();
        ClickRow(c.row);
        form->LoadButton->click();

        ASSERT_NE(local.Mirror, nullptr);
        ASSERT_TRUE(local.Mirror->IsValid());
        EXPECT_EQ(local.MirrorIndex, form->EntryOfRow(c.row));
        EXPECT_EQ(local.MirrorInfo->DeviceName, c.name);
        EXPECT_EQ(form->PreviewedMirrorInfo(), local.MirrorInfo.get());
        EXPECT_EQ(Lines(form->MirrorCurrentDisplayBox)[0], std::string("Name: ") + c.name);
        EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox)[0], std::string("Name: ") + c.name);
        EXPECT_EQ(mainDisplay.GetMirror(), local.Mirror.get());
        EXPECT_EQ(form->MirrorCurrentDisplayFrame->GetMirror(), local.Mirror.get());
        EXPECT_TRUE(stressEdit.isEnabled());
        EXPECT_TRUE(separationEdit.isEnabled());
        EXPECT_DOUBLE_EQ(separationEdit.GetValue(), 35.0);
        EXPECT_DOUBLE_EQ(stressEdit.GetValue(), 2.0);

        EXPECT_DOUBLE_EQ(local.Mirror->GetVoltage(1), c.actuatorOne);
        for (int k = 2; k <= 7; ++k)
            EXPECT_EQ(local.Mirror->GetVoltage(k), 0.0) << k;
        ASSERT_EQ(local.ActuatorVoltageCount, 7);
        EXPECT_DOUBLE_EQ(local.ActuatorVoltages[0], c.actuatorOne);
        EXPECT_TRUE(host.IsRunTimerEnabled());
        EXPECT_FALSE(local.DisplaysValid);
        EXPECT_EQ(host.information,
                  (std::vector<std::string>{"Calculating Influence Functions.", "Please wait."}));

        // One tick per actuator and one to finish.
        EXPECT_EQ(RunToEnd(), 8);
        EXPECT_TRUE(local.DisplaysValid);
        ASSERT_FALSE(host.information.empty());
        EXPECT_EQ(host.information[0], "Finished calculating Influence Functions.");
        EXPECT_TRUE(dialogs.messages.empty());
    }
}

TEST_F(MirrorSetupFormTest, LoadingTheLoadedEntryAgainDoesNothing) {
    MakeForm();
    DoubleClickRow(0);
    ASSERT_NE(local.Mirror, nullptr);
    session->Tick();
    session->Tick();
    MirrorClass* mirror = local.Mirror.get();
    MirrorInfoClass* info = local.MirrorInfo.get();
    const int actuator = data.IFCurrentActuator;

    DoubleClickRow(0);
    form->LoadButton->click();
    EXPECT_EQ(local.Mirror.get(), mirror);
    EXPECT_EQ(local.MirrorInfo.get(), info);
    EXPECT_EQ(data.IFCurrentActuator, actuator);
    EXPECT_FALSE(data.IFCancelRequested);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MirrorSetupFormTest, LoadingAnotherEntryDuringARunCancelsIt) {
    MakeForm();
    DoubleClickRow(0);
    session->Tick();
    DoubleClickRow(1);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Delta");
    EXPECT_EQ(mainDisplay.GetMirror(), local.Mirror.get());

    // The setup window only asked; the tick reports the cancel (the main
    // window shows its box).
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(host.information,
              (std::vector<std::string>{"Calculating Influence Functions.", "Please wait."}));
    EXPECT_EQ(session->Tick(), RunTick::Cancelled);
    EXPECT_FALSE(local.DisplaysValid);
    // The cancel took effect; the same tick started Delta's run (its limit,
    // 400 V, is clipped to the 350 V ceiling).
    EXPECT_EQ(session->TakeRestartedRun(), RunStart::Started);
    EXPECT_TRUE(host.IsRunTimerEnabled());
    EXPECT_EQ(data.IFMirrorInfo, local.MirrorInfo.get());
    EXPECT_DOUBLE_EQ(data.IFMaxVoltage, 350.0);
    RunToEnd();
    EXPECT_TRUE(local.DisplaysValid);
    // Delta has its influence functions now: loading it again does nothing.
    DoubleClickRow(1);
    EXPECT_FALSE(host.IsRunTimerEnabled());
}

TEST_F(MirrorSetupFormTest, ARefusedRunIsToldInABoxAndTheInformationBoxSaysSo) {
    MirrorFile zero;
    zero.deviceName = "Zero";
    zero.limitVoltage = 0; // actuator 1 at 0 V: no run voltage
    WriteDevice("f.ini", MirrorText(zero));
    MakeForm();
    ASSERT_EQ(List()->item(3)->text(), "Zero");
    DoubleClickRow(3);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Influence Functions: Cannot perform if max voltage is zero.");
    EXPECT_EQ(dialogs.messages[0].caption, "Ostrander");
    EXPECT_FALSE(host.IsRunTimerEnabled());
    EXPECT_EQ(host.information, std::vector<std::string>{TMirrorSetupForm::kNotCalculated});
    // The mirror itself is loaded and shown.
    EXPECT_EQ(mainDisplay.GetMirror(), local.Mirror.get());
    EXPECT_TRUE(stressEdit.isEnabled());
}

// The mirror's map file is checked on loading: a map that leaves two pads
// on one display number is told in a box naming the map and the entries,
// and no run starts on it; an unreadable map is told, and the run goes on
// with the info file's numbering.
TEST_F(MirrorSetupFormTest, MapFileProblemsAreToldInABox) {
    struct Case {
        const char* name;
        const char* map;
        const char* said;
        bool runs;
    } cases[] = {
        {"shared", "1 1\n2 1\n", "actuators 1, 2 show as 2", false},
        {"garbage", "not a map\n", "holds no actuator pairs (line 1: \"not a map\")", true},
    };
    MakeForm();
    const int row = RowOf("Alpha");
    ASSERT_GE(row, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDevice("DMmap_T7.dat", c.map);
        dialogs.messages.clear();
        DoubleClickRow(row);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_NE(dialogs.messages[0].text.find("DMmap_T7.dat"), std::string::npos)
            << dialogs.messages[0].text;
        EXPECT_NE(dialogs.messages[0].text.find(c.said), std::string::npos)
            << dialogs.messages[0].text;
        EXPECT_EQ(dialogs.messages[0].text.find("max voltage is zero"), std::string::npos);
        EXPECT_EQ(host.IsRunTimerEnabled(), c.runs);
        if (!c.runs)
            EXPECT_EQ(host.information, std::vector<std::string>{TMirrorSetupForm::kNotCalculated});
        RunToEnd();
        DoubleClickRow(RowOf("Delta")); // another mirror between the cases
        RunToEnd();
    }
}

TEST_F(MirrorSetupFormTest, LoadingAfterAFinishedRunInvalidatesTheResultsUntilTheNewRunEnds) {
    MakeForm();
    DoubleClickRow(0);
    RunToEnd();
    ASSERT_TRUE(local.DisplaysValid);

    // The idle pass must not rebuild the surface from the old results while
    // the new run stores it actuator by actuator.
    DoubleClickRow(1);
    EXPECT_FALSE(local.DisplaysValid);
    EXPECT_TRUE(host.IsRunTimerEnabled());
    EXPECT_EQ(RunToEnd(), 8);
    EXPECT_TRUE(local.DisplaysValid);
}

TEST_F(MirrorSetupFormTest, PreviewDuringALoadLeavesTheLoadedMirrorAlone) {
    MakeForm();
    DoubleClickRow(0);
    MirrorInfoClass* loaded = local.MirrorInfo.get();
    ClickRow(1);
    EXPECT_NE(form->PreviewedMirrorInfo(), loaded);
    EXPECT_EQ(form->PreviewedMirrorInfo()->DeviceName, "Delta");
    EXPECT_EQ(local.MirrorInfo.get(), loaded);
    EXPECT_EQ(Lines(form->MirrorCurrentDisplayBox)[0], "Name: Alpha");
    EXPECT_EQ(Lines(form->MirrorSelectionDisplayBox)[0], "Name: Delta");
    // Clicking the loaded entry again previews without freeing the loaded info.
    ClickRow(0);
    ClickRow(1);
    EXPECT_EQ(local.MirrorInfo.get(), loaded);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Alpha");
}

TEST_F(MirrorSetupFormTest, AnInvalidEntryLoadsNoMirror) {
    MakeForm();
    DoubleClickRow(0);
    ASSERT_EQ(mainDisplay.GetMirror(), local.Mirror.get());
    RunToEnd();

    DoubleClickRow(2);
    ASSERT_NE(local.Mirror, nullptr);
    EXPECT_FALSE(local.Mirror->IsValid());
    EXPECT_EQ(local.MirrorIndex, form->EntryOfRow(2));
    EXPECT_EQ(Lines(form->MirrorCurrentDisplayBox), std::vector<std::string>{"Driver Diagnostic"});
    EXPECT_EQ(mainDisplay.GetMirror(), nullptr);
    EXPECT_EQ(form->MirrorCurrentDisplayFrame->GetMirror(), nullptr);
    EXPECT_FALSE(stressEdit.isEnabled());
    EXPECT_FALSE(separationEdit.isEnabled());
    EXPECT_FALSE(host.IsRunTimerEnabled());
    EXPECT_FALSE(local.DisplaysValid);
}

TEST_F(MirrorSetupFormTest, AnEmptyDeviceFolderGivesAnEmptyList) {
    std::filesystem::remove_all(root_ / "Devices");
    MakeForm();
    EXPECT_EQ(List()->count(), 0);
    // The window says where it looked.
    EXPECT_EQ(form->DeviceFolderLabel->text().toStdString(),
              "No device folder; looked in: " + (root_ / "Devices").string() +
                  "/ (beside the program)");
    form->LoadButton->click();
    form->MirrorSelectionListBoxClick();
    form->MirrorSelectionListBoxDblClick();
    EXPECT_EQ(local.Mirror, nullptr);
    EXPECT_EQ(local.MirrorIndex, -1);
}

TEST_F(MirrorSetupFormTest, ListsTheChosenDeviceFolderAndSaysWhichItIs) {
    const std::filesystem::path other = root_ / "elsewhere";
    WriteMirrorAt(other / "f.ini", "Foxtrot");
    UseDeviceFolder(ChooseDeviceFolder({{"OSTRANDER_DEVICES", other.string()},
                                        DeviceFolderBesideProgram()}));
    MakeForm();
    ClearDeviceFolderChoice();
    ASSERT_EQ(List()->count(), 1);
    EXPECT_EQ(List()->item(0)->text(), "Foxtrot");
    EXPECT_EQ(form->DeviceFolderLabel->text().toStdString(),
              "Devices from " + other.string() + "/ (OSTRANDER_DEVICES)");
    DoubleClickRow(0);
    ASSERT_NE(local.MirrorInfo, nullptr);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Foxtrot");
}

TEST_F(MirrorSetupFormTest, LoadFileLoadsAListedEntryOrAFileOfItsOwn) {
    MakeForm();
    // A file of the list, named by any path, loads its entry and selects its row.
    EXPECT_TRUE(form->LoadFile((root_ / "bin" / ".." / "Devices" / "d.ini").string()));
    EXPECT_EQ(local.MirrorIndex, form->EntryOfRow(1));
    EXPECT_EQ(List()->currentRow(), 1);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Delta");
    EXPECT_TRUE(host.IsRunTimerEnabled());
    RunToEnd();

    // A file outside the folder loads on its own; the list shows no selection.
    MirrorFile golf;
    golf.deviceName = "Golf";
    std::ofstream(root_ / "golf.ini") << MirrorText(golf);
    EXPECT_TRUE(form->LoadFile((root_ / "golf.ini").string()));
    EXPECT_EQ(local.MirrorIndex, TMirrorSetupForm::kOutsideList);
    EXPECT_EQ(List()->currentRow(), -1);
    EXPECT_EQ(local.MirrorInfo->DeviceName, "Golf");
    EXPECT_EQ(mainDisplay.GetMirror(), local.Mirror.get());
    RunToEnd();

    // Not a mirror, or no file at all: false, and no usable mirror.
    std::ofstream(root_ / "notes.txt") << "hello\n";
    EXPECT_FALSE(form->LoadFile((root_ / "notes.txt").string()));
    EXPECT_EQ(mainDisplay.GetMirror(), nullptr);
    EXPECT_FALSE(form->LoadFile((root_ / "missing.ini").string()));
    EXPECT_EQ(mainDisplay.GetMirror(), nullptr);
}

} // namespace
} // namespace ostrander
