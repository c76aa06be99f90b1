// The program's start and its exit handler.
#pragma once

namespace tarnwick {

// GUI thread, once, after the toolkit is up: opens MainWindow and runs the message loop until
// the window is closed. Returns 0; the caller then ends the program with ExitProgram.
int StartProgram();

// The exit handler: frees the shortening jobs' shared texts.
void FreeJobTexts();

}  // namespace tarnwick
