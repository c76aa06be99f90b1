// The window's side of the one fatal path: the error dialog, standard error when there is no
// window system, and the out-of-memory report.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarnwick {

// The error of a window system that cannot be reached, or a window that cannot be made.
inline constexpr std::string_view kLoadWindowFailed =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";  // "载入启动窗口失败"

// The front end's, first thing in main: routes ReportRuntimeError to its dialog and sets memory
// aside for the report of a failed allocation (on Qt, also turns Qt's own abort at a failed
// window-system start into the error "载入启动窗口失败").
void InstallFatalErrorReporting();
// The front end's, once its toolkit is up: errors show the dialog from now on.
void EnableErrorDialogs();

// Memory that the report of a failed allocation, and its dialog, can use once the heap is full.
void SetMemoryAside();
void ReleaseMemorySetAside();

// Never returns: frees the memory set aside, then reports the failed allocation.
[[noreturn]] void ReportOutOfMemory(std::size_t size);

}  // namespace tarnwick
