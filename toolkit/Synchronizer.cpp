#include "toolkit/Synchronizer.h"

#include <utility>
#include <vector>

namespace ostrander {

namespace {

// Read depth of the calling thread per synchronizer. A std::shared_mutex may
// not be locked twice by one thread, so only the outermost read locks it.
thread_local std::vector<std::pair<const Synchronizer*, int>> t_reads;

int& ReadDepth(const Synchronizer* s) {
    for (auto& entry : t_reads)
        if (entry.first == s)
            return entry.second;
    t_reads.emplace_back(s, 0);
    return t_reads.back().second;
}

// A synchronizer has at most one entry; the last entry takes its place.
void Forget(const Synchronizer* s) {
    for (auto& entry : t_reads)
        if (entry.first == s) {
            if (entry.second == 0) {
                entry = t_reads.back();
                t_reads.pop_back();
            }
            return;
        }
}

} // namespace

void Synchronizer::BeginRead() {
    int& reads = ReadDepth(this);
    // The writing thread already excludes everyone; a nested read only counts.
    if (owner_.load(std::memory_order_acquire) != std::this_thread::get_id() && reads == 0)
        mutex_.lock_shared();
    ++reads;
}

void Synchronizer::EndRead() {
    int& reads = ReadDepth(this);
    if (reads == 0)
        return; // not reading: nothing to release
    --reads;
    if (owner_.load(std::memory_order_acquire) != std::this_thread::get_id() && reads == 0)
        mutex_.unlock_shared();
    if (reads == 0)
        Forget(this);
}

void Synchronizer::BeginWrite() {
    const auto me = std::this_thread::get_id();
    if (owner_.load(std::memory_order_acquire) == me) {
        ++depth_;
        return;
    }
    // A reader asking to write gives up its read lock while it waits.
    int& reads = ReadDepth(this);
    if (reads > 0)
        mutex_.unlock_shared();
    mutex_.lock();
    owner_.store(me, std::memory_order_release);
    depth_ = 1;
}

void Synchronizer::EndWrite() {
    if (owner_.load(std::memory_order_acquire) != std::this_thread::get_id())
        return; // not the writer: nothing to release
    if (--depth_ > 0)
        return;
    owner_.store(std::thread::id{}, std::memory_order_release);
    mutex_.unlock();
    // Reads begun before or during the write and not yet ended hold the lock again.
    int& reads = ReadDepth(this);
    if (reads > 0)
        mutex_.lock_shared();
    else
        Forget(this);
}

} // namespace ostrander
