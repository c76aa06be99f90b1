// What a shortening job needs of the window, without knowing which toolkit draws it.
#pragma once

#include <functional>

#include "text/values.h"

namespace tarnwick {

class ShortenHost {
  public:
    virtual ~ShortenHost() = default;

    // Any thread: the long-link box as the GUI thread last saw it (code-page text).
    virtual Text LongLinkSnapshot() const = 0;
    // Any thread: runs task later on the GUI thread, or drops it once the window has closed.
    virtual void PostToGui(std::function<void()> task) = 0;

    // GUI thread only.
    virtual int SelectedProvider() const = 0;  // 1 to 3, 0 when none is selected
    virtual void SetStatus(const Text& caption) = 0;
    virtual void SetShortLink(const Text& link) = 0;
};

}  // namespace tarnwick
