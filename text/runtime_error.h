// The one fatal path of the program: a dialog (or standard error) and exit code -1.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

inline constexpr std::string_view kDivideByZeroMessage =
    "\xB2\xBB\xC4\xDC\xC7\xF3\xD3\xE0\xCA\xFD\xD3\xDA\xC1\xE3";  // "不能求余数于零"

// The dialog text for an error (code 0 = no number), in code page 936.
Text BuildRuntimeErrorText(int code, std::string_view message);

// Shows the error and ends the process; never returns. Until the window layer installs
// its own reporter, the text goes to standard error.
using RuntimeErrorReporter = void (*)(int code, std::string_view message);
void SetRuntimeErrorReporter(RuntimeErrorReporter reporter);
[[noreturn]] void ReportRuntimeError(int code, std::string_view message);

}  // namespace tarnwick
