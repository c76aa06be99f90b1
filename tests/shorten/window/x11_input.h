// Mouse clicks, keys and window closing sent to another program's window on the X display, as
// a user at that display would give them. Kept apart from Qt: the X headers define macros that
// clash with Qt's names.
#pragma once

#include <string_view>

struct _XDisplay;  // Xlib's Display

namespace tarnwick {

class X11Input {
  public:
    X11Input();  // connects to $DISPLAY
    ~X11Input();
    X11Input(const X11Input&) = delete;
    X11Input& operator=(const X11Input&) = delete;

    bool Connected() const { return display_ != nullptr; }
    // A top-level window whose title starts with prefix, 0 when there is none.
    unsigned long FindWindow(std::string_view titlePrefix) const;
    // A left click at x, y of the window's client area.
    void Click(unsigned long window, int x, int y) const;
    // A key press and release of the key that gives the character, Ctrl held when asked.
    void Key(unsigned long window, char character, bool control = false) const;
    // What the close button of the frame does.
    void Close(unsigned long window) const;

  private:
    _XDisplay* display_;
};

}  // namespace tarnwick
