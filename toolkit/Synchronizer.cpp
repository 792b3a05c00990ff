#include "toolkit/Synchronizer.h"

namespace ostrander {

void Synchronizer::BeginRead() {
    if (owner_.load(std::memory_order_acquire) == std::this_thread::get_id()) {
        ++depth_;
        return;
    }
    mutex_.lock_shared();
}

void Synchronizer::EndRead() {
    if (owner_.load(std::memory_order_acquire) == std::this_thread::get_id()) {
        --depth_;
        return;
    }
    mutex_.unlock_shared();
}

void Synchronizer::BeginWrite() {
    if (owner_.load(std::memory_order_acquire) == std::this_thread::get_id()) {
        ++depth_;
        return;
    }
    mutex_.lock();
    owner_.store(std::this_thread::get_id(), std::memory_order_release);
    depth_ = 1;
}

void Synchronizer::EndWrite() {
    if (--depth_ == 0) {
        owner_.store(std::thread::id{}, std::memory_order_release);
        mutex_.unlock();
    }
}

} // namespace ostrander
