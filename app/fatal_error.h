// The window's side of the one fatal path: the error dialog, standard error when there is no
// window system, and the out-of-memory report.
#pragma once

#include <cstddef>

namespace tarnwick {

// First thing in main: routes ReportRuntimeError here, sets memory aside for the report of a
// failed allocation, and turns Qt's own abort at a failed window-system start into the error
// "载入启动窗口失败".
void InstallFatalErrorReporting();
// Once QApplication exists: errors show the dialog from now on.
void EnableErrorDialogs();

// Never returns: frees the memory set aside, then reports the failed allocation.
[[noreturn]] void ReportOutOfMemory(std::size_t size);

}  // namespace tarnwick
