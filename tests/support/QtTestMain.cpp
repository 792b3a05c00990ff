// Test main for binaries that need a QApplication: offscreen unless the
// environment says otherwise, fonts mapped as in the program, a checked-list
// warning failing the test that caused it, settings in a temporary folder.
#include "support/ListWarnings.h"
#include "toolkit/qt/Application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleMock(&argc, argv);
    ostrander::Application app(argc, argv);
    // Settings go to a folder of the test run's own, never the user's.
    QTemporaryDir settingsFolder;
    ostrander::Application::setOrganizationName("OstranderTests");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    ostrander::test::FailOnListWarnings();
    return RUN_ALL_TESTS();
}
