// One exact membrane model shared by threads: the linear surface and the
// pull-in solve read it only, so concurrent callers get what a lone caller
// gets, and a cancel from another thread stops a solve.
#include "model/ExactMembrane.h"
#include "model/PullIn.h"
#include "model/PullInTracker.h"
#include "model/PullInWorker.h"
#include "tests/model/MembraneFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrander {
namespace {

MembraneGeometry TwoPads() {
    return testing::RoundMembrane({MembranePad{PadShape::Disc, -1e-3, 0, 3e-3, 0, 0, 0},
                                   MembranePad{PadShape::Rectangle, 2e-3, 1e-3, 2e-3, 1e-3, 0, 0}});
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

// The worker answers the newest request only: requests made while another
// is waiting or being solved replace it, and the answer is the direct solve's.
TEST(PullInThreads, TheWorkerAnswersTheNewestRequest) {
    const MembraneGeometry g = TwoPads();
    auto model = std::make_shared<const ExactMembrane>(g, EngineGrid::ForDiameter(g.diameter_m, 60));
    std::mutex m;
    std::condition_variable answered;
    std::vector<std::pair<uint64_t, double>> answers;
    PullInOptions options;
    options.wantSurface = false;
    PullInWorker worker(
        [&](uint64_t request, const PullInResult& r) {
            std::lock_guard lock(m);
            answers.emplace_back(request, r.pullInFactor);
            answered.notify_all();
        },
        options);
    uint64_t last = 0;
    for (int k = 1; k <= 5; ++k)
        last = worker.Request({model, {60.0 * k, 40.0 * k}});
    EXPECT_EQ(last, 5u);
    std::unique_lock lock(m);
    ASSERT_TRUE(answered.wait_for(lock, std::chrono::seconds(30), [&] {
        return !answers.empty() && answers.back().first == last;
    }));
    const PullInResult direct = SolvePullIn(*model, {300, 200}, {}, options);
    EXPECT_EQ(answers.back().second, direct.pullInFactor);
    // Replaced requests are never answered after a newer one.
    for (std::size_t i = 1; i < answers.size(); ++i)
        EXPECT_LT(answers[i - 1].first, answers[i].first);
}

// A worker destroyed while it solves stops the solve and gives no answer.
TEST(PullInThreads, TheWorkerStopsWhenDestroyedMidSolve) {
    const MembraneGeometry g = TwoPads();
    auto model = std::make_shared<const ExactMembrane>(g, EngineGrid::ForDiameter(g.diameter_m, 60));
    std::atomic<int> answers{0};
    {
        PullInWorker worker([&](uint64_t, const PullInResult&) { ++answers; });
        worker.Request({model, {300, 200}});
        worker.Cancel();
        worker.Request({model, {290, 210}});
    }
    EXPECT_LE(answers.load(), 1);
}

// The tracker a window uses: unchanged inputs ask nothing, an answer to a
// replaced request is never taken, the taken answer is the direct solve's
// and stays while newer inputs are solved, and no inputs forget it.
TEST(PullInThreads, TheTrackerTakesOnlyTheAnswerToTheNewestInputs) {
    const MembraneGeometry g = TwoPads();
    auto model = std::make_shared<const ExactMembrane>(g, EngineGrid::ForDiameter(g.diameter_m, 60));
    std::mutex m;
    std::condition_variable ready;
    int waiting = 0;
    PullInTracker tracker([&] {
        std::lock_guard lock(m);
        ++waiting;
        ready.notify_all();
    });
    const auto waitForAnswer = [&] {
        std::unique_lock lock(m);
        return ready.wait_for(lock, std::chrono::seconds(30), [&] { return waiting > 0; });
    };
    EXPECT_FALSE(tracker.Tracking());
    tracker.Update(PullInInputs{model, {100, 80}});
    EXPECT_TRUE(tracker.Computing());
    // Newer inputs before the first answer is taken: only theirs counts.
    tracker.Update(PullInInputs{model, {300, 200}});
    bool taken = false;
    for (int rounds = 0; rounds < 2 && !taken; ++rounds) {
        ASSERT_TRUE(waitForAnswer());
        {
            std::lock_guard lock(m);
            waiting = 0;
        }
        taken = tracker.Take();
    }
    ASSERT_TRUE(taken);
    EXPECT_FALSE(tracker.Computing());
    PullInOptions options;
    options.wantSurface = false;
    EXPECT_EQ(tracker.Answer()->pullInFactor,
              SolvePullIn(*model, {300, 200}, {}, options).pullInFactor);
    EXPECT_FALSE(tracker.Take()); // nothing waits

    // The same inputs again ask nothing; new ones keep the last answer shown.
    tracker.Update(PullInInputs{model, {300, 200}});
    EXPECT_FALSE(tracker.Computing());
    tracker.Update(PullInInputs{model, {310, 190}});
    EXPECT_TRUE(tracker.Computing());
    ASSERT_NE(tracker.Answer(), nullptr);
    tracker.Update(std::nullopt);
    EXPECT_FALSE(tracker.Tracking());
    EXPECT_EQ(tracker.Answer(), nullptr);
}

} // namespace
} // namespace ostrander
