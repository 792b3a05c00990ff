// Test main for binaries that need a QApplication: offscreen unless the
// environment says otherwise, fonts mapped as in the program.
#include "toolkit/qt/Application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleMock(&argc, argv);
    ostrander::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
