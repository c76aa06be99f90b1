// What both front ends' views of MainWindow for the shortening jobs share: the locked copy of
// 编辑框1 that workers read, and the GUI-thread calls that go to the window while it is there.
#pragma once

#include <mutex>

#include "app/program_window.h"
#include "shorten/shorten_host.h"

namespace tarnwick {

// Must outlive every worker that holds it: the program keeps it until the process ends. A front
// end adds how a task reaches the GUI thread (PostToGui) and whether the window is still there.
class WindowHost : public ShortenHost {
  public:
    Text LongLinkSnapshot() const override;

    int SelectedProvider() const override;
    void SetStatus(const Text& caption) override;
    void SetShortLink(const Text& link) override;

  protected:
    explicit WindowHost(Text longLink) : longLink_(std::move(longLink)) {}
    // GUI thread, whenever 编辑框1 changes.
    void StoreLongLink(Text text);
    // GUI thread: the window, or nullptr once it is gone.
    virtual ProgramWindow* LiveWindow() const = 0;

  private:
    mutable std::mutex longLinkMutex_;
    Text longLink_;  // 编辑框1 as last seen on the GUI thread
};

}  // namespace tarnwick
