// The browser's "Zernike Set" button on a shipped mirror: the mirror's set
// becomes a new, unsaved set in the browser and each pattern shows on the map.
#include "forms/PatternSequenceBrowserForm.h"

#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorZernikeClass.h"
#include "Shared_Software/Mirror/ZernikeTables.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Paths.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ostrander {
namespace {

class ZernikeBrowser : public testing::Test {
protected:
    void SetUp() override {
        // Any existing folder beside Devices/ serves as the program folder.
        SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
        form = std::make_unique<TPatternSequenceBrowserForm>();
    }
    void Open(MirrorClass* active) {
        form->SetActiveMirror(active);
        form->ShowBrowser(); // the open dialog is cancelled
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& m : dialogs.messages)
            out.push_back(m.caption + ": " + m.text);
        dialogs.messages.clear();
        return out;
    }
    void ClickRow(int row) {
        QListWidget* list = form->Ui().PatternListBox;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    // The preview mirror shows pattern k of the mirror's own set, entry by
    // entry (the last entry has no actuator on the 37-pad mirror).
    void ExpectPreview(MirrorClass& mirror, int k) {
        MirrorClass* preview = form->GetPreviewMirror();
        ASSERT_NE(preview, nullptr);
        auto volts = mirror.GetInfo()->Zernike->GetPatternSet()->GetPatternVoltages(k);
        ASSERT_TRUE(volts);
        for (const VoltageListEntry* e = volts->First(); e != nullptr; e = e->next)
            if (e->Actuator <= 37) {
                EXPECT_DOUBLE_EQ(preview->GetVoltage(e->Actuator), e->Voltage) << e->Actuator;
            }
    }

    ScriptedDialogs dialogs;
    ScopedDialogs scope{dialogs};
    std::unique_ptr<TPatternSequenceBrowserForm> form;
};

TEST_F(ZernikeBrowser, MirrorSetBecomesANewUnsavedSetShownPatternByPattern) {
    MirrorClass mirror("..\\Devices\\Hex37.ini");
    ASSERT_TRUE(mirror.IsValid());
    Open(&mirror);
    EXPECT_EQ(form->Ui().ZernikeSetButton->text(), "Zer&nike Set");
    QTest::mouseClick(form->Ui().ZernikeSetButton, Qt::LeftButton);
    EXPECT_TRUE(Messages().empty());

    const PatternClass* set = form->GetPatternSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->GetPatternSetName(), "DefaultCircularHex37");
    EXPECT_EQ(set->GetFileName(), PatternClass::NoFileName);
    EXPECT_EQ(form->Ui().PatternSetNameEdit->text(), "DefaultCircularHex37");
    EXPECT_EQ(form->Ui().PatternFileNameEdit->text(), "No File");
    ASSERT_EQ(form->Ui().PatternListBox->count(), ZernikeTermCount);
    for (int k = 0; k < ZernikeTermCount; ++k)
        EXPECT_EQ(form->Ui().PatternListBox->item(k)->text().toStdString(), ZernikeTermNames[k]);

    ExpectPreview(mirror, 0);
    ClickRow(ZernikeDefocusTerm);
    ExpectPreview(mirror, ZernikeDefocusTerm);
    EXPECT_DOUBLE_EQ(form->GetPreviewMirror()->GetVoltage(1), 40);

    // The browser edits its own copy; the mirror's set stays whole.
    QTest::mouseClick(form->Ui().DeleteButton, Qt::LeftButton);
    EXPECT_EQ(form->GetPatternSet()->GetPatternCount(), ZernikeTermCount - 1);
    EXPECT_EQ(mirror.GetInfo()->Zernike->GetPatternSet()->GetPatternCount(), ZernikeTermCount);
    // The output of the mirror itself was never touched.
    EXPECT_DOUBLE_EQ(mirror.GetVoltage(1), 0);
}

// Loading the Zernike set replaces the set being edited: with unsaved
// changes the user is asked first, and Cancel keeps them.
TEST_F(ZernikeBrowser, ZernikeSetAsksBeforeDiscardingUnsavedEdits) {
    MirrorClass mirror("..\\Devices\\Hex37.ini");
    ASSERT_TRUE(mirror.IsValid());
    Open(&mirror);
    QTest::mouseClick(form->Ui().ZernikeSetButton, Qt::LeftButton);
    // Nothing edited yet: no question.
    QTest::mouseClick(form->Ui().ZernikeSetButton, Qt::LeftButton);
    EXPECT_TRUE(dialogs.questions.empty());

    ClickRow(2);
    QTest::mouseClick(form->Ui().DeleteButton, Qt::LeftButton);
    ASSERT_EQ(form->GetPatternSet()->GetPatternCount(), ZernikeTermCount - 1);
    dialogs.askAnswers = {false};
    QTest::mouseClick(form->Ui().ZernikeSetButton, Qt::LeftButton);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].caption, "Zernike Set");
    // Enter keeps the edits: discarding them takes a deliberate Yes.
    EXPECT_EQ(dialogs.questions[0].preselected, Dialogs::Preselect::No);
    EXPECT_EQ(form->GetPatternSet()->GetPatternCount(), ZernikeTermCount - 1);
    EXPECT_EQ(form->Ui().PatternListBox->count(), ZernikeTermCount - 1);

    dialogs.askAnswers = {true};
    QTest::mouseClick(form->Ui().ZernikeSetButton, Qt::LeftButton);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(form->GetPatternSet()->GetPatternCount(), ZernikeTermCount);
    EXPECT_EQ(form->Ui().PatternListBox->count(), ZernikeTermCount);
}

TEST_F(ZernikeBrowser, WithoutAMirrorNothingChanges) {
    Open(nullptr);
    QTest::mouseClick(form->Ui().ZernikeSetButton, Qt::LeftButton);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Zernike Set: No mirror is loaded."});
    EXPECT_EQ(form->Ui().PatternListBox->count(), 0);
}

} // namespace
} // namespace ostrander
