#include "tests/shorten/window/x11_input.h"

#include <X11/Xlib.h>

#include <string>

namespace tarnwick {
namespace {

// A press and its release. Key and button events share their layout, and the mask of each
// event type is the bit of its distance from KeyPress.
void PressAndRelease(::Display* display, Window window, int pressType, unsigned detail,
                     unsigned state, int x = 0, int y = 0) {
    XEvent event{};
    XKeyEvent& key = event.xkey;
    key.display = display;
    key.window = window;
    key.root = DefaultRootWindow(display);
    key.time = CurrentTime;
    key.x = x;
    key.y = y;
    key.keycode = detail;
    key.same_screen = True;
    Window child = 0;
    XTranslateCoordinates(display, window, key.root, x, y, &key.x_root, &key.y_root, &child);
    for (const int type : {pressType, pressType + 1}) {
        key.type = type;
        key.state = state | (type == ButtonRelease ? Button1Mask : 0);
        XSendEvent(display, window, True, 1L << (type - KeyPress), &event);
    }
    XFlush(display);
}

}  // namespace

X11Input::X11Input() : display_(XOpenDisplay(nullptr)) {}

X11Input::~X11Input() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

unsigned long X11Input::FindWindow(std::string_view titlePrefix) const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        char* name = nullptr;
        if (found == 0 && XGetWindowAttributes(display_, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable && XFetchName(display_, children[i], &name) != 0 &&
            name != nullptr && std::string_view(name).starts_with(titlePrefix)) {
            found = children[i];
        }
        if (name != nullptr) {
            XFree(name);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

void X11Input::Click(unsigned long window, int x, int y) const {
    PressAndRelease(display_, window, ButtonPress, Button1, 0, x, y);
}

void X11Input::Key(unsigned long window, char character, bool control) const {
    const KeyCode code =
        XKeysymToKeycode(display_, XStringToKeysym(std::string(1, character).c_str()));
    PressAndRelease(display_, window, KeyPress, code, control ? ControlMask : 0);
}

void X11Input::Close(unsigned long window) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}

}  // namespace tarnwick
