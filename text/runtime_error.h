// The runtime error that ends the program: raised anywhere, shown by whatever the window layer
// installs, and the end with exit code -1.
#pragma once

#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kDivideByZeroMessage =
    "\xB2\xBB\xC4\xDC\xC7\xF3\xD3\xE0\xCA\xFD\xD3\xDA\xC1\xE3";  // "不能求余数于零"

// Shows the error through the reporter that the window layer installs (none: nothing is shown)
// and ends the process with -1; never returns.
using RuntimeErrorReporter = void (*)(int code, std::string_view message);
void SetRuntimeErrorReporter(RuntimeErrorReporter reporter);
[[noreturn]] void ReportRuntimeError(int code, std::string_view message);

}  // namespace tarnwick
