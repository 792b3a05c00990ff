// Every window at its design size with the 61-pad mirror at 150 V on all
// pads: the texts take the room the layout gives them (map voltages apart,
// information lines, mirror names and details whole). The windows are saved
// as build/screens/*.png for anyone to look at.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"

#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "forms/MirrorSetupForm.h"
#include "forms/PatternSequenceBrowserForm.h"
#include "model/DMModelLocal.h"
#include "model/EngineSession.h"
#include "model/SessionAccess.h"
#include "model/pictures/ActuatorDisplayClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "support/ShippedProgram.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/ImageCanvas.h"
#include "toolkit/qt/PaintBox.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace ostrander {
namespace {

// The voltage texts of a map frame's pads, as rectangles on its canvas.
std::vector<QRect> VoltageTextRects(TMirrorDisplayFrame& frame) {
    std::vector<QRect> rects;
    ImageCanvas& canvas = frame.Ui().MirrorPaintBox->Canvas();
    for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a; a = a->next) {
        if (a->IsAuxiliary() || a->LastText.empty())
            continue;
        canvas.SetFontHeight(a->FontHeight);
        rects.emplace_back(a->VoltageX, a->VoltageY, canvas.TextWidth(a->LastText),
                           canvas.TextHeight(a->LastText));
    }
    return rects;
}

// Pads whose voltage text runs past their own outline, sideways.
int TextsPastTheirPad(TMirrorDisplayFrame& frame) {
    int n = 0;
    ImageCanvas& canvas = frame.Ui().MirrorPaintBox->Canvas();
    for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a; a = a->next) {
        if (a->IsAuxiliary() || a->LastText.empty() || a->Shape != ActuatorShape::Circular)
            continue;
        int left = a->Points[0].x, right = left;
        for (const Point& p : a->Points) {
            left = std::min(left, p.x);
            right = std::max(right, p.x);
        }
        canvas.SetFontHeight(a->FontHeight);
        const int width = canvas.TextWidth(a->LastText);
        if (a->VoltageX < left - 1 || a->VoltageX + width > right + 1)
            ++n;
    }
    return n;
}

// Pairs of texts that run into each other (a pixel of overlap is allowed
// for the glyphs' side bearings).
int Overlaps(const std::vector<QRect>& rects) {
    int n = 0;
    for (std::size_t i = 0; i < rects.size(); ++i)
        for (std::size_t j = i + 1; j < rects.size(); ++j)
            if (rects[i].adjusted(1, 0, -1, 0).intersects(rects[j].adjusted(1, 0, -1, 0)))
                ++n;
    return n;
}

class DesignSize : public program_test::ShippedProgram {};

