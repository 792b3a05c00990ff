// A device folder full of broken files, scanned, previewed and loaded through
// the real setup window: nothing crashes, broken entries read "Driver
// Diagnostic" or load as what they describe, previews leave the loaded mirror
// working, and a good mirror loads and runs again after every broken one.
#include "forms/MirrorSetupForm.h"

#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "support/SetupFormFixture.h"
#include "toolkit/Dialogs.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <cmath>
#include <memory>
#include <string>

namespace ostrander {
namespace {

using program_test::MirrorFile;
using program_test::MirrorText;

// The text with the first line "key=..." replaced by "key=value" (or removed
// when value is null).
std::string WithKey(std::string text, const std::string& key, const char* value) {
    const auto at = text.find("\n" + key + "=");
    if (at == std::string::npos)
        return text;
    const auto end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1, value ? key + "=" + value : "");
    return text;
}

std::string Named(const std::string& text, const std::string& name) {
    return WithKey(text, "DeviceName", name.c_str());
}

class BadDeviceFolderTest : public program_test::SetupFormFolder {
protected:
    void SetUp() override {
        SetupFormFolder::SetUp();
        MirrorFile good;
        good.deviceName = "Good";
        goodText = MirrorText(good);
        WriteDevice("good.ini", goodText);

        // Not mirror info files: never listed.
        WriteDevice("empty.ini", "");
        std::string binary;
        for (int i = 0; i < 4096; ++i)
            binary += static_cast<char>((i * 2654435761u) >> 13);
        WriteDevice("binary.ini", binary);
        WriteDevice("binary-with-type.ini", "[General]\nFileType=Mirror Info\nDeviceName=Binary\n" +
                                                binary + "\n[DM Model]\n" + binary);
        WriteDevice("patterns.ini",
                    "[General]\nFileType=Actuator Pattern Set\nPatternCount=1000000000\n"
                    "VoltageCount=1000000000\n");
        WriteDevice("huge-patterns.pat", "[General]\nFileType=Actuator Pattern Set\n"
                                         "PatternCount=1000000000\nVoltageCount=19\n");

        // Listed, each broken in its own way.
        WriteDevice("truncated.ini",
                    Named(goodText, "Truncated").substr(0, goodText.size() / 2) + "X=0.00");
        WriteDevice("no-model.ini", "[General]\nFileType=Mirror Info\nDeviceName=No model\n");
        std::string zero = Named(goodText, "Zero sizes");
        for (const char* key : {"Diameter_m", "Thickness_m", "Separation_m", "Stress_Pa"})
            zero = WithKey(zero, key, "0");
        WriteDevice("zero.ini", zero);
        std::string negative = Named(goodText, "Negative sizes");
        negative = WithKey(negative, "Diameter_m", "-0.01");
        negative = WithKey(negative, "Separation_m", "-3.5e-5");
        negative = WithKey(negative, "Stress_Pa", "-2e6");
        negative = WithKey(negative, "Thickness_m", "-1e-6");
        WriteDevice("negative.ini", negative);
        WriteDevice("actuators-0.ini", WithKey(Named(goodText, "No actuators"), "Actuators", "0"));
        WriteDevice("actuators-minus5.ini",
                    WithKey(Named(goodText, "Minus five"), "Actuators", "-5"));
        WriteDevice("actuators-1e9.ini",
                    WithKey(Named(goodText, "Float count"), "Actuators", "1e9"));
        WriteDevice("actuators-billion.ini",
                    WithKey(Named(goodText, "A billion"), "Actuators", "1000000000"));
        std::string outside = Named(goodText, "Outside");
        outside += "[Far]\nIndex=7\nX=1\nY=-1\nDpad_m=0.5\n[Huge]\nIndex=8\nX=1e300\nY=1e300\n";
        WriteDevice("outside.ini", WithKey(outside, "Actuators", "9"));
        std::string duplicate = Named(goodText, "Duplicates");
        duplicate += "[Again]\nIndex=0\nX=0.001\nY=0.001\nDpad_m=0.002\n"
                     "[Once more]\nIndex=3\nDisplayIndex=1\n";
        WriteDevice("duplicate.ini", duplicate);
        // A map file with garbage and numbers beyond every range.
        WriteDevice("map.ini", WithKey(Named(goodText, "Bad map"), "MapPrefix", "BAD"));
        WriteDevice("DMmap_BAD.dat", "1 6\n2 99999999999\n3 -2147483648\n2147483647 2147483647\n"
                                     "-2147483648 0\n4 zz\n5 1\n");
        WriteDevice("limit.ini", WithKey(Named(goodText, "Huge limit"), "LimitVoltage", "1e308"));
    }
    // The loaded mirror is the good one, has run, and takes and keeps a voltage.
    void ExpectGoodMirrorWorks() {
        ASSERT_NE(local.Mirror, nullptr);
        ASSERT_TRUE(local.Mirror->IsValid());
        EXPECT_EQ(local.Mirror->GetInfo()->DeviceName, "Good");
        EXPECT_EQ(mainDisplay.GetMirror(), local.Mirror.get());
        EXPECT_TRUE(local.Mirror->SetVoltage(2, 50.0));
        EXPECT_DOUBLE_EQ(local.Mirror->GetVoltage(2), 50.0);
        EXPECT_TRUE(local.Mirror->SetVoltage(2, 0.0));
    }
    void LoadGood() {
        DoubleClickRow(RowOf("Good"));
        EXPECT_LT(RunToEnd(), 50);
        EXPECT_FALSE(host.IsRunTimerEnabled());
        ExpectGoodMirrorWorks();
    }

