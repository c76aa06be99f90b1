// A window stand-in for the shortening jobs: the thread that drains its queue plays the GUI
// thread, and every caption and link it was given stays on record.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "shorten/shorten_host.h"
#include "shorten/shorten_job.h"
#include "text/values.h"

namespace tarnwick {

class FakeShortenHost : public ShortenHost {
  public:
    // Read and written on the thread that runs the tasks.
    int provider = 1;
    std::vector<Text> statuses;
    std::vector<Text> links;

    // Any thread, like the window's locked copy of the long-link box.
    void SetLongLink(Text link) {
        std::lock_guard lock(mutex_);
        longLink_ = std::move(link);
    }
    Text LongLinkSnapshot() const override {
        std::lock_guard lock(mutex_);
        return longLink_;
    }
    void PostToGui(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        // Notified under the lock: the waiter may destroy this host as soon as it wakes.
        posted_.notify_all();
    }
    int SelectedProvider() const override { return provider; }
    void SetStatus(const Text& caption) override { statuses.push_back(caption); }
    void SetShortLink(const Text& link) override { links.push_back(link); }
    Text Status() const { return statuses.empty() ? Text() : statuses.back(); }
    Text ShortLink() const { return links.empty() ? Text() : links.back(); }

    // Waits up to 30 s for one posted task and runs it here; false when none came.
    bool RunNextTask() {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_for(lock, std::chrono::seconds(30),
                                  [this] { return !tasks_.empty(); })) {
                return false;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    Text longLink_;
    std::deque<std::function<void()>> tasks_;
};

// Starts jobs on threads the test joins, so nothing outlives the test's objects. Used on the
// GUI thread only, like the click handler that starts the jobs.
struct JoinedThreads {
    std::vector<std::thread> threads;

    ~JoinedThreads() { JoinAll(); }
    ThreadStarter Starter() {
        return [this](std::function<void()> routine) {
            std::thread thread;
            const bool started = StartThread(std::move(routine), &thread);
            threads.push_back(std::move(thread));
            return started;
        };
    }
    void JoinAll() {
        for (std::thread& thread : threads) {
            if (thread.joinable()) {
                thread.join();
            }
        }
        threads.clear();
    }
};

}  // namespace tarnwick
