// A desktop clipboard manager in miniature: it owns CLIPBOARD_MANAGER and, asked to
// SAVE_TARGETS, fetches the clipboard's TARGETS and then its text before it answers, so the text
// outlives the program that copied it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

struct _XDisplay;  // Xlib's Display

namespace tarnwick {

class X11ClipboardManager {
  public:
    X11ClipboardManager();  // on $DISPLAY; owns the selection once this returns
    ~X11ClipboardManager();
    X11ClipboardManager(const X11ClipboardManager&) = delete;
    X11ClipboardManager& operator=(const X11ClipboardManager&) = delete;

    bool Running() const { return thread_.joinable(); }
    // The UTF-8 text saved by the last SAVE_TARGETS request, empty before one was served.
    std::string SavedText() const;

  private:
    void Serve();

    _XDisplay* display_;
    unsigned long window_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::string saved_;
    std::thread thread_;
};

}  // namespace tarnwick
