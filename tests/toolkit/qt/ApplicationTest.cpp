#include "toolkit/qt/Application.h"
#include "toolkit/qt/QtDialogs.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Format.h"

#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <stdexcept>

using namespace ostrander;

namespace {

// A button whose click handler throws what it is told to.
class ThrowingButton : public QPushButton {
public:
    int clicks = 0;
    int throwKind = 0; // 0 nothing, 1 std::runtime_error, 2 an int
protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        QPushButton::mouseReleaseEvent(e);
        ++clicks;
        if (throwKind == 1)
            throw std::runtime_error("Access violation in LoadMirrorButtonClick");
        if (throwKind == 2)
            throw 42;
    }
};

} // namespace

TEST(Application, ExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    ASSERT_NE(dynamic_cast<Application*>(QCoreApplication::instance()), nullptr);
    ScriptedDialogs dialogs;
    ScopedDialogs installed(dialogs);

    ThrowingButton button;
    button.resize(80, 30);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));

    button.throwKind = 1;
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(dialogs.exceptions.size(), 1u);
    EXPECT_EQ(dialogs.exceptions[0], "Access violation in LoadMirrorButtonClick");

    button.throwKind = 2;
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(dialogs.exceptions.size(), 2u);
    EXPECT_EQ(dialogs.exceptions[1], "Unknown exception.");

    // The window still works.
    button.throwKind = 0;
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(button.clicks, 3);
    EXPECT_EQ(dialogs.exceptions.size(), 2u);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(Application, ExceptionInATimerKeepsTheEventLoopRunning) {
    ScriptedDialogs dialogs;
    ScopedDialogs installed(dialogs);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 1)
            throw std::runtime_error("first tick fails");
    });
    timer.start(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 10000));
    timer.stop();
    EXPECT_EQ(dialogs.exceptions, (std::vector<std::string>{"first tick fails"}));
}

TEST(Application, WindowsFontNamesMapToInstalledFonts) {
    for (const char* name : {"MS Sans Serif", "MS Serif", "Impact"}) {
        SCOPED_TRACE(name);
        QFontInfo info{QFont(name)};
        EXPECT_NE(info.family(), QString(name));
        EXPECT_TRUE(info.family().contains("DejaVu") || info.family().contains("Liberation"))
            << info.family().toStdString();
    }
}

TEST(Application, NumbersKeepThePointWhateverTheUserLocale) {
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 2.5);
    EXPECT_STREQ(buf, "2.5");
    EXPECT_EQ(FormatFloat("0.0", 2.5), "2.5");
}

TEST(Application, TerminationSignalClosesTheWindows) {
    CloseWindowsOnTerminationSignals();
    QWidget window;
    window.setWindowTitle("Varnex");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::raise(SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
}

// Enter in the real question box presses the preselected button.
TEST(QtDialogsAsk, EnterPressesThePreselectedButton) {
    QtDialogs dialogs;
    for (const auto preselected : {Dialogs::Preselect::Yes, Dialogs::Preselect::No}) {
        bool pressed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || pressed)
                return;
            pressed = true;
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(10);
        const bool yes = dialogs.Ask("Discard the changes?", "Question", preselected);
        EXPECT_TRUE(pressed);
        EXPECT_EQ(yes, preselected == Dialogs::Preselect::Yes);
    }
}
