// The one fatal path of the program. This file's source composes the error, sets memory aside
// for it and ends the process; each front end's error_dialog.cpp shows it.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace tarnwick {

// Code page 936: "错误", and the error of a window system that cannot be reached or a window
// that cannot be made, "载入启动窗口失败".
inline constexpr std::string_view kErrorCaption = "\xB4\xED\xCE\xF3";
inline constexpr std::string_view kLoadWindowFailed =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";

// The composers write into buffer, cut at its end, and return what they wrote: no heap, since
// the fatal path may run with the heap exhausted. An error text fits in kRuntimeErrorTextBytes.
inline constexpr std::size_t kRuntimeErrorTextBytes = 4096;
// The error's text (code 0 = no number), in code page 936.
std::string_view ComposeRuntimeErrorText(int code, std::string_view message,
                                         std::span<char> buffer);
// "分配 %d 字节内存失败!" for size.
std::string_view ComposeAllocationFailure(std::size_t size, std::span<char> buffer);

// First thing in main: ReportRuntimeError shows the front end's dialog from now on, and memory
// is set aside for the report of a failed allocation.
void InstallFatalErrorReporting();
// Never returns: frees the memory set aside, then reports the failed allocation.
[[noreturn]] void ReportOutOfMemory(std::size_t size);

// The front end's side, in its error_dialog.cpp.
// Its hooks at installation (Qt: its own abort at a failed window-system start becomes the
// error kLoadWindowFailed).
void InstallFrontEndFatalHooks();
// Once the toolkit is up: errors show the dialog from now on.
void EnableErrorDialogs();
// Shows the composed text, on whichever thread failed; returns once it was shown, and the
// process then ends. A second report on the same thread (the first failed on its way) comes
// with dialogPossible false.
void ShowFatalError(std::string_view text, bool dialogPossible);

}  // namespace tarnwick
