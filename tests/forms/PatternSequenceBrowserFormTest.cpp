#include "forms/PatternSequenceBrowserForm.h"

#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "support/PatternSetFiles.h"
#include "support/TempFolder.h"
#include "toolkit/Dialogs.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"
#include "toolkit/TColor.h"
#include "toolkit/qt/ImageCanvas.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

using namespace ostrander::pattern_test;
using Messages = std::vector<std::pair<std::string, std::string>>;

class BrowserTest : public RowOfFourFolder {
protected:
    void SetUp() override {
        folder_.Make("sets");
        mirror_ = ReadRowOfFour();
        ASSERT_TRUE(mirror_->IsValid());
        setFile_ = Write(
            "focus.ini",
            PatternSetText("Focus steps", {"Flat", "Step 1", "Step 2", "Tilt"},
                           {{0, 0, 0, 0}, {10, 10, 10, 10}, {20, 20, 20, 20}, {0, 10, 20, 30}}));
        form_ = std::make_unique<TPatternSequenceBrowserForm>();
    }
    void TearDown() override {
        form_.reset();
        mirror_.reset();
    }

    std::string Write(const std::string& name, const std::string& text) {
        return folder_.Write("sets/" + name, text);
    }

    // What the "Pattern Library" button does.
    void Open(MirrorClass* active) {
        form_->SetActiveMirror(active);
        form_->ShowBrowser();
    }
    void OpenWith(const std::string& file) {
        dialogs_.openAnswers.push_back(file);
        Open(mirror_.get());
    }

    std::vector<std::string> ListItems() const {
        std::vector<std::string> items;
        for (int i = 0; i < form_->Ui().PatternListBox->count(); ++i)
            items.push_back(form_->Ui().PatternListBox->item(i)->text().toStdString());
        return items;
    }
    std::vector<int> SelectedRows() const {
        std::vector<int> rows;
        for (int i = 0; i < form_->Ui().PatternListBox->count(); ++i)
            if (form_->Ui().PatternListBox->item(i)->isSelected())
                rows.push_back(i);
        return rows;
    }
    void ClickRow(int row) {
        QListWidget* list = form_->Ui().PatternListBox;
        const QRect r = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    std::vector<std::string> Names() const {
        auto names = form_->GetPatternSet()->GetPatternNames();
        names.pop_back(); // "None"
        return names;
    }
    // Message boxes shown since the last call, as (text, caption).
    Messages TakeMessages() {
        Messages m;
        for (const auto& box : dialogs_.messages)
            m.emplace_back(box.text, box.caption);
        dialogs_.messages.clear();
        return m;
    }

    std::unique_ptr<MirrorClass> mirror_;
    std::unique_ptr<TPatternSequenceBrowserForm> form_;
};

} // namespace

TEST_F(BrowserTest, StartsWithTheDesignedControls) {
    EXPECT_EQ(form_->windowTitle(), "Pattern Sequence Browser");
    EXPECT_EQ(form_->size(), QSize(831, 694));
    EXPECT_EQ(form_->Ui().ExitMenuItem->text(), "&Exit");
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text(), "No File");
    EXPECT_FALSE(form_->Ui().PatternFileNameEdit->isEnabled());
    EXPECT_EQ(form_->Ui().PatternSetNameEdit->text(), "No Pattern File");
    EXPECT_EQ(form_->Ui().NewPatternNameEdit->text(), "Pattern 0");
    EXPECT_FALSE(form_->Ui().PatternListBox->isEnabled());
    EXPECT_EQ(form_->Ui().PatternListBox->count(), 0);
    const std::pair<QPushButton*, const char*> captions[] = {
        {form_->Ui().PatternFileBrowseButton, "&Browse"},
        {form_->Ui().UpdateMirrorButton, "Set Mirror &Voltages"},
        {form_->Ui().GrabMirrorButton, "&Get Mirror Voltages"},
        {form_->Ui().UpdateFileButton, "&Save File"},
        {form_->Ui().InsertBeforeButton, "&Add Pattern"},
        {form_->Ui().ReplaceButton, "&Replace Pattern"},
        {form_->Ui().DeleteButton, "&Delete Pattern"},
    };
    for (const auto& [button, caption] : captions)
        EXPECT_EQ(button->text().toStdString(), caption);
    EXPECT_EQ(form_->GetPatternSet(), nullptr);
    EXPECT_FALSE(form_->IsFileLoaded());
}

