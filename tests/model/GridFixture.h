#pragma once
// A one-pad mirror selected with its grid prepared, for the engine tests that
// write a surface on the grid by hand.
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

namespace ostrander::testing {

// A mirror of kOnePadDiameter with one 1.5 mm pad at the centre, selected, its
// grid prepared.
constexpr double kOnePadDiameter = 15e-3;
class OnePadGrid : public ::testing::Test {
protected:
    void SetUp() override {
        ModelLayout layout;
        layout.diameter = kOnePadDiameter;
        layout.pads = {{0, 0, 1.5e-3}};
        ASSERT_TRUE(h.Select(layout));
        h.engine.PrepareGrid();
    }

    EngineHarness h;
};

} // namespace ostrander::testing
