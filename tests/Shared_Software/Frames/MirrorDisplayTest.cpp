#include "support/MirrorFiles.h"

#include "Shared_Software/Frames/FloatBarFrame.h"
#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Frames/PatternBrowserInterface.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/qt/PaintBox.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace ostrander;
using namespace ostrander::frames_test;

namespace {

class RecordingBrowser : public PatternBrowserInterface {
public:
    void SetActiveMirror(MirrorClass* mirror) override {
        active = mirror;
        ++calls;
    }
    void ShowBrowser() override { ++shown; }
    MirrorClass* active = nullptr;
    int calls = 0;
    int shown = 0;
};

class MirrorFrame : public DeviceFolder {
protected:
    void Attach(const std::vector<Pad>& pads) {
        mirror = std::make_unique<MirrorClass>(WriteDevice("m.ini", MirrorText(pads)));
        ASSERT_TRUE(mirror->IsValid());
        frame.resize(286, 376);
        frame.show();
        ASSERT_TRUE(frame.SetMirror(mirror.get()));
    }
    void TearDown() override {
        frame.SetMirror(nullptr);
        mirror.reset();
        DeviceFolder::TearDown();
    }
    ActuatorDisplayClass* Shown(int displayIndex) {
        for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a; a = a->next)
            if (a->DisplayIndex == displayIndex)
                return a;
        return nullptr;
    }
    void Click(int displayIndex, Qt::MouseButton button) {
        ActuatorDisplayClass* a = Shown(displayIndex);
        ASSERT_NE(a, nullptr);
        QTest::mouseClick(frame.Ui().MirrorPaintBox, button, {},
                          QPoint(int(a->CentreX), int(a->CentreY)));
    }
    void Enter(NumericEditFrame* f, const char* text) {
        f->Edit()->clear();
        QTest::keyClicks(f->Edit(), text);
        QTest::keyClick(f->Edit(), Qt::Key_Return);
    }

    TMirrorDisplayFrame frame;
    std::unique_ptr<MirrorClass> mirror;
};

} // namespace

TEST_F(MirrorFrame, AttachingSelectsTheHighestActuatorAndShowsTheMirrorName) {
    Attach(HexPads37());
    EXPECT_EQ(frame.Ui().ChannelIntegerEdit->GetValue(), 37);
    EXPECT_EQ(frame.GetCurrentChannel(), 37);
    EXPECT_EQ(frame.Ui().ChannelIntegerEdit->GetMaximum(), 37);
    EXPECT_EQ(frame.GetStep(), 10);
    // The simulated driver has no name: no dangling bar after the device.
    EXPECT_EQ(frame.Ui().MirrorLabel->toolTip(), "Test mirror");
    EXPECT_FALSE(frame.Ui().ControlPanel->isVisible());
    EXPECT_EQ(frame.Ui().LegendPanel->height(), 17);

    MirrorClass invalid("");
    EXPECT_FALSE(frame.SetMirror(&invalid));
    EXPECT_EQ(frame.GetMirror(), mirror.get());
    EXPECT_FALSE(frame.SetMirror(nullptr));
    EXPECT_EQ(frame.GetDisplay(), nullptr);
    EXPECT_FALSE(frame.Refresh());
}

TEST_F(MirrorFrame, MouseButtonsRaiseLowerAndZeroAnActuator) {
    Attach(HexPads37());
    struct Case {
        const char* name;
        double start;
        Qt::MouseButton button;
        double expected;
    };
    const Case cases[] = {
        {"left raises by the step", 95, Qt::LeftButton, 105},
        {"right lowers by the step", 50, Qt::RightButton, 40},
        {"right below the lowest voltage stops there", 5, Qt::RightButton, 0},
        {"middle zeroes", 120, Qt::MiddleButton, 0},
        {"left above the ceiling shows what the mirror holds", 345, Qt::LeftButton, 350},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mirror->SetVoltage(12, c.start);
        Click(12, c.button);
        EXPECT_DOUBLE_EQ(mirror->GetVoltage(12), c.expected);
        EXPECT_EQ(Shown(12)->LastText, mirror->GetVoltageText(12)) << "the map shows it";
        EXPECT_EQ(frame.GetCurrentChannel(), 12);
        EXPECT_DOUBLE_EQ(frame.Ui().VoltageFloatBar->GetValue(), c.expected);
        mirror->ZeroAll();
    }
    Click(1, Qt::LeftButton);
    EXPECT_EQ(Shown(1)->LastText, "10V");
}

