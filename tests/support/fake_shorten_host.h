// A window stand-in for the shortening jobs: the thread that drains its queue plays the GUI
// thread, and every caption and link it was given stays on record.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "shorten/shorten_host.h"

namespace tarnwick {

class FakeShortenHost : public ShortenHost {
  public:
    int provider = 1;            // read on the thread that runs the tasks,
    std::vector<Text> statuses;  // and these two written there
    std::vector<Text> links;

    void SetLongLink(Text link) {  // any thread, like the window's locked copy of 编辑框1
        const std::lock_guard lock(mutex_);
        longLink_ = std::move(link);
    }
    Text LongLinkSnapshot() const override {
        const std::lock_guard lock(mutex_);
        return longLink_;
    }
    void PostToGui(std::function<void()> task) override {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        posted_.notify_all();  // under the lock: the waiter may destroy this host once it wakes
    }
    int SelectedProvider() const override { return provider; }
    void SetStatus(const Text& caption) override { statuses.push_back(caption); }
    void SetShortLink(const Text& link) override { links.push_back(link); }
    Text Status() const { return statuses.empty() ? Text() : statuses.back(); }
    Text ShortLink() const { return links.empty() ? Text() : links.back(); }

    // Waits up to 30 s for one posted task and runs it here; false when none came.
    bool RunNextTask() {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, std::chrono::seconds(30), [this] { return !tasks_.empty(); })) {
            return false;
        }
        const std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        return true;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    Text longLink_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace tarnwick
