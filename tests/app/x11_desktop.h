// The desktop around the tarnwick executable on an X display: input as a user at that display
// gives it, and a clipboard manager in miniature. Kept apart from Qt: the X headers define
// macros that clash with Qt's names.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct _XDisplay;  // Xlib's Display

namespace tarnwick {

class X11Desktop {
  public:
    X11Desktop();  // on $DISPLAY; owns CLIPBOARD_MANAGER once this returns
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool Connected() const { return manager_.joinable(); }
    // A viewable top-level window whose title starts with prefix, 0 when there is none.
    unsigned long FindWindow(std::string_view titlePrefix) const;
    void Click(unsigned long window, int x, int y) const;  // left button, client-area point
    void Key(unsigned long window, char character, bool control = false) const;
    void Close(unsigned long window) const;  // what the close button of the frame does
    // The UTF-8 text the manager fetched when last asked to SAVE_TARGETS.
    std::string SavedText() const;

  private:
    void ServeManager();

    _XDisplay* input_;    // for the input, on the test's thread
    _XDisplay* display_;  // the manager's own connection, on its thread
    unsigned long window_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::string saved_;
    std::thread manager_;
};

}  // namespace tarnwick
