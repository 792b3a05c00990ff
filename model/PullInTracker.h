#pragma once
// The pull-in factor of the newest voltages, for a window that must never
// wait for it: each change of the inputs becomes a request to a worker
// thread (PullInWorker), and only the answer to the newest request is taken.
// The answer waits under a lock until the owner's thread takes it; the
// worker calls answerReady when one waits.
#include "model/EngineSession.h"
#include "model/PullIn.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrander {

class PullInWorker;

class PullInTracker {
public:
    explicit PullInTracker(std::function<void()> answerReady);
    // Stops the solve in progress and waits for the worker's thread.
    ~PullInTracker();
    PullInTracker(const PullInTracker&) = delete;
    PullInTracker& operator=(const PullInTracker&) = delete;

    // The inputs now: a request when they differ from the last asked (the
    // last answer is kept until the new one comes); none stops the solve and
    // forgets every answer.
    void Update(std::optional<PullInInputs> inputs);
    // Takes the waiting answer when it answers the newest request; true then.
    bool Take();
    bool Tracking() const { return last_.has_value(); }
    bool Computing() const { return Tracking() && answered_ != requested_; }
    const std::shared_ptr<const PullInResult>& Answer() const { return answer_; }

private:
    std::function<void()> answerReady_;
    std::optional<PullInInputs> last_;
    uint64_t requested_ = 0;
    uint64_t answered_ = 0;
    std::shared_ptr<const PullInResult> answer_;
    std::mutex mutex_;
    uint64_t waitingNumber_ = 0;
    std::shared_ptr<const PullInResult> waiting_;
    std::unique_ptr<PullInWorker> worker_; // last: its thread ends first
};

} // namespace ostrander
