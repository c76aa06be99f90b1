// The one fatal path of the program: its texts, and the end with exit code -1.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kDivideByZeroMessage =
    "\xB2\xBB\xC4\xDC\xC7\xF3\xD3\xE0\xCA\xFD\xD3\xDA\xC1\xE3";  // "不能求余数于零"

// The composers write into buffer, cut at its end, and return what they wrote: no heap, since
// the fatal path may run with the heap exhausted. An error text fits in kRuntimeErrorTextBytes.
inline constexpr std::size_t kRuntimeErrorTextBytes = 4096;
// The error's text (code 0 = no number), in code page 936.
std::string_view ComposeRuntimeErrorText(int code, std::string_view message,
                                         std::span<char> buffer);
// "分配 %d 字节内存失败!" for size.
std::string_view ComposeAllocationFailure(std::size_t size, std::span<char> buffer);

// Shows the error through the reporter that the window layer installs (none: nothing is shown)
// and ends the process with -1; never returns.
using RuntimeErrorReporter = void (*)(int code, std::string_view message);
void SetRuntimeErrorReporter(RuntimeErrorReporter reporter);
[[noreturn]] void ReportRuntimeError(int code, std::string_view message);

}  // namespace tarnwick
