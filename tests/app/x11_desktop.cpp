#include "tests/app/x11_desktop.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace tarnwick {
namespace {

Atom Intern(::Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

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

}  // namespace

X11Desktop::X11Desktop() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) {
        std::abort();  // no X display
    }
    manager_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display_, Intern(display_, "CLIPBOARD_MANAGER"), manager_, CurrentTime);
    XSync(display_, False);
}

X11Desktop::~X11Desktop() {
    XCloseDisplay(display_);
}

// Without a window manager, an activated window takes the focus itself.
unsigned long X11Desktop::FocusWindow() const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus == PointerRoot ? 0 : focus;
}

void X11Desktop::Click(unsigned long window, int x, int y) const {
    PressAndRelease(display_, window, ButtonPress, Button1, 0, x, y);
}

void X11Desktop::ControlKey(unsigned long window, char character) const {
    const char name[] = {character, '\0'};
    PressAndRelease(display_, window, KeyPress, XKeysymToKeycode(display_, XStringToKeysym(name)),
                    ControlMask);
}

void X11Desktop::Close(unsigned long window) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern(display_, "WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(Intern(display_, "WM_DELETE_WINDOW"));
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}

// Asked to save the clipboard, fetches its text from the owner before it answers, so that the
// text outlives the program that copied it.
std::string X11Desktop::Serve() {
    XEvent event;
    while (XPending(display_) > 0) {
        XNextEvent(display_, &event);
        if (event.type != SelectionRequest) {
            continue;
        }
        const XSelectionRequestEvent request = event.xselectionrequest;
        const Atom property = Intern(display_, "TARNWICK_SAVED");
        XConvertSelection(display_, Intern(display_, "CLIPBOARD"), Intern(display_, "UTF8_STRING"),
                          property, manager_, CurrentTime);
        XIfEvent(
            display_, &event,
            [](::Display*, XEvent* e, XPointer) -> Bool { return e->type == SelectionNotify; },
            nullptr);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, manager_, property, 0, 1L << 24, True, AnyPropertyType, &type,
                           &format, &count, &left, &data);
        saved_.assign(reinterpret_cast<const char*>(data), data != nullptr ? count : 0);
        XFree(data);
        // The tool asks with no property of its own: the answer names the target instead.
        XEvent answer{};
        answer.xselection.type = SelectionNotify;
        answer.xselection.requestor = request.requestor;
        answer.xselection.selection = request.selection;
        answer.xselection.target = request.target;
        answer.xselection.property = request.target;
        XSendEvent(display_, request.requestor, False, NoEventMask, &answer);
    }
    XFlush(display_);
    return saved_;
}

}  // namespace tarnwick
