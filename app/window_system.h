// Whether Qt can reach a window system, asked before QApplication exists: without one Qt
// would abort, and the program must end through its own error path instead.
#pragma once

#include <string_view>

namespace tarnwick {

// platform is QT_QPA_PLATFORM (empty: Qt's default), display and waylandDisplay are DISPLAY and
// WAYLAND_DISPLAY. False only when every platform asked for needs a display server and none
// is named; a named server that cannot be reached is caught when Qt gives up on it.
bool WindowSystemNamed(std::string_view platform, std::string_view display,
                       std::string_view waylandDisplay);
bool WindowSystemNamed();

}  // namespace tarnwick
