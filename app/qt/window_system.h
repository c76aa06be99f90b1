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

// The platform list to give Qt when the user has not chosen one, empty to leave Qt's own
// choice. Where an X server is named the window keeps its specified frame (centred, fixed, no
// maximise), which a Wayland client cannot have: it cannot place itself, and Qt's own title bar
// offers maximise whatever the window says. So X11 comes first, native Wayland only when no X
// server answers (Qt goes down the list). platform is QT_QPA_PLATFORM, which always wins.
std::string_view PreferredPlatform(std::string_view platform, std::string_view display);
// Puts PreferredPlatform into QT_QPA_PLATFORM; before QApplication exists.
void PreferPlatform();

}  // namespace tarnwick
