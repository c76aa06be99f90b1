#include "app/qt/window_shorten_host.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/qt/text_boundary.h"

namespace tarnwick {

WindowShortenHost::WindowShortenHost(MainWindow& window)
    : window_(&window), longLink_(window.LongLink()) {
    // Workers never read the control itself; they get the copy kept here.
    longLinkConnection_ =
        QObject::connect(&window, &MainWindow::longLinkChanged, &window,
                         [this](const QString& text) { StoreLongLink(TextFromQString(text)); });
}

WindowShortenHost::~WindowShortenHost() {
    QObject::disconnect(longLinkConnection_);
}

void WindowShortenHost::StoreLongLink(Text text) {
    const std::lock_guard lock(longLinkMutex_);
    longLink_.swap(text);
}

Text WindowShortenHost::LongLinkSnapshot() const {
    const std::lock_guard lock(longLinkMutex_);
    return longLink_;
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

int WindowShortenHost::SelectedProvider() const {
    return window_.isNull() ? 0 : window_->SelectedProvider();
}

void WindowShortenHost::SetStatus(const Text& caption) {
    if (!window_.isNull()) {
        window_->SetStatus(caption);
    }
}

void WindowShortenHost::SetShortLink(const Text& link) {
    if (!window_.isNull()) {
        window_->SetShortLink(link);
    }
}

}  // namespace tarnwick
