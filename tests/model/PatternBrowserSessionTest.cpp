// The pattern browser's editing session without a window: which set is
// edited, what reaches the preview and the active mirror, the selected index
// and the status of each operation. No operation may show a message itself.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "model/PatternBrowserSession.h"
#include "support/PatternSetFiles.h"
#include "support/TempFolder.h"
#include "toolkit/Dialogs.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;
using Status = PatternBrowserSession::Status;
using ShowOutcome = PatternBrowserSession::ShowOutcome;

namespace {

using namespace ostrander::pattern_test;
using Names = std::vector<std::string>;

bool FailingSave(const std::string&) {
    return false;
}

class SessionTest : public RowOfFourFolder {
protected:
    void SetUp() override {
        active_ = ReadRowOfFour();
        ASSERT_TRUE(active_->IsValid());
        setFile_ = Write("focus.pat", PatternSetText("Focus steps", {"Flat", "Step 1", "Tilt"},
                                                     {{0, 0, 0, 0}, {10, 10, 10, 10}, {0, 10, 20, 30}}));
    }
    void TearDown() override {
        EXPECT_TRUE(dialogs_.messages.empty()) << "the session shows no messages itself";
    }

    std::string Write(const std::string& name, const std::string& text) {
        return folder_.Write(name, text);
    }
    Names PatternNames() const {
        Names names = session_.GetPatternSet()->GetPatternNames();
        names.pop_back(); // the closing "None"
        return names;
    }
    // A session showing `file` on a preview of the active mirror, as the
    // window's first showing does.
    void ShowWith(const std::string& file) {
        session_.SetActiveMirror(active_.get());
        ASSERT_EQ(session_.ShowSet(file, file), ShowOutcome::Valid);
        ASSERT_NE(session_.RebuildPreviewMirror(), nullptr);
        session_.ShowCurrentVoltagesOnPreview();
    }

    std::unique_ptr<MirrorClass> active_;
    PatternBrowserSession session_;
};

} // namespace

TEST_F(SessionTest, ShowingAsksForASetUntilAValidOneWasShownAndThenKeepsIt) {
    EXPECT_TRUE(session_.NeedsSetFile());
    EXPECT_EQ(session_.ShowSet(std::nullopt, ""), ShowOutcome::NoSet) << "dialog cancelled";
    EXPECT_EQ(session_.GetPatternSet(), nullptr);

    const std::string bad = Write("bad.pat", "[General]\nFileType=Something else\n");
    EXPECT_EQ(session_.ShowSet(bad, bad), ShowOutcome::NotUsable);
    ASSERT_NE(session_.GetPatternSet(), nullptr);
    EXPECT_EQ(session_.GetPatternSet()->GetPatternSetName(), "Default Pattern");
    EXPECT_EQ(session_.GetPatternSet()->GetFileName(), bad);
    EXPECT_TRUE(session_.NeedsSetFile());

    EXPECT_EQ(session_.ShowSet(setFile_, setFile_), ShowOutcome::Valid);
    EXPECT_TRUE(session_.IsFileLoaded());
    EXPECT_FALSE(session_.NeedsSetFile());
    EXPECT_EQ(VoltagesOf(session_.GetCurrentVoltages()), (Volts{0, 0, 0, 0}));

    // Later showings keep the set in memory with its edits.
    session_.SetActiveMirror(active_.get());
    ASSERT_EQ(session_.AddPattern("Added", ""), Status::Done);
    EXPECT_EQ(session_.ShowSet(std::nullopt, "ignored"), ShowOutcome::Valid);
    EXPECT_EQ(PatternNames(), (Names{"Flat", "Step 1", "Tilt", "Added"}));
}