TEST_F(BrowserTest, FirstShowingCancelledStillBuildsThePreviewMirror) {
    SetMirrorVolts(mirror_.get(), {5, 6, 7, 8});
    Open(mirror_.get()); // the open dialog is cancelled
    ASSERT_EQ(dialogs_.openRequests.size(), 1u);
    EXPECT_EQ(form_->GetPatternSet(), nullptr);
    EXPECT_FALSE(form_->Ui().PatternListBox->isEnabled());
    EXPECT_EQ(form_->Ui().PatternListBox->count(), 0);
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text(), "No File");

    MirrorClass* preview = form_->GetPreviewMirror();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(preview->IsValid());
    EXPECT_NE(preview, mirror_.get());
    EXPECT_EQ(preview->GetFileName(), mirror_->GetFileName());
    EXPECT_FALSE(preview->SendBank(0)); // output held
    EXPECT_EQ(form_->Ui().MirrorDisplayFrame->GetMirror(), preview);
    EXPECT_EQ(MirrorVolts(preview), (Volts{5, 6, 7, 8}));

    // Showing again asks again: no file has been loaded.
    form_->hide();
    form_->show();
    EXPECT_EQ(dialogs_.openRequests.size(), 2u);
}

TEST_F(BrowserTest, ValidFileIsShownAndKeptAcrossShowings) {
    OpenWith(setFile_);
    ASSERT_TRUE(form_->IsFileLoaded());
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 1", "Step 2", "Tilt"}));
    EXPECT_TRUE(form_->Ui().PatternListBox->isEnabled());
    EXPECT_EQ(form_->Ui().NewPatternNameEdit->text(), "Pattern 4");
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text().toStdString(), setFile_);
    EXPECT_TRUE(form_->Ui().PatternFileNameEdit->isEnabled());
    EXPECT_EQ(form_->Ui().PatternSetNameEdit->text(), "Focus steps");
    EXPECT_EQ(form_->windowTitle(), "Focus steps Pattern Sequence Browser");
    EXPECT_EQ(VoltagesOf(form_->GetCurrentVoltages()), (Volts{0, 0, 0, 0}));

    form_->Ui().NewPatternNameEdit->setText("Added");
    SetMirrorVolts(form_->GetPreviewMirror(), {1, 2, 3, 4});
    Click(form_->Ui().InsertBeforeButton);

    form_->ExitButtonClick();
    EXPECT_FALSE(form_->isVisible());
    form_->show();
    EXPECT_EQ(dialogs_.openRequests.size(), 1u);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 1", "Step 2", "Tilt", "Added"}));
    EXPECT_EQ(Names(), ListItems());
}

TEST_F(BrowserTest, UnusableFileAtFirstShowingGivesAnEmptyDefaultSet) {
    const std::string bad = Write("bad.ini", "[General]\nFileType=Something else\n");
    OpenWith(bad);
    ASSERT_NE(form_->GetPatternSet(), nullptr);
    EXPECT_FALSE(form_->IsFileLoaded());
    EXPECT_EQ(form_->GetPatternSet()->GetPatternSetName(), "Default Pattern");
    EXPECT_EQ(form_->GetPatternSet()->GetFileName(), bad);
    EXPECT_TRUE(form_->Ui().PatternListBox->isEnabled());
    EXPECT_EQ(form_->Ui().PatternListBox->count(), 0);
    EXPECT_EQ(form_->windowTitle(), "Default Pattern Pattern Sequence Browser");
}

