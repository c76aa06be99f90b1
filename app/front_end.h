// What each front end gives the program's shared start: one file per toolkit defines these
// (app/qt/front_end_qt.cpp, app/win32/front_end_win32.cpp), as the build chooses.
#pragma once

#include "app/program_window.h"
#include "text/values.h"

namespace tarnwick {

// GUI thread: creates MainWindow with all its controls, not yet shown; false when it cannot be.
bool CreateMainWindow();
// GUI thread: binds 按钮1 to OnGenerateClicked and 按钮2 to OnCopyClicked, shows the window
// and activates it.
void ShowMainWindow();
// GUI thread: dispatches events until the window has closed, then lets the window go: what
// workers post from then on finds it gone.
void RunMessageLoop();

// Puts the text on the system clipboard; false when there is no clipboard to put it on.
bool ClipboardSetText(const Text& text);

// From a thread that is not the GUI thread: asks the GUI thread to end the program with
// exitCode, and returns when it cannot be asked.
void HandExitToGuiThread(int exitCode);

}  // namespace tarnwick