TEST_F(SessionTest, PreviewIsAHeldCopyOfTheFirstActiveMirrorSeen) {
    EXPECT_EQ(session_.RebuildPreviewMirror(), nullptr) << "no active mirror, no file";
    EXPECT_FALSE(session_.PreviewMirrorValid());

    SetMirrorVolts(active_.get(), {5, 6, 7, 8});
    session_.SetActiveMirror(active_.get());
    MirrorClass* preview = session_.RebuildPreviewMirror();
    ASSERT_NE(preview, nullptr);
    EXPECT_NE(preview, active_.get());
    EXPECT_EQ(preview->GetFileName(), active_->GetFileName());
    EXPECT_FALSE(preview->SendBank(0)) << "output held";
    session_.ShowCurrentVoltagesOnPreview();
    EXPECT_EQ(VoltagesOf(session_.GetCurrentVoltages()), (Volts{5, 6, 7, 8}));
    EXPECT_EQ(MirrorVolts(preview), (Volts{5, 6, 7, 8}));

    // The mirror file is kept when the active mirror goes away.
    session_.SetActiveMirror(nullptr);
    preview = session_.RebuildPreviewMirror();
    ASSERT_NE(preview, nullptr);
    session_.ShowCurrentVoltagesOnPreview();
    EXPECT_EQ(MirrorVolts(preview), (Volts{5, 6, 7, 8}));
}

TEST_F(SessionTest, ChoosingAPatternShowsItOnThePreviewOnly) {
    SetMirrorVolts(active_.get(), {5, 5, 5, 5});
    ShowWith(setFile_);
    EXPECT_TRUE(session_.SelectPattern(2));
    EXPECT_EQ(session_.GetSelectedIndex(), 2);
    EXPECT_EQ(MirrorVolts(session_.GetPreviewMirror()), (Volts{0, 10, 20, 30}));
    EXPECT_EQ(MirrorVolts(active_.get()), (Volts{5, 5, 5, 5}));
    EXPECT_EQ(VoltagesOf(session_.GetCurrentVoltages()), (Volts{0, 0, 0, 0}));

    EXPECT_FALSE(session_.SelectPattern(7)) << "no such pattern: the preview stays";
    EXPECT_EQ(session_.GetSelectedIndex(), 7);
    EXPECT_EQ(MirrorVolts(session_.GetPreviewMirror()), (Volts{0, 10, 20, 30}));
}

TEST_F(SessionTest, EditingStatusesWithoutASetAndWithOne) {
    session_.SetActiveMirror(active_.get());
    ASSERT_NE(session_.RebuildPreviewMirror(), nullptr);
    EXPECT_EQ(session_.ReplacePattern("X"), Status::NoPatternSet);
    EXPECT_EQ(session_.DeletePattern(), Status::NoPatternSet);
    EXPECT_FALSE(session_.CanSave());
    EXPECT_EQ(session_.Save(Write("never.pat", "")), Status::NoPatternSet);

    // Adding without a set starts one named as asked, sized by the capture.
    SetMirrorVolts(session_.GetPreviewMirror(), {9, 8, 7, 6});
    ASSERT_EQ(session_.AddPattern("First", "Fresh"), Status::Done);
    PatternClass* set = session_.GetPatternSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->GetPatternSetName(), "Fresh");
    EXPECT_EQ(set->GetVoltageCount(), 4);
    EXPECT_EQ(session_.GetSelectedIndex(), 0);
    EXPECT_EQ(VoltagesOf(set->GetPatternVoltages(0).get()), (Volts{9, 8, 7, 6}));

    SetMirrorVolts(session_.GetPreviewMirror(), {1, 2, 3, 4});
    ASSERT_EQ(session_.AddPattern("Second", "ignored"), Status::Done);
    EXPECT_EQ(session_.GetSelectedIndex(), 1);
    EXPECT_EQ(session_.AddPattern("First", ""), Status::DuplicateName);
    EXPECT_EQ(session_.GetSelectedIndex(), 2) << "the position the refused pattern would have had";
    EXPECT_EQ(PatternNames(), (Names{"First", "Second"}));

    EXPECT_TRUE(session_.SelectPattern(1));
    SetMirrorVolts(session_.GetPreviewMirror(), {11, 12, 13, 14});
    EXPECT_EQ(session_.ReplacePattern("First"), Status::DuplicateName);
    ASSERT_EQ(session_.ReplacePattern("Second edited"), Status::Done);
    EXPECT_EQ(PatternNames(), (Names{"First", "Second edited"}));
    EXPECT_EQ(VoltagesOf(set->GetPatternVoltages(1).get()), (Volts{11, 12, 13, 14}));

    // The selected index stays after a delete; past the end nothing is deleted.
    session_.SelectPattern(0);
    ASSERT_EQ(session_.DeletePattern(), Status::Done);
    EXPECT_EQ(session_.GetSelectedIndex(), 0);
    EXPECT_EQ(PatternNames(), (Names{"Second edited"}));
    session_.SelectPattern(1);
    EXPECT_EQ(session_.DeletePattern(), Status::NotInList);
    EXPECT_EQ(PatternNames(), (Names{"Second edited"}));
}

