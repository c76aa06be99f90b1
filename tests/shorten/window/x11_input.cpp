#include "tests/shorten/window/x11_input.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

namespace tarnwick {

struct X11Input::Display {
    ::Display* handle = XOpenDisplay(nullptr);
    Display() = default;
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    ~Display() {
        if (handle != nullptr) {
            XCloseDisplay(handle);
        }
    }
};

namespace {

std::string WindowTitle(::Display* display, Window window) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

}  // namespace

X11Input::X11Input() : display_(std::make_unique<Display>()) {}

X11Input::~X11Input() = default;

bool X11Input::Connected() const {
    return display_->handle != nullptr;
}

unsigned long X11Input::FindWindow(std::string_view titlePrefix) const {
    ::Display* display = display_->handle;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable &&
            WindowTitle(display, children[i]).starts_with(titlePrefix)) {
            found = children[i];
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

void X11Input::Click(unsigned long window, int x, int y) const {
    ::Display* display = display_->handle;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    for (const int type : {ButtonPress, ButtonRelease}) {
        XEvent event{};
        XButtonEvent& button = event.xbutton;
        button.type = type;
        button.display = display;
        button.window = window;
        button.root = DefaultRootWindow(display);
        button.time = CurrentTime;
        button.x = x;
        button.y = y;
        button.x_root = rootX;
        button.y_root = rootY;
        button.button = Button1;
        button.state = type == ButtonRelease ? Button1Mask : 0;
        button.same_screen = True;
        XSendEvent(display, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask,
                   &event);
    }
    XFlush(display);
}

void X11Input::Key(unsigned long window, char character, bool control) const {
    ::Display* display = display_->handle;
    const std::string name(1, character);
    const KeySym symbol = XStringToKeysym(name.c_str());
    const KeyCode code = XKeysymToKeycode(display, symbol);
    for (const int type : {KeyPress, KeyRelease}) {
        XEvent event{};
        XKeyEvent& key = event.xkey;
        key.type = type;
        key.display = display;
        key.window = window;
        key.root = DefaultRootWindow(display);
        key.time = CurrentTime;
        key.keycode = code;
        key.state = control ? ControlMask : 0;
        key.same_screen = True;
        XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
    }
    XFlush(display);
}

void X11Input::Close(unsigned long window) const {
    ::Display* display = display_->handle;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace tarnwick
