#include "app/qt/window_shorten_host.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/qt/text_boundary.h"

namespace tarnwick {

WindowShortenHost::WindowShortenHost(QtMainWindow& window)
    : WindowHost(window.LongLink()), window_(&window) {
    longLinkConnection_ =
        QObject::connect(&window, &QtMainWindow::longLinkChanged, &window,
                         [this](const QString& text) { StoreLongLink(TextFromQString(text)); });
}

WindowShortenHost::~WindowShortenHost() {
    QObject::disconnect(longLinkConnection_);
}

void WindowShortenHost::PostToGui(std::function<void()> task) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || !task) {
        return;
    }
    // window_ is looked at on the GUI thread only, where the window is destroyed.
    QMetaObject::invokeMethod(
        app,
        [this, task = std::move(task)] {
            if (!window_.isNull()) {
                task();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace tarnwick
