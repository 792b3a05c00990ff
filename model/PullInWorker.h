#pragma once
// Computes the pull-in factor (SolvePullIn) on a thread of its own, so that
// a window never waits for it. Only the newest request counts: a new one
// stops the solve in progress at its next step and replaces any that waits.
// The answer goes to the callback on the worker thread, with the number of
// the request it answers; a stopped solve gives none.
#include "model/EngineSession.h"
#include "model/PullIn.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace ostrander {

class PullInWorker {
public:
    using Answer = std::function<void(uint64_t request, const PullInResult& result)>;

    explicit PullInWorker(Answer answer, PullInOptions options = {});
    // Stops the solve in progress and waits for the thread.
    ~PullInWorker();
    PullInWorker(const PullInWorker&) = delete;
    PullInWorker& operator=(const PullInWorker&) = delete;

    // Queues the solve for these inputs in place of any earlier one; returns
    // its number (counting from 1).
    uint64_t Request(PullInInputs inputs);
    // Drops the waiting request and stops the one in progress.
    void Cancel();
    // The number of the newest request (0: none yet).
    uint64_t Latest() const { return latest_.load(); }

private:
    void Run();

    Answer answer_;
    PullInOptions options_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<PullInInputs> waiting_;
    uint64_t waitingNumber_ = 0;
    bool stopping_ = false;
    // The request that is still wanted; a solve of any other one stops.
    std::atomic<uint64_t> latest_{0};
    std::thread thread_;
};

} // namespace ostrander