TEST_F(MirrorFrame, AuxiliaryClickPicksTheBarUnderTheMouse) {
    Attach({{-0.002, 0}, {0.002, 0}, {0, 0.002}, {0, 0, true}, {0, 1, true}});
    QTest::mouseClick(frame.Ui().AuxilaryPaintBox, Qt::LeftButton, {}, QPoint(15, 40));
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(5), 10);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(4), 0);
    QTest::mouseClick(frame.Ui().AuxilaryPaintBox, Qt::LeftButton, {}, QPoint(15, 10));
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(4), 10);
    QTest::mouseClick(frame.Ui().AuxilaryPaintBox, Qt::LeftButton, {}, QPoint(15, 100));
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(4) + mirror->GetVoltage(5), 20) << "no bar there";

    // A click in the empty corner of the map goes to the nearest pad drawn
    // there, never to an auxiliary one (whose centre is that corner).
    QTest::mouseClick(frame.Ui().MirrorPaintBox, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(4), 10);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(5), 10);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(1), 10);
}

TEST_F(MirrorFrame, ControlPanelSetsAllZeroesAllStepsAndSlides) {
    Attach(HexPads37());
    frame.Ui().ShowControlButton->trigger();
    ASSERT_TRUE(frame.Ui().ControlPanel->isVisible());

    // Set All takes effect on Enter, not while typing.
    mirror->SetVoltage(3, 30);
    frame.Ui().SetAllFloatEdit->Edit()->clear();
    QTest::keyClicks(frame.Ui().SetAllFloatEdit->Edit(), "5");
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(3), 30);
    QTest::keyClick(frame.Ui().SetAllFloatEdit->Edit(), Qt::Key_Return);
    for (int n : {1, 3, 37})
        EXPECT_DOUBLE_EQ(mirror->GetVoltage(n), 5) << n;
    EXPECT_DOUBLE_EQ(frame.Ui().VoltageFloatBar->GetValue(), 5);
    mirror->SetVoltage(3, 30);
    QTest::mouseClick(frame.Ui().SetAllFloatEdit->Label(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(3), 5) << "a click on the label applies it again";
    Enter(frame.Ui().SetAllFloatEdit, "500");
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(1), 200) << "Set All stops at the limit voltage";

    QTest::mouseClick(frame.Ui().ZeroAllButon, Qt::LeftButton);
    for (int n : {1, 3, 37})
        EXPECT_DOUBLE_EQ(mirror->GetVoltage(n), 0) << n;
    EXPECT_DOUBLE_EQ(frame.Ui().VoltageFloatBar->GetValue(), 0);
    EXPECT_EQ(Shown(37)->LastText, "0V");

    Enter(frame.Ui().StepSizeFloatEdit, "25");
    EXPECT_DOUBLE_EQ(frame.GetStep(), 25);
    EXPECT_DOUBLE_EQ(mirror->GetStepSize(), 25);
    Click(2, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(2), 25);

    Enter(frame.Ui().ChannelIntegerEdit, "5");
    EXPECT_EQ(frame.GetCurrentChannel(), 5);
    QTest::keyClick(frame.Ui().VoltageFloatBar->TrackBar(), Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(5), frame.Ui().VoltageFloatBar->TrackBar()->pageStep() / 10.0);
    mirror->SetVoltage(5, 77);
    frame.Ui().VoltageFloatBar->Edit()->clear();
    QTest::keyClicks(frame.Ui().VoltageFloatBar->Edit(), "9");
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(5), 77) << "typing alone sends nothing";
    Enter(frame.Ui().VoltageFloatBar, "123");
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(5), 123);
    EXPECT_EQ(Shown(5)->LastText, "123V");
    EXPECT_EQ(frame.Ui().VoltageFloatBar->TrackBar()->value(), 1230);

    // The channel edit wraps round the actuator numbers.
    QTest::mouseClick(frame.Ui().ChannelIntegerEdit->UpDown(), Qt::LeftButton, {},
                      QPoint(5, frame.Ui().ChannelIntegerEdit->UpDown()->height() / 4));
    EXPECT_EQ(frame.GetCurrentChannel(), 6);
    frame.SelectChannel(37);
    QTest::mouseClick(frame.Ui().ChannelIntegerEdit->UpDown(), Qt::LeftButton, {},
                      QPoint(5, frame.Ui().ChannelIntegerEdit->UpDown()->height() / 4));
    EXPECT_EQ(frame.GetCurrentChannel(), 1);

    // The legend's pop-up menu.
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(20, 8),
                           frame.Ui().LegendPaintBox->mapToGlobal(QPoint(20, 8)));
    QApplication::sendEvent(frame.Ui().LegendPaintBox, &menu);
    EXPECT_TRUE(frame.Ui().MirrorDisplayFramePopupMenu->isVisible());
    EXPECT_TRUE(frame.Ui().ShowControlButton->isChecked());
    frame.Ui().MirrorDisplayFramePopupMenu->hide();
    frame.Ui().HideControlButton->trigger();
    EXPECT_FALSE(frame.Ui().ControlPanel->isVisible());
    EXPECT_FALSE(frame.Ui().ShowControlButton->isChecked());
}