TEST_F(BrowserTest, ChoosingAPatternShowsItOnThePreviewOnly) {
    SetMirrorVolts(mirror_.get(), {5, 5, 5, 5});
    OpenWith(setFile_);
    ClickRow(3);
    EXPECT_EQ(form_->GetSelectedIndex(), 3);
    EXPECT_EQ(form_->Ui().NewPatternNameEdit->text(), "Tilt");
    EXPECT_EQ(MirrorVolts(form_->GetPreviewMirror()), (Volts{0, 10, 20, 30}));
    EXPECT_EQ(MirrorVolts(mirror_.get()), (Volts{5, 5, 5, 5}));
    EXPECT_EQ(VoltagesOf(form_->GetCurrentVoltages()), (Volts{0, 0, 0, 0}));
}

TEST_F(BrowserTest, AddAppendsThePreviewVoltagesOrReportsADuplicate) {
    OpenWith(setFile_);
    SetMirrorVolts(form_->GetPreviewMirror(), {1, 2, 3, 4});
    form_->Ui().NewPatternNameEdit->setText("Edited");
    Click(form_->Ui().InsertBeforeButton);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Flat", "Step 1", "Step 2", "Tilt", "Edited"}));
    EXPECT_EQ(VoltagesOf(form_->GetPatternSet()->GetPatternVoltages(4).get()), (Volts{1, 2, 3, 4}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{4});
    EXPECT_EQ(form_->GetSelectedIndex(), 4);
    EXPECT_EQ(form_->Ui().NewPatternNameEdit->text(), "Pattern 5");

    form_->Ui().NewPatternNameEdit->setText("Tilt");
    Click(form_->Ui().InsertBeforeButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"Another pattern has that pattern name", "Add Failed"}}));
    EXPECT_EQ(ListItems().size(), 5u);
    EXPECT_EQ(form_->GetPatternSet()->GetPatternCount(), 5);
    EXPECT_TRUE(SelectedRows().empty());
    EXPECT_EQ(form_->GetSelectedIndex(), 5);
}

TEST_F(BrowserTest, AddWithoutASetMakesOneNamedAfterTheSetNameBox) {
    Open(mirror_.get()); // cancelled: no set
    form_->Ui().PatternSetNameEdit->setText("Fresh");
    form_->Ui().NewPatternNameEdit->setText("First");
    SetMirrorVolts(form_->GetPreviewMirror(), {9, 8, 7, 6});
    Click(form_->Ui().InsertBeforeButton);
    PatternClass* set = form_->GetPatternSet();
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(set->IsValid());
    EXPECT_EQ(set->GetPatternSetName(), "Fresh");
    EXPECT_EQ(set->GetVoltageCount(), 4);
    EXPECT_EQ(Names(), std::vector<std::string>{"First"});
    EXPECT_EQ(set->FindPattern(0)->PatternName, "First");
    EXPECT_EQ(ListItems(), std::vector<std::string>{"First"});
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    EXPECT_TRUE(form_->Ui().PatternListBox->isEnabled());
}

TEST_F(BrowserTest, ReplaceRenamesTheSelectedPatternOrReportsWhy) {
    Open(mirror_.get());
    Click(form_->Ui().ReplaceButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"Cannot replace when list is empty", "Can't do that"}}));

    form_->PatternFileBrowseButtonClick(); // nothing queued: cancelled
    dialogs_.openAnswers.push_back(setFile_);
    Click(form_->Ui().PatternFileBrowseButton);
    ClickRow(1);
    SetMirrorVolts(form_->GetPreviewMirror(), {11, 12, 13, 14});
    form_->Ui().NewPatternNameEdit->setText("Step one");
    Click(form_->Ui().ReplaceButton);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step one", "Step 2", "Tilt"}));
    EXPECT_EQ(Names(), ListItems());
    EXPECT_EQ(VoltagesOf(form_->GetPatternSet()->GetPatternVoltages(1).get()),
              (Volts{11, 12, 13, 14}));

    form_->Ui().NewPatternNameEdit->setText("Tilt");
    Click(form_->Ui().ReplaceButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"Cannot replace: duplicate name", "Replace Failed"}}));
    EXPECT_EQ(Names(), ListItems());

    form_->Ui().PatternListBox->clearSelection();
    Click(form_->Ui().ReplaceButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"Select the pattern to replace.", "Replace Failed"}}));
}