TEST_F(SessionTest, VoltagesMoveBetweenPreviewAndActiveMirrorOnlyWithAnActiveMirror) {
    EXPECT_EQ(session_.SendToActiveMirror(), Status::NoActiveMirror);
    EXPECT_EQ(session_.GrabActiveMirror(), Status::NoActiveMirror);
    EXPECT_EQ(session_.LoadZernikeSet(), Status::NoActiveMirror);
    EXPECT_EQ(session_.GetCurrentVoltages(), nullptr);

    session_.SetActiveMirror(active_.get());
    ASSERT_NE(session_.RebuildPreviewMirror(), nullptr);
    EXPECT_EQ(session_.SendToActiveMirror(), Status::NothingToSend);

    ShowWith(setFile_);
    session_.SelectPattern(2);
    ASSERT_EQ(session_.SendToActiveMirror(), Status::Done);
    EXPECT_EQ(MirrorVolts(active_.get()), (Volts{0, 10, 20, 30}));
    EXPECT_EQ(VoltagesOf(session_.GetCurrentVoltages()), (Volts{0, 10, 20, 30}));

    SetMirrorVolts(active_.get(), {40, 41, 42, 43});
    ASSERT_EQ(session_.GrabActiveMirror(), Status::Done);
    EXPECT_EQ(MirrorVolts(session_.GetPreviewMirror()), (Volts{40, 41, 42, 43}));
    EXPECT_EQ(VoltagesOf(session_.GetCurrentVoltages()), (Volts{40, 41, 42, 43}));
}

TEST_F(SessionTest, ZernikeSetOfTheActiveMirrorBecomesANewUnsavedSet) {
    // A mirror whose Zernike pattern file is missing has no usable set.
    std::ofstream(root_ / "Devices" / "nozernike.ini")
        << kRowOfFourMirror << "[Patterns]\nZernikeFileName=missing.pat\n";
    MirrorClass broken(std::string(DeviceFolderRelative) + "nozernike.ini");
    ASSERT_TRUE(broken.IsValid());
    session_.SetActiveMirror(&broken);
    EXPECT_EQ(session_.LoadZernikeSet(), Status::NoZernikeSet);
    EXPECT_EQ(session_.GetPatternSet(), nullptr);

    // Four actuators have no built-in table: the set is empty but valid.
    ShowWith(setFile_);
    session_.SelectPattern(2);
    ASSERT_EQ(session_.LoadZernikeSet(), Status::Done);
    EXPECT_EQ(session_.GetPatternSet()->GetPatternSetName(), "DefaultCircularHex4");
    EXPECT_EQ(session_.GetPatternSet()->GetPatternCount(), 0);
    EXPECT_EQ(session_.GetPatternSet()->GetFileName(), PatternClass::NoFileName);
    EXPECT_EQ(session_.GetSelectedIndex(), 0);
    EXPECT_TRUE(session_.IsFileLoaded());
    session_.SetActiveMirror(nullptr);
}

TEST_F(SessionTest, OpeningAFileReplacesTheSetAndAnUnusableOneIsRefused) {
    session_.SetActiveMirror(active_.get());
    ASSERT_NE(session_.RebuildPreviewMirror(), nullptr);
    const std::string other = Write("other.pat", PatternSetText("Other", {"Only"}, {{7, 7, 7, 7}}));
    auto result = session_.OpenSet(other);
    EXPECT_TRUE(result.valid);
    EXPECT_TRUE(result.previewChanged);
    EXPECT_TRUE(session_.IsFileLoaded());
    EXPECT_EQ(session_.GetPatternFileName(), other);
    EXPECT_EQ(MirrorVolts(session_.GetPreviewMirror()), (Volts{7, 7, 7, 7}));

    // Neither a file that is not a set nor one with no patterns replaces it.
    for (const std::string& bad :
         {Write("bad.pat", "not a pattern file"),
          Write("empty.pat", "[General]\nFileType=Actuator Pattern Set\nPatternCount=0\n"
                             "VoltageCount=4\n")}) {
        SCOPED_TRACE(bad);
        result = session_.OpenSet(bad);
        EXPECT_FALSE(result.valid);
        EXPECT_FALSE(result.previewChanged);
        PatternClass* set = session_.GetPatternSet();
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->GetPatternSetName(), "Other");
        EXPECT_EQ(set->GetPatternCount(), 1);
        EXPECT_EQ(session_.GetPatternFileName(), other);
        EXPECT_EQ(MirrorVolts(session_.GetPreviewMirror()), (Volts{7, 7, 7, 7}));
    }
}

