// The runtime beneath the program's routines: the GUI thread, the exit-handler list and the
// end of the process.
#pragma once

namespace tarnwick {

using ExitHandler = void (*)();

// Records the calling thread as the GUI thread.
void InitRuntime();
bool OnGuiThread();

// GUI thread. A routine is listed once; registering it again changes nothing.
void RegisterExitHandler(ExitHandler handler);
// GUI thread: runs the listed routines in registration order, then empties the list.
void RunExitHandlers();

// Runs the exit handlers on the GUI thread and ends the process with exitCode. The process
// ends without static destructors, so none of them runs under a worker that is still busy.
[[noreturn]] void ExitProgram(int exitCode);

}  // namespace tarnwick
