#include "toolkit/Synchronizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace ostrander;

namespace {

// Waits until pred() holds or a generous time has passed; returns pred().
template <class Pred> bool WaitFor(Pred pred) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return pred();
}

} // namespace

TEST(Synchronizer, WriterReentersAndReadsInsideItsWrite) {
    Synchronizer s;
    std::atomic<bool> otherGotIn{false};
    s.BeginWrite();
    s.BeginWrite();
    s.BeginRead();
    s.BeginRead();
    s.EndRead();
    s.EndRead();
    s.EndWrite();
    // Still held once: another thread cannot read yet.
    std::thread other([&] {
        ReadLock lock(s);
        otherGotIn = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(otherGotIn);
    s.EndWrite();
    other.join();
    EXPECT_TRUE(otherGotIn);
}

TEST(Synchronizer, ReadersShareTheLockAndMayReenter) {
    Synchronizer s;
    std::atomic<int> inside{0};
    std::atomic<bool> bothSeen{false};
    auto reader = [&] {
        ReadLock outer(s);
        ReadLock nested(s); // a read operation calling another one
        ++inside;
        if (WaitFor([&] { return inside.load() == 2; }))
            bothSeen = true;
    };
    std::thread a(reader), b(reader);
    a.join();
    b.join();
    EXPECT_TRUE(bothSeen); // both readers were inside at the same time
}

TEST(Synchronizer, ReadersMayAskForTheWriteLock) {
    // Two readers both asking to write must not wait for each other forever.
    Synchronizer s;
    int value = 0;
    std::atomic<int> reading{0};
    auto promote = [&] {
        ReadLock read(s);
        ++reading;
        WaitFor([&] { return reading.load() == 2; });
        WriteLock write(s);
        ++value;
    };
    std::thread a(promote), b(promote);
    a.join();
    b.join();
    EXPECT_EQ(value, 2);

    // After the write the reader holds its read lock again: a writer waits for it.
    std::atomic<bool> writerDone{false};
    s.BeginRead();
    s.BeginWrite();
    s.EndWrite();
    std::thread writer([&] {
        WriteLock w(s);
        writerDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(writerDone);
    s.EndRead();
    writer.join();
    EXPECT_TRUE(writerDone);
}

TEST(Synchronizer, StressWritersExcludeEveryoneReadersSeeWholeUpdates) {
    Synchronizer s;
    // Plain ints: any race is a fault (and ThreadSanitizer reports it).
    long long a = 0, b = 0;
    std::atomic<int> readers{0}, writers{0};
    std::atomic<int> faults{0};
    constexpr int kWriters = 4, kReaders = 4, kRounds = 3000;

    auto writer = [&] {
        for (int i = 0; i < kRounds; ++i) {
            WriteLock w(s);
            if (++writers != 1 || readers.load() != 0)
                ++faults;
            ++a;
            {
                WriteLock again(s); // the mirror's operations call one another
                ReadLock read(s);
                ++b;
            }
            --writers;
        }
    };
    auto reader = [&] {
        for (int i = 0; i < kRounds; ++i) {
            ReadLock r(s);
            ++readers;
            if (writers.load() != 0 || a != b)
                ++faults;
            if (i % 16 == 0) {
                ReadLock nested(s);
                if (a != b)
                    ++faults;
            }
            --readers;
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i)
        threads.emplace_back(writer);
    for (int i = 0; i < kReaders; ++i)
        threads.emplace_back(reader);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(a, static_cast<long long>(kWriters) * kRounds);
    EXPECT_EQ(b, a);
}
