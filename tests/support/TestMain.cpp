// Test main for binaries without a window.
#include "support/ListWarnings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    ostrander::test::FailOnListWarnings();
    return RUN_ALL_TESTS();
}
