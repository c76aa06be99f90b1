#include "shorten/worker_threads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tarnwick {
namespace {

// Jobs run side by side however many threads are parked: each round's jobs wait until all of
// them have started, which only ends if none waits for another's thread. The second round finds
// parked threads and needs more than are parked. The program's own threads: parked ones outlive
// the test.
TEST(WorkerThreads, EveryJobRunsBesideTheOthersAlsoOnParkedThreads) {
    WorkerThreads& threads = ProgramWorkerThreads();
    EXPECT_FALSE(threads.Start({}));
    std::mutex mutex;
    std::condition_variable changed;
    for (const int jobs : {10, 12, 1}) {
        int started = 0;
        int ended = 0;
        for (int i = 0; i < jobs; ++i) {
            ASSERT_TRUE(threads.Start([&] {
                std::unique_lock lock(mutex);
                ++started;
                changed.notify_all();
                // The time limit only keeps a failure from hanging the test run.
                changed.wait_for(lock, std::chrono::seconds(30), [&] { return started == jobs; });
                ++ended;
                changed.notify_all();
            }));
        }
        std::unique_lock lock(mutex);
        EXPECT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(30), [&] { return ended == jobs; }));
        EXPECT_EQ(started, jobs);
    }
}

}  // namespace
}  // namespace tarnwick
