#include "app/window_host.h"

#include <utility>

namespace tarnwick {

void WindowHost::StoreLongLink(Text text) {
    const std::lock_guard lock(longLinkMutex_);
    longLink_.swap(text);
}

// Workers never read the control itself; they get the copy kept here.
Text WindowHost::LongLinkSnapshot() const {
    const std::lock_guard lock(longLinkMutex_);
    return longLink_;
}

int WindowHost::SelectedProvider() const {
    const ProgramWindow* window = LiveWindow();
    return window == nullptr ? 0 : window->SelectedProvider();
}

void WindowHost::SetStatus(const Text& caption) {
    if (ProgramWindow* window = LiveWindow()) {
        window->SetStatus(caption);
    }
}

void WindowHost::SetShortLink(const Text& link) {
    if (ProgramWindow* window = LiveWindow()) {
        window->SetShortLink(link);
    }
}

}  // namespace tarnwick
