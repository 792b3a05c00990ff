#include "Shared_Software/Frames/EditFrameRules.h"
#include "Shared_Software/Frames/FloatBarFrame.h"
#include "Shared_Software/Frames/FloatEditFrame.h"
#include "Shared_Software/Frames/IntegerEditFrame.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ostrander;

namespace {

std::string Text(const NumericEditFrame& f) {
    return f.Edit()->text().toStdString();
}

QColor Base(const NumericEditFrame& f) {
    return f.Edit()->palette().color(QPalette::Base);
}

const QColor kPending(192, 220, 192);

void ClickUpDown(NumericEditFrame& f, UDBtnType b) {
    UpDown& u = *f.UpDown();
    const int y = b == UDBtnType::btNext ? u.height() / 4 : u.height() * 3 / 4;
    QTest::mouseClick(&u, Qt::LeftButton, {}, QPoint(u.width() / 2, y));
}

void LeaveEdit(NumericEditFrame& f) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(f.Edit(), &out);
}

void Type(NumericEditFrame& f, const char* text) {
    f.Edit()->clear();
    QTest::keyClicks(f.Edit(), text);
}

// The same clamp/wrap rule in every frame, with min 0 and max 100.
template <class Frame> void CheckSetValueRange() {
    struct Case {
        bool wrap;
        int in;
        int out;
    };
    const Case cases[] = {{true, 101, 0},    {true, -1, 100}, {true, 50, 50},
                          {false, 101, 100}, {false, -1, 0},  {false, 100, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "wrap " << c.wrap << " set " << c.in);
        Frame f;
        f.SetWrap(c.wrap);
        f.SetValue(c.in);
        EXPECT_EQ(f.GetValue(), c.out);
    }
}

} // namespace

TEST(EditFrames, SetValueClampsOrWrapsIntoTheRange) {
    {
        SCOPED_TRACE("float edit");
        CheckSetValueRange<TFloatEditFrame>();
    }
    {
        SCOPED_TRACE("float bar");
        CheckSetValueRange<TFloatBarFrame>();
    }
    {
        SCOPED_TRACE("integer edit");
        CheckSetValueRange<TIntegerEditFrame>();
    }
}

TEST(EditFrames, SetValueFormatsTheTextButLeavesItWhenTheValueIsUnchanged) {
    TFloatEditFrame f;
    f.SetValue(5);
    EXPECT_EQ(Text(f), "5.0");
    f.SetFormat("0.0000");
    EXPECT_EQ(Text(f), "5.0") << "a new format shows at the next value";
    f.SetValue(2.5);
    EXPECT_EQ(Text(f), "2.5000");
    f.Edit()->setText("2.50");
    f.SetValue(2.5);
    EXPECT_EQ(Text(f), "2.50");
    f.SetFormat("");
    EXPECT_EQ(f.GetFormat(), "0.0");
}

TEST(EditFrames, SetValueIgnoresNaN) {
    TFloatBarFrame f;
    f.SetValue(12);
    f.SetValue(std::nan(""));
    EXPECT_EQ(f.GetValue(), 12);
    EXPECT_EQ(f.TrackBar()->value(), 120);
}

TEST(EditFrames, RangeSettersRejectCrossedBoundsAndLeaveTheValue) {
    TFloatEditFrame fe;
    fe.SetStep(2);
    fe.SetValue(50);
    fe.SetMaximum(-5);
    EXPECT_EQ(fe.GetMaximum(), 200); // minimum + 100 steps
    fe.SetMinimum(300);
    EXPECT_EQ(fe.GetMinimum(), 0); // maximum - 100 steps
    fe.SetMinimum(60);
    EXPECT_EQ(fe.GetValue(), 50) << "the range applies at the next SetValue";
    fe.SetStep(0);
    EXPECT_DOUBLE_EQ(fe.GetStep(), 1.4); // a hundredth of 60..200
    fe.SetStep(-3);
    EXPECT_DOUBLE_EQ(fe.GetStep(), 1.4);

    TFloatBarFrame fb;
    fb.SetMaximum(-5);
    EXPECT_EQ(fb.GetMaximum(), 100);
    fb.SetMinimum(250);
    EXPECT_EQ(fb.GetMinimum(), 0);

    TIntegerEditFrame fi;
    fi.SetMinimum(10);
    fi.SetMaximum(5);
    EXPECT_EQ(fi.GetMaximum(), 11);
    fi.SetMinimum(20);
    EXPECT_EQ(fi.GetMinimum(), 10);
}

