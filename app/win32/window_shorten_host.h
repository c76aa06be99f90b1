// The shortening jobs' view of the Win32 MainWindow: results come back as posted messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "app/win32/main_window.h"
#include "shorten/shorten_host.h"

namespace tarnwick {

// Must outlive every worker that holds it: the program keeps it until the process ends.
class WindowShortenHost final : public ShortenHost {
  public:
    // GUI thread.
    explicit WindowShortenHost(MainWindow& window);
    WindowShortenHost(const WindowShortenHost&) = delete;
    WindowShortenHost& operator=(const WindowShortenHost&) = delete;

    Text LongLinkSnapshot() const override;
    void PostToGui(std::function<void()> task) override;

    int SelectedProvider() const override;
    void SetStatus(const Text& caption) override;
    void SetShortLink(const Text& link) override;

  private:
    void RunPosted(WPARAM number);
    void WindowGone();

    MainWindow* window_;  // GUI thread; nullptr once the window is gone
    mutable std::mutex mutex_;
    HWND target_;    // where results are posted; nullptr once the window is gone
    Text longLink_;  // 编辑框1 as last seen on the GUI thread
    std::uint64_t posted_ = 0;
    std::map<WPARAM, std::function<void()>> waiting_;
};

}  // namespace tarnwick