TEST_F(DesignSize, EveryWindowShowsItsTextsWhole) {
    const std::filesystem::path screens = std::filesystem::path(OSTRANDER_BINARY_DIR) / "screens";
    std::filesystem::create_directories(screens);
    // The design's window lies between the menu bar and the status line.
    ASSERT_EQ(form.centralWidget()->size(), QSize(1195, 782));

    QTest::mouseClick(form.LoadMirrorButton, Qt::LeftButton);
    ASSERT_EQ(setup->size(), QSize(513, 679));
    int row = -1;
    for (int r = 0; r < setup->MirrorSelectionListBox->count(); ++r)
        if (setup->MirrorSelectionListBox->item(r)->text().startsWith("Hex 61"))
            row = r;
    ASSERT_GE(row, 0);
    setup->MirrorSelectionListBox->setCurrentRow(row);
    setup->MirrorSelectionListBoxClick();
    setup->LoadButtonClick();
    for (int ticks = 0; form.IsRunTimerEnabled() && ticks < 100; ++ticks)
        form.RunFEATimerTimer();
    ASSERT_TRUE(local.DisplaysValid);
    VoltageRequest request;
    request.all = 150.0;
    request.single = {{62, 0.0}};
    ASSERT_TRUE(form.Session().ApplyVoltages(request).applied);
    form.ApplicationIdle();
    QApplication::processEvents();

    // The setup window: every mirror name and both detail boxes whole.
    setup->grab().save(QString::fromStdString((screens / "setup.png").string()));
    QListWidget* list = setup->MirrorSelectionListBox;
    for (int r = 0; r < list->count(); ++r)
        EXPECT_LE(list->fontMetrics().horizontalAdvance(list->item(r)->text()),
                  list->viewport()->width() - 4)
            << list->item(r)->text().toStdString();
    for (QPlainTextEdit* memo :
         {setup->MirrorSelectionDisplayBox, setup->MirrorCurrentDisplayBox}) {
        EXPECT_EQ(memo->document()->blockCount(), 6);
        EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0) << "some detail lines are hidden";
        // No line runs past the box (a narrow box wraps them).
        for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
            if (memo->lineWrapMode() == QPlainTextEdit::NoWrap)
                EXPECT_LE(memo->fontMetrics().horizontalAdvance(b.text()),
                          memo->viewport()->width() - 4)
                    << b.text().toStdString();
    }
    EXPECT_EQ(Overlaps(VoltageTextRects(*setup->MirrorCurrentDisplayFrame)), 0);
    EXPECT_EQ(TextsPastTheirPad(*setup->MirrorCurrentDisplayFrame), 0);
    setup->hide();

    // The main window: the map's voltages apart, every information line whole.
    form.grab().save(QString::fromStdString((screens / "main.png").string()));
    EXPECT_EQ(Overlaps(VoltageTextRects(*form.MainMirrorDisplay)), 0);
    EXPECT_EQ(TextsPastTheirPad(*form.MainMirrorDisplay), 0);
    QListWidget* info = form.UserInfoBox;
    ASSERT_GT(info->count(), 30);
    for (int r = 0; r < info->count(); ++r)
        EXPECT_LE(info->fontMetrics().horizontalAdvance(info->item(r)->text()),
                  info->viewport()->width())
            << info->item(r)->text().toStdString();
    EXPECT_EQ(info->horizontalScrollBar()->maximum(), 0) << "a line is wider than the box";

    // The pattern browser with the mirror's sample patterns.
    dialogs.openAnswers = {(root_ / "Devices" / "Hex61S_Patterns.pat").string()};
    QTest::mouseClick(form.MainMirrorDisplay->Ui().PatternEditButton, Qt::LeftButton);
    TPatternSequenceBrowserForm& browser = *windows.PatternSequenceBrowserForm;
    ASSERT_TRUE(browser.isVisible());
    ASSERT_EQ(browser.size(), QSize(831, 694));
    // Its preview takes the live mirror's 150 V.
    QTest::mouseClick(browser.Ui().GrabMirrorButton, Qt::LeftButton);
    QApplication::processEvents();
    browser.grab().save(QString::fromStdString((screens / "browser.png").string()));
    EXPECT_EQ(Overlaps(VoltageTextRects(*browser.Ui().MirrorDisplayFrame)), 0);
    EXPECT_EQ(TextsPastTheirPad(*browser.Ui().MirrorDisplayFrame), 0);
    browser.hide();

    // The exact model's pull-in line fits under the model choice.
    ASSERT_TRUE(form.SetMembraneModel("exact"));
    for (int ticks = 0; form.IsRunTimerEnabled() && ticks < 100; ++ticks)
        form.RunFEATimerTimer();
    ASSERT_TRUE(form.Session().ApplyVoltages(request).applied);
    form.ApplicationIdle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.PullInPending(); }, 20000));
    QApplication::processEvents();
    form.grab().save(QString::fromStdString((screens / "main-exact.png").string()));
    const QString pullIn = form.PullInLabel->text();
    EXPECT_TRUE(pullIn.startsWith("Pull-in at ")) << pullIn.toStdString();
    EXPECT_LE(form.PullInLabel->fontMetrics().horizontalAdvance(pullIn),
              form.PullInLabel->width());
}

} // namespace
} // namespace ostrander