TEST(EditFrames, TypedEntryIsPendingUntilEnterOrLeavingTheBox) {
    enum Kind { FloatEdit, FloatBar, IntegerEdit };
    enum Commit { Enter, Leave };
    struct Case {
        const char* name;
        Kind kind;
        const char* typed;
        Commit commit;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {"float enter number", FloatEdit, "12.34", Enter, 12.34, "12.3"},
        {"float enter letters restores text", FloatEdit, "abc", Enter, 7, "7.0"},
        {"float leave number", FloatEdit, "12.34", Leave, 12.34, "12.3"},
        {"float leave letters keeps text", FloatEdit, "abc", Leave, 7, "abc"},
        {"float leave same value keeps text", FloatEdit, "7.00", Leave, 7, "7.00"},
        {"bar enter number", FloatBar, "45", Enter, 45, "45.0"},
        {"bar enter letters restores text", FloatBar, "x1", Enter, 7, "7.0"},
        {"bar enter out of range wraps", FloatBar, "120", Enter, 0, "0.0"},
        {"integer enter number", IntegerEdit, "42", Enter, 42, "42"},
        {"integer enter letters keeps text", IntegerEdit, "abc", Enter, 7, "abc"},
        {"integer enter fraction is not an integer", IntegerEdit, "4.5", Enter, 7, "4.5"},
        {"integer leave number", IntegerEdit, "9", Leave, 9, "9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFloatEditFrame fe;
        TFloatBarFrame fb;
        TIntegerEditFrame fi;
        NumericEditFrame* f = c.kind == FloatEdit  ? static_cast<NumericEditFrame*>(&fe)
                              : c.kind == FloatBar ? static_cast<NumericEditFrame*>(&fb)
                                                   : static_cast<NumericEditFrame*>(&fi);
        fe.SetValue(7);
        fb.SetValue(7);
        fi.SetValue(7);
        const QColor normal = Base(*f);
        Type(*f, c.typed);
        EXPECT_EQ(Base(*f), kPending);
        EXPECT_EQ(f->EditColour(), PendingEditColour);
        if (c.commit == Enter)
            QTest::keyClick(f->Edit(), Qt::Key_Return);
        else
            LeaveEdit(*f);
        EXPECT_EQ(Base(*f), normal);
        EXPECT_EQ(f->EditColour(), clWindow);
        const double value = c.kind == FloatEdit  ? fe.GetValue()
                             : c.kind == FloatBar ? fb.GetValue()
                                                  : fi.GetValue();
        EXPECT_DOUBLE_EQ(value, c.value);
        EXPECT_EQ(Text(*f), c.text);
    }
}

TEST(EditFrames, ValueCommittedComesAfterTheFrameTookTheEntryOver) {
    TFloatEditFrame f;
    std::vector<double> seen; // the value at each commit
    QObject::connect(&f, &NumericEditFrame::valueCommitted, [&] { seen.push_back(f.GetValue()); });
    Type(f, "33");
    EXPECT_TRUE(seen.empty()) << "typing commits nothing";
    QTest::keyClick(f.Edit(), Qt::Key_Enter);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen.back(), 33);
    QTest::keyClick(f.Edit(), Qt::Key_Return);
    EXPECT_EQ(seen.size(), 2u) << "Enter commits also an unchanged value";

    Type(f, "44");
    LeaveEdit(f);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.back(), 44);
    QFocusEvent switchWindow(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(f.Edit(), &switchWindow);
    EXPECT_EQ(seen.size(), 3u) << "switching windows is not leaving the box";
    QTest::mouseClick(f.Label(), Qt::LeftButton);
    EXPECT_EQ(seen.size(), 4u) << "a click on the label offers the value again";
    EXPECT_EQ(seen.back(), 44);
}