TEST_F(BrowserTest, DeleteRemovesTheHighlightedPatternAndHighlightsTheOneAbove) {
    Open(mirror_.get()); // cancelled: no set
    Click(form_->Ui().DeleteButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"Cannot delete when list is empty", "Can't do that"}}));

    dialogs_.openAnswers.push_back(setFile_);
    Click(form_->Ui().PatternFileBrowseButton);
    Click(form_->Ui().DeleteButton); // nothing highlighted yet
    EXPECT_EQ(TakeMessages(), (Messages{{"Select the pattern to delete.", "Delete Failed"}}));
    EXPECT_EQ(Names().size(), 4u);

    ClickRow(3);
    Click(form_->Ui().DeleteButton);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 1", "Step 2"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});
    // Each further delete removes what is highlighted.
    Click(form_->Ui().DeleteButton);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 1"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    ClickRow(0);
    Click(form_->Ui().DeleteButton);
    EXPECT_EQ(ListItems(), std::vector<std::string>{"Step 1"});
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    Click(form_->Ui().DeleteButton);
    EXPECT_TRUE(ListItems().empty());
    EXPECT_TRUE(Names().empty());
    Click(form_->Ui().DeleteButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"Cannot delete when list is empty", "Can't do that"}}));
}

TEST_F(BrowserTest, AfterReplaceTheHighlightStaysAndDeleteRemovesTheReplacedPattern) {
    OpenWith(setFile_);
    ClickRow(1);
    form_->Ui().NewPatternNameEdit->setText("Step one");
    Click(form_->Ui().ReplaceButton);
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    Click(form_->Ui().DeleteButton);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 2", "Tilt"}));
    EXPECT_EQ(Names(), ListItems());
    EXPECT_TRUE(TakeMessages().empty());
}

// A mirror of seven pads, loaded while the browser shows the four-pad set.
TEST_F(BrowserTest, APatternForAnotherMirrorIsRefusedAndThePreviewFollowsTheLoadedMirror) {
    OpenWith(setFile_);
    ClickRow(3);
    std::string seven = kRowOfFourMirror;
    seven.replace(seven.find("Actuators=4"), 11, "Actuators=5");
    seven += "[A4]\nIndex=4\nX=0.0\nY=0.003\nDpad_m=0.002\n";
    std::ofstream(root_ / "Devices" / "five.ini") << seven;
    MirrorClass five(std::string(DeviceFolderRelative) + "five.ini");
    ASSERT_TRUE(five.IsValid());
    ASSERT_EQ(five.GetModelActuators(), 5);
    SetMirrorVolts(&five, {1, 2, 3, 4});

    form_->SetActiveMirror(&five);
    ASSERT_NE(form_->GetPreviewMirror(), nullptr);
    EXPECT_EQ(form_->GetPreviewMirror()->GetModelActuators(), 5);
    EXPECT_EQ(form_->Ui().MirrorDisplayFrame->GetMirror(), form_->GetPreviewMirror());

    ClickRow(2);
    Click(form_->Ui().UpdateMirrorButton);
    const Messages shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second, "Set Mirror Voltages");
    EXPECT_NE(shown[0].first.find("4 voltages"), std::string::npos) << shown[0].first;
    EXPECT_NE(shown[0].first.find("5 actuators"), std::string::npos) << shown[0].first;
    EXPECT_EQ(MirrorVolts(&five), (Volts{1, 2, 3, 4}));
    EXPECT_EQ(five.GetVoltage(5), 0.0);

    // Voltages taken from the loaded mirror fit it and are sent.
    Click(form_->Ui().GrabMirrorButton);
    Click(form_->Ui().UpdateMirrorButton);
    EXPECT_TRUE(TakeMessages().empty());
    form_->SetActiveMirror(nullptr);
    form_.reset();
}

