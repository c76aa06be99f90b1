#include "tests/shorten/window/x11_clipboard_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

namespace tarnwick {
namespace {

// The next event for window, waiting at most timeout; nothing when none came or stop was raised.
std::optional<XEvent> NextEvent(::Display* display, const std::atomic<bool>& stop,
                                std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!stop && std::chrono::steady_clock::now() < deadline) {
        if (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            return event;
        }
        pollfd ready{ConnectionNumber(display), POLLIN, 0};
        ::poll(&ready, 1, 20);
    }
    return std::nullopt;
}

// The clipboard converted to target, as the bytes of the property it arrives in.
std::optional<std::vector<unsigned char>> Fetch(::Display* display, Window window, Atom target,
                                                const std::atomic<bool>& stop) {
    const Atom property = XInternAtom(display, "TARNWICK_SAVED", False);
    XConvertSelection(display, XInternAtom(display, "CLIPBOARD", False), target, property, window,
                      CurrentTime);
    for (std::optional<XEvent> event;
         (event = NextEvent(display, stop, std::chrono::seconds(5)));) {
        if (event->type != SelectionNotify || event->xselection.target != target) {
            continue;
        }
        if (event->xselection.property == None) {
            return std::nullopt;
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long left = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, property, 0, 1L << 24, True, AnyPropertyType, &type,
                           &format, &count, &left, &data);
        // Xlib hands 32-bit items over as longs.
        const std::size_t size = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
        std::vector<unsigned char> bytes(data, data + count * size);
        XFree(data);
        return bytes;
    }
    return std::nullopt;
}

}  // namespace

X11ClipboardManager::X11ClipboardManager() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) {
        return;
    }
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD_MANAGER", False), window_,
                       CurrentTime);
    XSync(display_, False);
    thread_ = std::thread([this] { Serve(); });
}

X11ClipboardManager::~X11ClipboardManager() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

std::string X11ClipboardManager::SavedText() const {
    const std::lock_guard lock(mutex_);
    return saved_;
}

void X11ClipboardManager::Serve() {
    const Atom saveTargets = XInternAtom(display_, "SAVE_TARGETS", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    while (!stop_) {
        const std::optional<XEvent> event = NextEvent(display_, stop_, std::chrono::seconds(1));
        if (!event || event->type != SelectionRequest ||
            event->xselectionrequest.target != saveTargets) {
            continue;
        }
        const XSelectionRequestEvent& request = event->xselectionrequest;
        // Like a real manager: the text only when the owner offers it.
        const auto targets =
            Fetch(display_, window_, XInternAtom(display_, "TARGETS", False), stop_);
        std::vector<Atom> offered(targets ? targets->size() / sizeof(Atom) : 0);
        if (targets) {
            std::copy_n(targets->data(), offered.size() * sizeof(Atom),
                        reinterpret_cast<unsigned char*>(offered.data()));
        }
        if (std::find(offered.begin(), offered.end(), utf8) != offered.end()) {
            if (const auto text = Fetch(display_, window_, utf8, stop_)) {
                const std::lock_guard lock(mutex_);
                saved_.assign(text->begin(), text->end());
            }
        }
        XEvent answer{};
        answer.xselection.type = SelectionNotify;
        answer.xselection.requestor = request.requestor;
        answer.xselection.selection = request.selection;
        answer.xselection.target = request.target;
        answer.xselection.property = request.property != None ? request.property : request.target;
        answer.xselection.time = request.time;
        XSendEvent(display_, request.requestor, False, NoEventMask, &answer);
        XFlush(display_);
    }
}

}  // namespace tarnwick
