#include "model/PullInWorker.h"

#include <utility>

namespace ostrander {

PullInWorker::PullInWorker(Answer answer, PullInOptions options)
    : answer_(std::move(answer)), options_(options), thread_([this] { Run(); }) {}

PullInWorker::~PullInWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.reset();
    }
    // No request number is ever this high: the solve in progress stops.
    latest_ = UINT64_MAX;
    wake_.notify_all();
    thread_.join();
}

uint64_t PullInWorker::Request(PullInInputs inputs) {
    uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = ++waitingNumber_;
        waiting_ = std::move(inputs);
        latest_ = number;
    }
    wake_.notify_all();
    return number;
}

void PullInWorker::Cancel() {
    std::lock_guard lock(mutex_);
    waiting_.reset();
    latest_ = ++waitingNumber_;
}

void PullInWorker::Run() {
    for (;;) {
        PullInInputs inputs;
        uint64_t number = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
            if (stopping_)
                return;
            inputs = std::move(*waiting_);
            waiting_.reset();
            number = waitingNumber_;
        }
        if (!inputs.membrane)
            continue;
        const PullInResult result = SolvePullIn(*inputs.membrane, inputs.volts,
                                                [this, number] { return latest_.load() != number; },
                                                options_);
        if (result.status != PullInResult::Status::Cancelled && latest_.load() == number)
            answer_(number, result);
    }
}

} // namespace ostrander
