#include "tests/app/x11_desktop.h"

#include <X11/Xlib.h>
#include <poll.h>

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

// The next event, waiting up to a second; false when none came.
bool NextEvent(::Display* display, XEvent& event) {
    for (int round = 0; round < 50; ++round) {
        if (XPending(display) > 0) {
            XNextEvent(display, &event);
            return true;
        }
        pollfd ready{ConnectionNumber(display), POLLIN, 0};
        ::poll(&ready, 1, 20);
    }
    return false;
}

}  // namespace

X11Desktop::X11Desktop() : input_(XOpenDisplay(nullptr)), display_(XOpenDisplay(nullptr)) {
    if (input_ != nullptr && display_ != nullptr) {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD_MANAGER", False), window_,
                           CurrentTime);
        XSync(display_, False);
        manager_ = std::thread([this] { ServeManager(); });
    }
}

X11Desktop::~X11Desktop() {
    stop_ = true;
    if (manager_.joinable()) {
        manager_.join();
    }
    for (::Display* display : {input_, display_}) {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
}

unsigned long X11Desktop::FindWindow(std::string_view titlePrefix) const {
    Window root = 0, parent = 0, *children = nullptr, found = 0;
    unsigned int count = 0;
    XQueryTree(input_, DefaultRootWindow(input_), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        char* name = nullptr;
        if (XGetWindowAttributes(input_, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable && XFetchName(input_, children[i], &name) != 0 &&
            name != nullptr && std::string_view(name).starts_with(titlePrefix)) {
            found = children[i];
        }
        XFree(name);
    }
    XFree(children);
    return found;
}

void X11Desktop::Click(unsigned long window, int x, int y) const {
    PressAndRelease(input_, window, ButtonPress, Button1, 0, x, y);
}

void X11Desktop::Key(unsigned long window, char character, bool control) const {
    const KeyCode code =
        XKeysymToKeycode(input_, XStringToKeysym(std::string(1, character).c_str()));
    PressAndRelease(input_, window, KeyPress, code, control ? ControlMask : 0);
}

void X11Desktop::Close(unsigned long window) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(input_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(input_, "WM_DELETE_WINDOW", False));
    XSendEvent(input_, window, False, NoEventMask, &event);
    XFlush(input_);
}

std::string X11Desktop::SavedText() const {
    const std::lock_guard lock(mutex_);
    return saved_;
}

// Asked to SAVE_TARGETS, fetches the clipboard's text before it answers, so that the text
// outlives the program that copied it.
void X11Desktop::ServeManager() {
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    const Atom property = XInternAtom(display_, "TARNWICK_SAVED", False);
    XEvent event;
    while (!stop_) {
        if (!NextEvent(display_, event) || event.type != SelectionRequest ||
            event.xselectionrequest.target != XInternAtom(display_, "SAVE_TARGETS", False)) {
            continue;
        }
        const XSelectionRequestEvent request = event.xselectionrequest;
        XConvertSelection(display_, XInternAtom(display_, "CLIPBOARD", False), utf8, property,
                          window_, CurrentTime);
        while (!stop_ && NextEvent(display_, event) && event.type != SelectionNotify) {
        }
        if (event.type == SelectionNotify && event.xselection.property != None) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, left = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display_, window_, property, 0, 1L << 24, True, AnyPropertyType,
                               &type, &format, &count, &left, &data);
            const std::lock_guard lock(mutex_);
            saved_.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
        XEvent answer{};
        answer.xselection = {SelectionNotify,
                             0,
                             True,
                             display_,
                             request.requestor,
                             request.selection,
                             request.target,
                             request.property != None ? request.property : request.target,
                             request.time};
        XSendEvent(display_, request.requestor, False, NoEventMask, &answer);
        XFlush(display_);
    }
}

}  // namespace tarnwick
