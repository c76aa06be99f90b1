// Threads for the shortening jobs. A job's thread, once its job is done, parks for the next
// job instead of ending: a fresh thread first pays for touching a new stack, a new heap arena
// and its buffers, which costs more on a click than both HTTP round trips together. Jobs still
// never wait for one another: when no parked thread is free, a new one is started.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace tarnwick {

class WorkerThreads {
  public:
    // At most maxParked threads wait for work; the others end after their job.
    explicit WorkerThreads(std::size_t maxParked) : maxParked_(maxParked) {}
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs routine at once on a parked thread or on a new one; false when neither can be had.
    // Parked threads hold this object: it must outlive them (the program's never ends).
    bool Start(std::function<void()> routine);

  private:
    // A parked thread's own place: the routine promised to it and its wake-up.
    struct Parked {
        std::condition_variable wake;
        std::function<void()> routine;
    };

    // Promises routine to the thread parked last, taking it only then.
    bool HandOver(std::function<void()>& routine);
    void Work(std::function<void()> routine);

    const std::size_t maxParked_;
    std::mutex mutex_;
    // The last parked is woken first: its stack and heap are the likeliest still in the cache.
    std::vector<Parked*> parked_;
};

// The program's own, never destroyed.
WorkerThreads& ProgramWorkerThreads();

}  // namespace tarnwick