    std::string goodText;
};

const char* const BrokenNames[] = {"Truncated",    "No model",   "Zero sizes",  "Negative sizes",
                                   "No actuators", "Minus five", "Float count", "A billion",
                                   "Outside",      "Duplicates", "Bad map",     "Huge limit",
                                   "Binary"};

TEST_F(BadDeviceFolderTest, ScanListsOnlyMirrorInfoFiles) {
    MakeForm();
    EXPECT_EQ(List()->count(), 1 + static_cast<int>(std::size(BrokenNames)));
    EXPECT_GE(RowOf("Good"), 0);
    for (const char* name : BrokenNames)
        EXPECT_GE(RowOf(name), 0) << name;
}

TEST_F(BadDeviceFolderTest, PreviewsOfBrokenFilesLeaveTheLoadedMirrorWorking) {
    MakeForm();
    LoadGood();
    for (const char* name : BrokenNames) {
        SCOPED_TRACE(name);
        ClickRow(RowOf(name));
        const std::string details = form->MirrorSelectionDisplayBox->toPlainText().toStdString();
        if (std::string(name) == "No model")
            EXPECT_EQ(details, "Driver Diagnostic");
        else
            EXPECT_EQ(details.rfind("Name: " + std::string(name), 0), 0u) << details;
        ExpectGoodMirrorWorks();
    }
    EXPECT_TRUE(dialogs.exceptions.empty());
}

TEST_F(BadDeviceFolderTest, BrokenMirrorsLoadWithoutHarmAndTheGoodOneLoadsAgain) {
    MakeForm();
    LoadGood();
    for (const char* name : BrokenNames) {
        SCOPED_TRACE(name);
        DoubleClickRow(RowOf(name));
        ASSERT_NE(local.MirrorInfo, nullptr);
        MirrorClass* mirror = local.Mirror.get();
        if (mirror != nullptr && mirror->IsValid()) {
            // A mirror that could be made runs to its end and keeps its rules.
            EXPECT_LE(RunToEnd(mirror->GetChannelCount() + 5), mirror->GetChannelCount() + 3);
            EXPECT_EQ(mainDisplay.GetMirror(), mirror);
            for (int d = 1; d <= mirror->GetChannelCount(); ++d) {
                mirror->SetVoltage(d, 1e6);
                const double v = mirror->GetVoltage(d);
                EXPECT_TRUE(std::isfinite(v) && v >= 0 && v <= 350) << d << ": " << v;
            }
        } else {
            // Anything else is shown as no mirror, with the gap and stress edits off.
            EXPECT_EQ(mainDisplay.GetMirror(), nullptr);
            EXPECT_FALSE(stressEdit.isEnabled());
            EXPECT_FALSE(separationEdit.isEnabled());
            EXPECT_FALSE(host.IsRunTimerEnabled());
        }
        LoadGood();
    }
    EXPECT_TRUE(dialogs.exceptions.empty());
}

TEST_F(BadDeviceFolderTest, PatternFileClaimingABillionPatternsIsRefused) {
    const PatternClass set((root_ / "Devices" / "huge-patterns.pat").string());
    EXPECT_FALSE(set.IsValid());
    EXPECT_EQ(set.GetPatternCount(), 0);
}

} // namespace
} // namespace ostrander
