// The shortening jobs' view of the Qt MainWindow: results come back as queued calls.
#pragma once

#include <QPointer>

#include "app/qt/main_window.h"
#include "app/window_host.h"

namespace tarnwick {

class WindowShortenHost final : public WindowHost {
  public:
    // GUI thread.
    explicit WindowShortenHost(QtMainWindow& window);
    ~WindowShortenHost() override;
    WindowShortenHost(const WindowShortenHost&) = delete;
    WindowShortenHost& operator=(const WindowShortenHost&) = delete;

    void PostToGui(std::function<void()> task) override;

  private:
    ProgramWindow* LiveWindow() const override { return window_.data(); }

    QPointer<QtMainWindow> window_;
    QMetaObject::Connection longLinkConnection_;
};

}  // namespace tarnwick
