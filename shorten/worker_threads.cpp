#include "shorten/worker_threads.h"

#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace tarnwick {

bool WorkerThreads::Start(std::function<void()> routine) {
    if (!routine) {
        return false;
    }
    if (HandOver(routine)) {
        // Outside the lock: a thread woken while it is held would only block on it again.
        wake_.notify_one();
        return true;
    }
    try {
        std::thread([this, routine = std::move(routine)]() mutable {
            Work(std::move(routine));
        }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

bool WorkerThreads::HandOver(std::function<void()>& routine) {
    const std::lock_guard lock(mutex_);
    if (parked_ == 0) {
        return false;
    }
    --parked_;
    handedOver_.push_back(std::move(routine));
    return true;
}

void WorkerThreads::Work(std::function<void()> routine) {
    while (true) {
        routine();
        // What the job captured goes now, not when the next job comes.
        routine = nullptr;
        std::unique_lock lock(mutex_);
        if (parked_ + handedOver_.size() >= maxParked_) {
            return;
        }
        ++parked_;
        wake_.wait(lock, [this] { return !handedOver_.empty(); });
        routine = std::move(handedOver_.front());
        handedOver_.pop_front();
    }
}

WorkerThreads& ProgramWorkerThreads() {
    // Parked threads wait on it until the process ends, so it is never destroyed.
    alignas(WorkerThreads) static std::byte storage[sizeof(WorkerThreads)];
    static WorkerThreads* const threads = ::new (static_cast<void*>(storage)) WorkerThreads(8);
    return *threads;
}

}  // namespace tarnwick
