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

    void SelectProvider(int provider) { provider_ = provider; }
    int SelectedProvider() const override { return provider_; }
    void SetStatus(const Text& caption) override {
        status_ = caption;
        statuses_.push_back(caption);
    }
    void SetShortLink(const Text& link) override {
        shortLink_ = link;
        links_.push_back(link);
    }

    const Text& Status() const { return status_; }
    const Text& ShortLink() const { return shortLink_; }
    const std::vector<Text>& StatusHistory() const { return statuses_; }
    const std::vector<Text>& LinkHistory() const { return links_; }

    // Waits for one posted task and runs it here; false when none came in time.
    bool RunNextTask(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_for(lock, timeout, [this] { return !tasks_.empty(); })) {
                return false;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }
    std::size_t PendingTasks() const {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    Text longLink_;
    std::deque<std::function<void()>> tasks_;
    int provider_ = 1;
    Text status_;
    Text shortLink_;
    std::vector<Text> statuses_;
    std::vector<Text> links_;
};

// Starts jobs on threads the test joins, so nothing outlives the test's objects.
class JoinedThreads {
  public:
    JoinedThreads() = default;
    JoinedThreads(const JoinedThreads&) = delete;
    JoinedThreads& operator=(const JoinedThreads&) = delete;
    ~JoinedThreads() { JoinAll(); }

    bool Start(std::function<void()> routine) {
        std::thread thread;
        if (!StartThread(std::move(routine), &thread)) {
            return false;
        }
        std::lock_guard lock(mutex_);
        threads_.push_back(std::move(thread));
        return true;
    }
    ThreadStarter Starter() {
        return [this](std::function<void()> routine) { return Start(std::move(routine)); };
    }
    void JoinAll() {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            threads.swap(threads_);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }

  private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

}  // namespace tarnwick
