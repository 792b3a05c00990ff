// Test main for binaries that need a QApplication: offscreen unless the
// environment says otherwise, fonts mapped as in the program, a checked-list
// warning failing the test that caused it.
#include "support/ListWarnings.h"
#include "toolkit/qt/Application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleMock(&argc, argv);
    ostrander::Application app(argc, argv);
    ostrander::test::FailOnListWarnings();
    return RUN_ALL_TESTS();
}
