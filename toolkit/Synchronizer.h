#pragma once
// Multi-reader/single-writer lock.
//  - Several threads may read at once; a writer excludes readers and writers.
//  - The thread that holds the write lock may take the write lock or a read
//    lock again (counted); it must release each.
//  - A thread may take the read lock again while it reads.
//  - A thread that reads may ask for the write lock: its read lock is given
//    up while it waits, so another writer may run first (re-check what was
//    read), and taken back when the write lock is released.
// Each Begin must be matched by its End on the same thread.
#include <atomic>
#include <shared_mutex>
#include <thread>

namespace ostrander {

class Synchronizer {
public:
    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

private:
    std::shared_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0; // nested write requests of the owner
};

class ReadLock {
public:
    explicit ReadLock(Synchronizer& s) : s_(s) { s_.BeginRead(); }
    ~ReadLock() { s_.EndRead(); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

private:
    Synchronizer& s_;
};

class WriteLock {
public:
    explicit WriteLock(Synchronizer& s) : s_(s) { s_.BeginWrite(); }
    ~WriteLock() { s_.EndWrite(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    Synchronizer& s_;
};

} // namespace ostrander
