// One exact membrane model shared by threads: the linear surface and the
// pull-in solve read it only, so concurrent callers get what a lone caller
// gets, and a cancel from another thread stops a solve.
#include "model/ExactMembrane.h"
#include "model/PullIn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace ostrander {
namespace {

MembraneGeometry TwoPads() {
    MembraneGeometry g;
    g.diameter_m = 10e-3;
    g.yExtent_m = 10e-3;
    g.stress_Pa = 100e6;
    g.thickness_m = 1e-6;
    g.separation_m = 40e-6;
    g.pads = {MembranePad{PadShape::Disc, -1e-3, 0, 3e-3, 0, 0, 0},
              MembranePad{PadShape::Rectangle, 2e-3, 1e-3, 2e-3, 1e-3, 0, 0}};
    return g;
}

TEST(PullInThreads, SharedModelGivesTheSameAnswers) {
    const MembraneGeometry g = TwoPads();
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m, 60));
    const std::vector<double> a = {300, 200}, b = {150, 400};
    const PullInResult alone = SolvePullIn(model, a);
    const std::vector<double> linearAlone = model.LinearSurface(b);
    PullInResult together;
    std::vector<double> linearTogether;
    std::thread first([&] { together = SolvePullIn(model, a); });
    std::thread second([&] { linearTogether = model.LinearSurface(b); });
    first.join();
    second.join();
    EXPECT_EQ(together.status, alone.status);
    EXPECT_EQ(together.pullInFactor, alone.pullInFactor);
    EXPECT_EQ(together.surface, alone.surface);
    EXPECT_EQ(linearTogether, linearAlone);
}

TEST(PullInThreads, CancelFromAnotherThreadStopsTheSolve) {
    const MembraneGeometry g = TwoPads();
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m, 60));
    // The solve asks between its steps; the first ask waits until the other
    // thread has pulled the flag, so the stop lands mid-solve.
    std::atomic<bool> asked{false}, stop{false};
    PullInResult r;
    std::thread worker([&] {
        r = SolvePullIn(model, {300, 200}, [&] {
            asked = true;
            while (!stop.load())
                std::this_thread::yield();
            return true;
        });
    });
    while (!asked.load())
        std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_EQ(r.status, PullInResult::Status::Cancelled);
}

} // namespace
} // namespace ostrander
