// The shortening jobs' view of MainWindow.
#pragma once

#include <QPointer>
#include <mutex>

#include "app/qt/main_window.h"
#include "shorten/shorten_host.h"

namespace tarnwick {

// Must outlive every worker that holds it: StartProgram keeps it until the process ends.
class WindowShortenHost final : public ShortenHost {
  public:
    // GUI thread.
    explicit WindowShortenHost(MainWindow& window);
    ~WindowShortenHost() override;
    WindowShortenHost(const WindowShortenHost&) = delete;
    WindowShortenHost& operator=(const WindowShortenHost&) = delete;

    Text LongLinkSnapshot() const override;
    void PostToGui(std::function<void()> task) override;

    int SelectedProvider() const override;
    void SetStatus(const Text& caption) override;
    void SetShortLink(const Text& link) override;

  private:
    void StoreLongLink(Text text);

    QPointer<MainWindow> window_;
    QMetaObject::Connection longLinkConnection_;
    mutable std::mutex longLinkMutex_;
    Text longLink_;  // 编辑框1 as last seen on the GUI thread
};

}  // namespace tarnwick
