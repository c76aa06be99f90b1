#include "app/qt/clipboard_handover.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace tarnwick {

#if QT_CONFIG(xcb)
namespace {

// As long as Qt gives a manager at its own end.
constexpr int kManagerAnswerMs = 5000;

template <typename Reply>
struct FreeReply {
    void operator()(Reply* reply) const {
        std::free(reply);
    }  // NOLINT(cppcoreguidelines-no-malloc)
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool SelectionOwned(xcb_connection_t* connection, xcb_atom_t selection) {
    const ReplyPtr<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    return reply != nullptr && reply->owner != XCB_NONE;
}

// Ends the wait once the manager's answer to our request has come.
class ManagerAnswer final : public QAbstractNativeEventFilter {
  public:
    ManagerAnswer(xcb_window_t requestor, QEventLoop& loop) : requestor_(requestor), loop_(loop) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (type == "xcb_generic_event_t" &&
            (event->response_type & 0x7F) == XCB_SELECTION_NOTIFY &&
            reinterpret_cast<const xcb_selection_notify_event_t*>(event)->requestor == requestor_) {
            loop_.quit();
        }
        return false;
    }

  private:
    xcb_window_t requestor_;
    QEventLoop& loop_;
};

}  // namespace
#endif

// The process ends without destroying QApplication (workers may still post to it), so Qt's own
// hand-over in its clipboard teardown never runs; this is the same exchange.
void HandClipboardToManager() {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || !QGuiApplication::clipboard()->ownsClipboard()) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t manager = Atom(connection, "CLIPBOARD_MANAGER");
    if (manager == xcb_atom_t{XCB_ATOM_NONE} || !SelectionOwned(connection, manager)) {
        return;
    }
    // A window of our own to receive the answer; the manager fetches the data from the
    // clipboard's owner, which Qt serves from the loop below.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t requestor = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, requestor, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    QEventLoop loop;
    ManagerAnswer answer(requestor, loop);
    qGuiApp->installNativeEventFilter(&answer);
    xcb_convert_selection(connection, requestor, manager, Atom(connection, "SAVE_TARGETS"),
                          XCB_NONE, XCB_CURRENT_TIME);
    xcb_flush(connection);
    QTimer::singleShot(kManagerAnswerMs, &loop, &QEventLoop::quit);
    loop.exec();
    qGuiApp->removeNativeEventFilter(&answer);
    xcb_destroy_window(connection, requestor);
    xcb_flush(connection);
#endif
}

}  // namespace tarnwick