TEST_F(BrowserTest, SetAndGetMirrorVoltagesMoveVoltagesBetweenPreviewAndLiveMirror) {
    OpenWith(setFile_);
    ClickRow(3); // preview shows Tilt
    Click(form_->Ui().UpdateMirrorButton);
    EXPECT_EQ(MirrorVolts(mirror_.get()), (Volts{0, 10, 20, 30}));
    EXPECT_EQ(VoltagesOf(form_->GetCurrentVoltages()), (Volts{0, 10, 20, 30}));

    SetMirrorVolts(mirror_.get(), {40, 41, 42, 43});
    Click(form_->Ui().GrabMirrorButton);
    EXPECT_EQ(MirrorVolts(form_->GetPreviewMirror()), (Volts{40, 41, 42, 43}));
    EXPECT_EQ(VoltagesOf(form_->GetCurrentVoltages()), (Volts{40, 41, 42, 43}));
    EXPECT_EQ(form_->Ui().NewPatternNameEdit->text(), "Active Mirror Pattern");
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(BrowserTest, WithoutAnActiveMirrorTheMirrorButtonsSaySoAndChangeNothing) {
    dialogs_.openAnswers.push_back(setFile_);
    Open(nullptr);
    // No preview either: the mirror file name comes from the active mirror.
    EXPECT_FALSE(form_->GetPreviewMirror() != nullptr && form_->GetPreviewMirror()->IsValid());
    EXPECT_EQ(form_->Ui().MirrorDisplayFrame->GetMirror(), nullptr);
    const Volts before = VoltagesOf(form_->GetCurrentVoltages());
    const QString name = form_->Ui().NewPatternNameEdit->text();
    Click(form_->Ui().UpdateMirrorButton);
    Click(form_->Ui().GrabMirrorButton);
    EXPECT_EQ(TakeMessages(), (Messages{{"No mirror is loaded.", "Set Mirror Voltages"},
                                        {"No mirror is loaded.", "Get Mirror Voltages"}}));
    EXPECT_EQ(VoltagesOf(form_->GetCurrentVoltages()), before);
    EXPECT_EQ(form_->Ui().NewPatternNameEdit->text(), name);
}

TEST_F(BrowserTest, SaveWritesVersionOneThroughTheSaveDialog) {
    OpenWith(setFile_);
    const std::string out = (root_ / "sets" / "saved.ini").string();
    dialogs_.saveAnswers.push_back(out);
    Click(form_->Ui().UpdateFileButton);
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].initialName, "focus.ini");
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text().toStdString(), out);
    EXPECT_EQ(form_->GetPatternSet()->GetFileName(), setFile_);

    IniFile ini(out);
    EXPECT_EQ(ini.ReadString("FileInformation", "FileVersion", ""), "1.0");
    EXPECT_EQ(ini.ReadString("Pattern000", "PatternName", ""), "Flat");
    EXPECT_EQ(ini.ReadString("Pattern001", "PatternName", ""), "Step 1");
    EXPECT_EQ(ini.ReadString("Pattern003", "Voltage003", ""), "30");
    PatternClass reread(out);
    EXPECT_EQ(reread.GetPatternNames(), form_->GetPatternSet()->GetPatternNames());

    // Cancelled: nothing written, nothing shown.
    Click(form_->Ui().UpdateFileButton);
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text().toStdString(), out);
}

namespace {
bool FailingSave(const std::string&) {
    return false;
}
} // namespace

TEST_F(BrowserTest, FailedSaveTellsTheUserAndKeepsTheOldFile) {
    OpenWith(setFile_);
    std::ifstream in(setFile_, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), {});
    form_->Ui().NewPatternNameEdit->setText("New");
    Click(form_->Ui().InsertBeforeButton);
    dialogs_.saveAnswers.push_back(setFile_);
    IniFile::SetSaveHookForTesting(&FailingSave);
    Click(form_->Ui().UpdateFileButton);
    IniFile::SetSaveHookForTesting(nullptr);
    EXPECT_EQ(TakeMessages(), (Messages{{"Could not save the pattern file.", "Save Failed"}}));
    std::ifstream again(setFile_, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), before);
}

