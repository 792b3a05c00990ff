#include "toolkit/qt/UpDown.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace ostrander;

namespace {
// Clicks the upper (up) or lower (down) half of the control.
void ClickHalf(UpDown& u, UDBtnType b) {
    const int y = b == UDBtnType::btNext ? u.height() / 4 : u.height() * 3 / 4;
    QTest::mouseClick(&u, Qt::LeftButton, {}, QPoint(u.width() / 2, y));
}
} // namespace

TEST(UpDown, ClicksMovePositionAndReportTheDirectionItMoved) {
    struct Case {
        const char* name;
        int start;
        bool wrap;
        UDBtnType pressed;
        int position;
        UDBtnType reported;
    };
    const Case cases[] = {
        {"up inside", 5, true, UDBtnType::btNext, 6, UDBtnType::btNext},
        {"down inside", 5, true, UDBtnType::btPrev, 4, UDBtnType::btPrev},
        {"up at top wraps to bottom", 10, true, UDBtnType::btNext, 0, UDBtnType::btPrev},
        {"down at bottom wraps to top", 0, true, UDBtnType::btPrev, 10, UDBtnType::btNext},
        {"up at top without wrap stays", 10, false, UDBtnType::btNext, 10, UDBtnType::btNext},
        {"down at bottom without wrap stays", 0, false, UDBtnType::btPrev, 0, UDBtnType::btPrev},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpDown u;
        u.resize(12, 24);
        u.SetMin(0);
        u.SetMax(10);
        u.SetWrap(c.wrap);
        u.SetPosition(c.start);
        QSignalSpy spy(&u, &UpDown::clicked);
        ClickHalf(u, c.pressed);
        EXPECT_EQ(u.Position(), c.position);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).value<UDBtnType>(), c.reported);
    }
}

TEST(UpDown, OnlyTheLeftButtonClicksAndPositionStaysSixteenBit) {
    UpDown u;
    u.resize(12, 24);
    QSignalSpy spy(&u, &UpDown::clicked);
    QTest::mouseClick(&u, Qt::RightButton, {}, QPoint(6, 3));
    EXPECT_EQ(spy.count(), 0);
    u.SetMax(100000);
    EXPECT_EQ(u.Max(), 32767);
    u.SetPosition(-5);
    EXPECT_EQ(u.Position(), 0);
}
