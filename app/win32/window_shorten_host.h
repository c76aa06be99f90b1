// The shortening jobs' view of the Win32 MainWindow: results come back as posted messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "app/win32/main_window.h"
#include "app/window_host.h"

namespace tarnwick {

class WindowShortenHost final : public WindowHost {
  public:
    // GUI thread.
    explicit WindowShortenHost(Win32MainWindow& window);
    WindowShortenHost(const WindowShortenHost&) = delete;
    WindowShortenHost& operator=(const WindowShortenHost&) = delete;

    void PostToGui(std::function<void()> task) override;

  private:
    ProgramWindow* LiveWindow() const override { return window_; }
    void RunPosted(WPARAM number);
    void WindowGone();

    Win32MainWindow* window_;  // GUI thread; nullptr once the window is gone
    std::mutex postMutex_;
    HWND target_;  // where results are posted; nullptr once the window is gone
    std::uint64_t posted_ = 0;
    std::map<WPARAM, std::function<void()>> waiting_;
};

}  // namespace tarnwick
