// A window stand-in for the shortening jobs: a posted task runs at once, under the host's lock,
// on the thread that posts it, and every caption and link it was given stays on record.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "shorten/shorten_host.h"

namespace tarnwick {

class FakeShortenHost : public ShortenHost {
  public:
    int provider = 1;            // read on the thread that clicks; the tasks and the clicks
    std::vector<Text> statuses;  // write these two, so read them between tasks only
    Text shortLink;

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
        task();
        ++ran_;
        ranChanged_.notify_all();  // under the lock: the waiter may destroy this host once it wakes
    }
    int SelectedProvider() const override { return provider; }
    void SetStatus(const Text& caption) override { statuses.push_back(caption); }
    void SetShortLink(const Text& link) override { shortLink = link; }

    // Waits until count tasks have run in all; false when they did not within 10 s, well before
    // a transfer's own time limit would end a job.
    bool WaitForTasks(std::size_t count) {
        std::unique_lock lock(mutex_);
        return ranChanged_.wait_for(lock, std::chrono::seconds(10), [&] { return ran_ >= count; });
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable ranChanged_;
    std::size_t ran_ = 0;
    Text longLink_;
};

}  // namespace tarnwick
