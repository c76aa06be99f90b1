#include "app/win32/window_shorten_host.h"

#include <utility>

namespace tarnwick {

WindowShortenHost::WindowShortenHost(Win32MainWindow& window)
    : WindowHost(window.LongLink()), window_(&window), target_(window.Handle()) {
    window.BindLongLinkChange([this](Text text) { StoreLongLink(std::move(text)); });
    window.BindPostedMessage([this](WPARAM number) { RunPosted(number); });
    window.BindDestroyed([this] { WindowGone(); });
}

// The message carries the result's number only; the result waits here until the GUI thread
// takes it, and is dropped with the rest once the window is gone.
void WindowShortenHost::PostToGui(std::function<void()> task) {
    if (!task) {
        return;
    }
    const std::lock_guard lock(postMutex_);
    if (target_ == nullptr) {
        return;
    }
    const auto number = static_cast<WPARAM>(++posted_);
    waiting_.emplace(number, std::move(task));
    if (!::PostMessageW(target_, Win32MainWindow::kPostedMessage, number, 0)) {
        waiting_.erase(number);
    }
}

void WindowShortenHost::RunPosted(WPARAM number) {
    std::function<void()> task;
    {
        const std::lock_guard lock(postMutex_);
        const auto found = waiting_.find(number);
        if (found == waiting_.end()) {
            return;
        }
        task = std::move(found->second);
        waiting_.erase(found);
    }
    if (window_ != nullptr) {
        task();
    }
}

void WindowShortenHost::WindowGone() {
    window_ = nullptr;
    const std::lock_guard lock(postMutex_);
    target_ = nullptr;
    waiting_.clear();
}

}  // namespace tarnwick