TEST_F(BrowserTest, APatternNamedNoneIsNotListed) {
    const std::string file =
        Write("none.ini", PatternSetText("With none", {"A", "None", "B"},
                                         {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}}));
    OpenWith(file);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "None", "B"}));
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"A", "B"}));
    // Rows after it no longer match the indices: row 1 shows pattern 1.
    ClickRow(1);
    EXPECT_EQ(form_->GetSelectedIndex(), 1);
    EXPECT_EQ(MirrorVolts(form_->GetPreviewMirror()), (Volts{2, 2, 2, 2}));
}

TEST_F(BrowserTest, BrowseReplacesTheSetAndAnUnusableFileIsRefused) {
    Open(mirror_.get());
    const std::string other = Write("other.ini", PatternSetText("Other", {"Only"}, {{7, 7, 7, 7}}));
    dialogs_.openAnswers.push_back(other);
    Click(form_->Ui().PatternFileBrowseButton);
    EXPECT_TRUE(form_->IsFileLoaded());
    EXPECT_EQ(ListItems(), std::vector<std::string>{"Only"});
    EXPECT_EQ(MirrorVolts(form_->GetPreviewMirror()), (Volts{7, 7, 7, 7}));
    EXPECT_EQ(form_->windowTitle(), "Other Pattern Sequence Browser");

    const std::string bad = Write("bad.ini", "not a pattern file");
    dialogs_.openAnswers.push_back(bad);
    Click(form_->Ui().PatternFileBrowseButton);
    EXPECT_EQ(TakeMessages(),
              (Messages{{"\"bad.ini\" is not a usable pattern-set file. The patterns on show are "
                         "unchanged.",
                         "Browse"}}));
    PatternClass* set = form_->GetPatternSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->GetPatternSetName(), "Other");
    EXPECT_EQ(Names(), ListItems());
    EXPECT_EQ(ListItems(), std::vector<std::string>{"Only"});
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text().toStdString(), other);
    EXPECT_EQ(form_->windowTitle(), "Other Pattern Sequence Browser");

    // Save then writes the set on show, so the good file stays good.
    dialogs_.saveAnswers.push_back(other);
    Click(form_->Ui().UpdateFileButton);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(PatternClass(other).GetPatternNames(), set->GetPatternNames());

    // Emptied by Delete, the set is not saved and the file keeps its pattern.
    ClickRow(0);
    Click(form_->Ui().DeleteButton);
    ASSERT_TRUE(ListItems().empty());
    dialogs_.saveAnswers.push_back(other);
    Click(form_->Ui().UpdateFileButton);
    EXPECT_EQ(TakeMessages(),
              (Messages{{"The pattern set has no patterns. Add one before saving.", "Save Failed"}}));
    EXPECT_EQ(PatternClass(other).GetPatternNames(), (std::vector<std::string>{"Only", "None"}));
}

