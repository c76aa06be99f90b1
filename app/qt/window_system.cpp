#include "app/qt/window_system.h"

#include <cstdlib>
#include <string>

namespace tarnwick {

namespace {

std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

// "xcb:option=value" names the platform before the colon.
std::string_view PlatformName(std::string_view entry) {
    return entry.substr(0, entry.find(':'));
}

bool NeedsDisplayServer(std::string_view name) {
    return name == "xcb" || name.starts_with("wayland");
}

}  // namespace

bool WindowSystemNamed(std::string_view platform, std::string_view display,
                       std::string_view waylandDisplay) {
    if (!display.empty() || !waylandDisplay.empty()) {
        return true;
    }
    if (platform.empty()) {
        return false;  // Qt's default here is xcb or wayland
    }
    // Qt tries a ";"-separated list in order; one platform without a server is enough.
    while (true) {
        const std::size_t end = platform.find(';');
        const std::string_view name = PlatformName(platform.substr(0, end));
        if (!name.empty() && !NeedsDisplayServer(name)) {
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        platform.remove_prefix(end + 1);
    }
}

bool WindowSystemNamed() {
    return WindowSystemNamed(Environment("QT_QPA_PLATFORM"), Environment("DISPLAY"),
                             Environment("WAYLAND_DISPLAY"));
}

std::string_view PreferredPlatform(std::string_view platform, std::string_view display) {
    return platform.empty() && !display.empty() ? "xcb;wayland" : "";
}

void PreferPlatform() {
    const std::string_view preferred =
        PreferredPlatform(Environment("QT_QPA_PLATFORM"), Environment("DISPLAY"));
    if (!preferred.empty()) {
        // Before QApplication and before any thread of ours: nothing reads the environment yet.
        const std::string value(preferred);
        ::setenv("QT_QPA_PLATFORM", value.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    }
}

}  // namespace tarnwick
