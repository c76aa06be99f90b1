// Threads for the shortening jobs. A job's thread, once its job is done, parks for the next
// job instead of ending: a fresh thread first pays for touching a new stack, a new heap arena
// and its buffers, which costs more on a click than both HTTP round trips together. Jobs still
// never wait for one another: when no parked thread is free, a new one is started.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

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
    // Promises routine to a parked thread, taking it only then.
    bool HandOver(std::function<void()>& routine);
    void Work(std::function<void()> routine);

    const std::size_t maxParked_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::size_t parked_ = 0;  // parked threads not yet promised a routine
    std::deque<std::function<void()>> handedOver_;
};

// The program's own, never destroyed.
WorkerThreads& ProgramWorkerThreads();

}  // namespace tarnwick
