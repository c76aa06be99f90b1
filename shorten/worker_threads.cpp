#include "shorten/worker_threads.h"

#include <system_error>
#include <thread>
#include <utility>

#include "shorten/never_destroyed.h"

namespace tarnwick {

bool WorkerThreads::Start(std::function<void()> routine) {
    if (!routine) {
        return false;
    }
    if (HandOver(routine)) {
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
    if (parked_.empty()) {
        return false;
    }
    Parked& target = *parked_.back();
    parked_.pop_back();
    target.routine = std::move(routine);
    // Under the lock: once it is released the thread may run the routine and end, and its
    // place with it.
    target.wake.notify_one();
    return true;
}

void WorkerThreads::Work(std::function<void()> routine) {
    Parked self;
    while (true) {
        routine();
        // What the job captured goes now, not when the next job comes.
        routine = nullptr;
        std::unique_lock lock(mutex_);
        if (parked_.size() >= maxParked_) {
            return;
        }
        parked_.push_back(&self);
        self.wake.wait(lock, [&self] { return static_cast<bool>(self.routine); });
        routine = std::exchange(self.routine, nullptr);
    }
}

WorkerThreads& ProgramWorkerThreads() {
    // Parked threads wait on it until the process ends, so it is never destroyed.
    static NeverDestroyed<WorkerThreads> threads(8);
    return threads.Get();
}

}  // namespace tarnwick