TEST_F(SessionTest, SaveWritesVersionOneAndReportsAFailedWrite) {
    ShowWith(setFile_);
    ASSERT_TRUE(session_.CanSave());
    const std::string out = (root_ / "saved.pat").string();
    ASSERT_EQ(session_.Save(out), Status::Done);
    EXPECT_EQ(IniFile(out).ReadString("FileInformation", "FileVersion", ""), "1.0");
    EXPECT_EQ(PatternClass(out).GetPatternNames(), session_.GetPatternSet()->GetPatternNames());
    EXPECT_EQ(session_.GetPatternSet()->GetFileName(), setFile_) << "the set keeps its own file";

    session_.SetPatternSetName("Renamed");
    IniFile::SetSaveHookForTesting(&FailingSave);
    EXPECT_EQ(session_.Save(out), Status::WriteFailed);
    IniFile::SetSaveHookForTesting(nullptr);
    EXPECT_EQ(PatternClass(out).GetPatternSetName(), "Focus steps");

    // A set emptied by deletes would not read back: the good file stays.
    while (session_.GetPatternSet()->GetPatternCount() > 0)
        ASSERT_EQ(session_.DeletePattern(), Status::Done);
    std::string reason;
    EXPECT_EQ(session_.Save(out, &reason), Status::WriteFailed);
    EXPECT_EQ(reason, "the pattern set has no patterns");
    EXPECT_EQ(PatternClass(out).GetPatternCount(), 3);
}

// What counts as an unsaved edit: changes to the set, not looking at it; a
// save, or a set opened anew, starts clean again; a failed save does not.
TEST_F(SessionTest, UnsavedEditsAreTheSetsChangesSinceItWasOpenedOrSaved) {
    ShowWith(setFile_);
    EXPECT_FALSE(session_.HasUnsavedEdits());
    session_.SelectPattern(2);
    session_.SetPatternSetName("Focus steps");
    EXPECT_FALSE(session_.HasUnsavedEdits()) << "choosing and an unchanged name edit nothing";
    EXPECT_EQ(session_.DeletePattern(), Status::Done);
    EXPECT_TRUE(session_.HasUnsavedEdits());

    const std::string out = (root_ / "saved.pat").string();
    IniFile::SetSaveHookForTesting(&FailingSave);
    EXPECT_EQ(session_.Save(out), Status::WriteFailed);
    IniFile::SetSaveHookForTesting(nullptr);
    EXPECT_TRUE(session_.HasUnsavedEdits());
    ASSERT_EQ(session_.Save(out), Status::Done);
    EXPECT_FALSE(session_.HasUnsavedEdits());

    const struct {
        const char* what;
        std::function<Status()> edit;
    } edits[] = {
        {"add", [&] { return session_.AddPattern("Added", ""); }},
        {"replace", [&] { return session_.ReplacePattern("Replaced"); }},
        {"rename", [&] { session_.SetPatternSetName("Other name"); return Status::Done; }},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.what);
        ASSERT_TRUE(session_.OpenSet(setFile_).valid);
        EXPECT_FALSE(session_.HasUnsavedEdits());
        session_.SelectPattern(0);
        ASSERT_EQ(e.edit(), Status::Done);
        EXPECT_TRUE(session_.HasUnsavedEdits());
    }
    // A refused edit changes nothing.
    ASSERT_TRUE(session_.OpenSet(setFile_).valid);
    EXPECT_EQ(session_.AddPattern("Flat", ""), Status::DuplicateName);
    EXPECT_FALSE(session_.HasUnsavedEdits());
}
