// The window as the program sees it: one interface that each front end's MainWindow implements
// (QtMainWindow, Win32MainWindow), where the shortening jobs, the Copy action and the program's
// start meet it. GUI thread only.
#pragma once

#include <functional>

#include "text/values.h"

namespace tarnwick {

class ProgramWindow {
  public:
    // The routines bound to the clicks of 按钮1 (生成) and 按钮2 (复制); an empty one unbinds.
    virtual void BindGenerateClick(std::function<void()> routine) = 0;
    virtual void BindCopyClick(std::function<void()> routine) = 0;

    virtual Text LongLink() const = 0;
    virtual Text ShortLink() const = 0;
    virtual void SetShortLink(const Text& link) = 0;
    virtual void SetStatus(const Text& caption) = 0;
    // 1 to 3 after the selected radio button, 0 when none is selected.
    virtual int SelectedProvider() const = 0;

  protected:
    ~ProgramWindow() = default;
};

}  // namespace tarnwick