TEST(EditFrames, UpDownStepsTheValueAlsoWhenTheControlWraps) {
    TFloatEditFrame f;
    f.show();
    f.SetMaximum(1000);
    f.SetStep(2.5);
    f.SetValue(100);
    QSignalSpy spy(&f, &NumericEditFrame::valueCommitted);
    // From position 0 a down click wraps the control to its top (10000).
    struct Step {
        UDBtnType button;
        double value;
        int position;
    };
    const Step steps[] = {{UDBtnType::btPrev, 97.5, 10000},
                          {UDBtnType::btPrev, 95, 9999},
                          {UDBtnType::btNext, 97.5, 10000},
                          {UDBtnType::btNext, 100, 0},
                          {UDBtnType::btNext, 102.5, 1}};
    for (const Step& s : steps) {
        ClickUpDown(f, s.button);
        EXPECT_DOUBLE_EQ(f.GetValue(), s.value);
        EXPECT_EQ(f.UpDown()->Position(), s.position);
    }
    EXPECT_EQ(spy.count(), 5);
    EXPECT_EQ(Text(f), "102.5");

    // Stepping past the range wraps the value; the text is rewritten anyway.
    TIntegerEditFrame fi;
    fi.show();
    fi.SetMaximum(3);
    fi.SetValue(3);
    fi.Edit()->setText("junk");
    ClickUpDown(fi, UDBtnType::btNext);
    EXPECT_EQ(fi.GetValue(), 0);
    ClickUpDown(fi, UDBtnType::btPrev);
    EXPECT_EQ(fi.GetValue(), 3);
    EXPECT_EQ(Text(fi), "3");
}

TEST(EditFrames, FloatBarTrackBarFollowsTheValueAtTenthResolution) {
    TFloatBarFrame f;
    EXPECT_EQ(f.TrackBar()->minimum(), 0);
    EXPECT_EQ(f.TrackBar()->maximum(), 1000);
    EXPECT_EQ(f.TrackBar()->tickInterval(), 50);

    QSignalSpy commits(&f, &NumericEditFrame::valueCommitted);
    Type(f, "12.34");
    QTest::keyClick(f.Edit(), Qt::Key_Return);
    EXPECT_EQ(f.TrackBar()->value(), 123);
    EXPECT_DOUBLE_EQ(f.GetValue(), 12.34) << "moving the bar from code is not a user move";
    EXPECT_EQ(commits.count(), 1) << "the Enter, not the bar moved by it";

    QTest::keyClick(f.TrackBar(), Qt::Key_Right);
    EXPECT_EQ(commits.count(), 2);
    EXPECT_DOUBLE_EQ(f.GetValue(), 12.4);
    EXPECT_EQ(Text(f), "12.4");

    f.SetMaximum(350);
    f.SetMinimum(-50);
    EXPECT_EQ(f.TrackBar()->maximum(), 3500);
    EXPECT_EQ(f.TrackBar()->minimum(), -500);
    EXPECT_EQ(f.TrackBar()->tickInterval(), 200);
    EXPECT_EQ(commits.count(), 2);
}

TEST(EditFrames, TruncToIntSaturatesAndMapsNaNToZero) {
    EXPECT_EQ(TruncToInt(-2.7), -2);
    EXPECT_EQ(TruncToInt(1e300), INT_MAX);
    EXPECT_EQ(TruncToInt(-1e300), INT_MIN);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
}