// A voltage the reader could not read is named in the status bar (pattern
// and key), a clean file clears it, and a file with no readable voltage at
// all is refused with the reason.
TEST_F(BrowserTest, UnreadableVoltagesAreShownInTheStatusBar) {
    Open(mirror_.get());
    std::string text = PatternSetText("Flawed", {"Good", "Hot"}, {{1, 2, 3, 4}, {5, 6, 7, 8}});
    text.replace(text.find("Voltage002=7"), 12, "Voltage002=nan");
    dialogs_.openAnswers.push_back(Write("flawed.ini", text));
    Click(form_->Ui().PatternFileBrowseButton);
    EXPECT_TRUE(TakeMessages().empty());
    ASSERT_EQ(ListItems(), (std::vector<std::string>{"Good", "Hot"}));
    const std::string shown = form_->statusBar()->currentMessage().toStdString();
    EXPECT_NE(shown.find("\"Hot\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("Voltage002=nan"), std::string::npos) << shown;
    EXPECT_TRUE(form_->statusBar()->isVisibleTo(form_.get()));
    EXPECT_EQ(VoltagesOf(form_->GetPatternSet()->GetPatternVoltages(1).get()), (Volts{5, 6, 0, 8}));

    dialogs_.openAnswers.push_back(setFile_);
    Click(form_->Ui().PatternFileBrowseButton);
    EXPECT_EQ(form_->statusBar()->currentMessage(), "");
    EXPECT_FALSE(form_->statusBar()->isVisibleTo(form_.get()));

    std::string none = PatternSetText("None readable", {"A"}, {{1, 2, 3, 4}});
    for (const char* key : {"Voltage000=1", "Voltage001=2", "Voltage002=3", "Voltage003=4"})
        none.replace(none.find(key), 12, std::string(key).substr(0, 11) + "x");
    dialogs_.openAnswers.push_back(Write("none.ini", none));
    Click(form_->Ui().PatternFileBrowseButton);
    const Messages boxes = TakeMessages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].first.find("no voltage in the file can be read"), std::string::npos)
        << boxes[0].first;
    EXPECT_NE(boxes[0].first.find("Voltage000=x"), std::string::npos) << boxes[0].first;
    EXPECT_EQ(form_->GetPatternSet()->GetPatternSetName(), "Focus steps");
}

TEST_F(BrowserTest, SetNameBoxShowsPendingColourUntilEnter) {
    OpenWith(setFile_);
    auto base = [&] {
        return form_->Ui().PatternSetNameEdit->palette().color(QPalette::Base).rgb() & 0xFFFFFF;
    };
    form_->Ui().PatternSetNameEdit->setFocus();
    form_->Ui().PatternSetNameEdit->selectAll();
    QTest::keyClicks(form_->Ui().PatternSetNameEdit, "Renamed");
    EXPECT_EQ(base(), ImageCanvas::ToQRgb(0xC0DCC0) & 0xFFFFFF);
    EXPECT_EQ(form_->GetPatternSet()->GetPatternSetName(), "Focus steps");
    QTest::keyClick(form_->Ui().PatternSetNameEdit, Qt::Key_Return);
    EXPECT_EQ(form_->GetPatternSet()->GetPatternSetName(), "Renamed");
    EXPECT_EQ(base(), ImageCanvas::ToQRgb(ColorToRGB(clWindow)) & 0xFFFFFF);

    // The file-name box cannot be edited.
    QTest::keyClicks(form_->Ui().PatternFileNameEdit, "x");
    EXPECT_EQ(form_->Ui().PatternFileNameEdit->text().toStdString(), setFile_);
}

TEST_F(BrowserTest, PatternLibraryButtonHandsOverTheMirrorAndShowsTheBrowser) {
    TMirrorDisplayFrame main;
    main.resize(286, 376);
    ASSERT_TRUE(main.SetMirror(mirror_.get()));
    main.SetPatternForm(form_.get());
    main.ShowControls(true);
    main.show();
    dialogs_.openAnswers.push_back(setFile_);
    Click(main.Ui().PatternEditButton);
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(form_->GetActiveMirror(), mirror_.get());
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 1", "Step 2", "Tilt"}));

    // Pressed again while shown: brought forward, not asked again.
    Click(main.Ui().PatternEditButton);
    EXPECT_EQ(dialogs_.openRequests.size(), 1u);
    main.SetMirror(nullptr);
}

TEST_F(BrowserTest, TheBrowsersOwnPatternLibraryButtonOpensASetFromTheDeviceFolder) {
    Open(mirror_.get()); // cancelled: no set
    ASSERT_EQ(dialogs_.openRequests.size(), 1u);
    EXPECT_EQ(fs::path(dialogs_.openRequests[0].initialFolder), fs::path(DeviceFolder()));

    dialogs_.openAnswers.push_back(setFile_);
    Click(form_->Ui().MirrorDisplayFrame->Ui().PatternEditButton);
    ASSERT_EQ(dialogs_.openRequests.size(), 2u);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"Flat", "Step 1", "Step 2", "Tilt"}));
    EXPECT_EQ(form_->GetActiveMirror(), mirror_.get()) << "the preview is not handed on";
}
