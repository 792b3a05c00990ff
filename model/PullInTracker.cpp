#include "model/PullInTracker.h"

#include "model/PullInWorker.h"

#include <utility>

namespace ostrander {

namespace {

PullInOptions TrackerOptions() {
    PullInOptions options;
    options.wantSurface = false; // the factor and verdict are all a window shows
    return options;
}

} // namespace

PullInTracker::PullInTracker(std::function<void()> answerReady)
    : answerReady_(std::move(answerReady)) {
    worker_ = std::make_unique<PullInWorker>(
        [this](uint64_t request, const PullInResult& result) {
            {
                std::lock_guard lock(mutex_);
                waitingNumber_ = request;
                waiting_ = std::make_shared<const PullInResult>(result);
            }
            if (answerReady_)
                answerReady_();
        },
        TrackerOptions());
}

PullInTracker::~PullInTracker() {
    worker_.reset();
}

void PullInTracker::Update(std::optional<PullInInputs> inputs) {
    if (!inputs) {
        if (last_) {
            worker_->Cancel();
            last_.reset();
            answer_.reset();
            requested_ = answered_ = 0;
        }
        return;
    }
    if (last_ && inputs->membrane == last_->membrane && inputs->volts == last_->volts)
        return;
    last_ = *inputs;
    requested_ = worker_->Request(std::move(*inputs));
}

bool PullInTracker::Take() {
    std::shared_ptr<const PullInResult> result;
    {
        std::lock_guard lock(mutex_);
        if (!waiting_ || waitingNumber_ != requested_ || !last_) {
            // An answer to a request that a newer one replaced is stale.
            waiting_.reset();
            return false;
        }
        result = std::move(waiting_);
    }
    answered_ = requested_;
    answer_ = std::move(result);
    return true;
}

} // namespace ostrander
