// The desktop around the tarnwick executable on an X display: input as a user at that display
// gives it, and a clipboard manager in miniature. Kept apart from Qt: the X headers define
// macros that clash with Qt's names.
#pragma once

#include <string>

struct _XDisplay;  // Xlib's Display

namespace tarnwick {

class X11Desktop {
  public:
    X11Desktop();  // on $DISPLAY; owns CLIPBOARD_MANAGER once this returns
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // The window that has the keyboard focus, 0 when none has it.
    unsigned long FocusWindow() const;
    void Click(unsigned long window, int x, int y) const;  // left button, client-area point
    void ControlKey(unsigned long window, char character) const;
    void Close(unsigned long window) const;  // what the close button of the frame does
    // Answers the manager's requests so far; the UTF-8 text it saved on the last of them.
    std::string Serve();

  private:
    _XDisplay* display_;
    unsigned long manager_;
    std::string saved_;
};

}  // namespace tarnwick