TEST_F(MirrorFrame, TheBoxesShowWhatTheMirrorHoldsWithinTheLoadedMirrorsLimits) {
    Attach(HexPads37());
    frame.Ui().ShowControlButton->trigger();
    Enter(frame.Ui().SetAllFloatEdit, "180");
    Enter(frame.Ui().StepSizeFloatEdit, "190");
    ASSERT_DOUBLE_EQ(frame.Ui().SetAllFloatEdit->GetValue(), 180);

    // Voltages set elsewhere (a pattern, the floor rule) show on the next refresh.
    mirror->SetVoltage(37, 64);
    frame.Refresh();
    EXPECT_DOUBLE_EQ(frame.Ui().VoltageFloatBar->GetValue(), 64);
    // Not while the user is typing there.
    frame.Ui().VoltageFloatBar->Edit()->clear();
    QTest::keyClicks(frame.Ui().VoltageFloatBar->Edit(), "9");
    mirror->SetVoltage(37, 65);
    frame.Refresh();
    EXPECT_EQ(frame.Ui().VoltageFloatBar->Edit()->text(), "9");

    // A mirror whose limit is 140 V: Set All and the step stay within it.
    auto low = std::make_unique<MirrorClass>(
        WriteDevice("low.ini", MirrorText(HexPads37(), 0.01, 140)));
    ASSERT_TRUE(low->IsValid());
    ASSERT_TRUE(frame.SetMirror(low.get()));
    EXPECT_LE(frame.Ui().SetAllFloatEdit->GetValue(), 140);
    EXPECT_LE(frame.Ui().StepSizeFloatEdit->GetValue(), low->GetMaxVoltage());
    QTest::mouseClick(frame.Ui().SetAllFloatEdit->Label(), Qt::LeftButton);
    EXPECT_LE(low->GetVoltage(1), 140);
    frame.SetMirror(nullptr);
}

TEST_F(MirrorFrame, ShrinkingTheFrameLaysTheMapOutAgain) {
    Attach(HexPads37());
    const double scale = frame.GetDisplay()->Scale;
    const int x = int(Shown(20)->CentreX);
    frame.resize(200, 250);
    QApplication::processEvents();
    EXPECT_LT(frame.GetDisplay()->Scale, scale);
    EXPECT_NE(int(Shown(20)->CentreX), x);
    EXPECT_EQ(frame.Ui().LegendPaintBox->Canvas().Width(), 200);
    EXPECT_EQ(frame.Ui().LegendPaintBox->Canvas().GetPixel(0, 8), clBlack) << "legend redrawn";
    Click(20, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(mirror->GetVoltage(20), 10);
}

TEST_F(MirrorFrame, PatternLibraryButtonHandsTheBrowserTheMirror) {
    Attach(HexPads37());
    QTest::mouseClick(frame.Ui().PatternEditButton, Qt::LeftButton); // no browser: nothing
    RecordingBrowser browser;
    frame.SetPatternForm(&browser);
    frame.PatternEditButtonClick();
    EXPECT_EQ(browser.active, mirror.get());
    EXPECT_EQ(browser.shown, 1);
    frame.SetMirror(nullptr);
    frame.PatternEditButtonClick();
    EXPECT_EQ(browser.active, nullptr);
    EXPECT_EQ(browser.shown, 2);
}

TEST(MirrorFrameWithoutMirror, ControlsDoNothing) {
    TMirrorDisplayFrame frame;
    frame.resize(286, 376);
    frame.show();
    frame.ShowControls(true);
    QTest::mouseClick(frame.Ui().MirrorPaintBox, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseClick(frame.Ui().ZeroAllButon, Qt::LeftButton);
    QTest::keyClick(frame.Ui().VoltageFloatBar->TrackBar(), Qt::Key_PageUp);
    frame.SelectChannel(3);
    frame.ApplyStep(5);
    EXPECT_EQ(frame.GetCurrentChannel(), 0);
    EXPECT_EQ(frame.GetStep(), 10);
    EXPECT_FALSE(frame.Refresh());
    EXPECT_FALSE(frame.Relayout());
}

// The map is drawn only when what it shows changed: voltages set elsewhere
// show on the next refresh, and a map cleared by a new size is drawn again.
TEST_F(MirrorFrame, TheMapFollowsVoltagesSetElsewhereAndANewSize) {
    Attach(HexPads37());
    const ImageCanvas& map = frame.Ui().MirrorPaintBox->Canvas();
    frame.Refresh();
    const QImage before = map.Image();
    mirror->SetVoltage(12, 77);
    frame.Refresh();
    EXPECT_EQ(Shown(12)->LastText, mirror->GetVoltageText(12));
    EXPECT_FALSE(map.Image() == before);

    const QImage drawn = map.Image();
    frame.resize(frame.width() + 60, frame.height() + 60);
    QApplication::processEvents();
    frame.Refresh();
    ASSERT_NE(map.Width(), drawn.width());
    // The map's cream background is back around the drawn mirror.
    EXPECT_EQ(map.GetPixel(1, 1), MirrorDisplayClass::Cream);
    EXPECT_EQ(Shown(12)->LastText, mirror->GetVoltageText(12));
}
