#include "text/runtime_error.h"

#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {

namespace {

// "运行时出错!", "错误代码：", "错误信息：" in code page 936.
constexpr std::string_view kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";
constexpr std::string_view kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
constexpr std::string_view kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";

void WriteToStandardError(int code, std::string_view message) {
    const Text text = BuildRuntimeErrorText(code, message);
    // write(2) rather than stdio: this may run with the heap exhausted.
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, text.data(), text.size());
}

std::atomic<RuntimeErrorReporter> g_reporter{&WriteToStandardError};

}  // namespace

Text BuildRuntimeErrorText(int code, std::string_view message) {
    Text text(kHeading);
    text += "\r\n\r\n";
    if (code != 0) {
        text += kCodeLabel;
        text += std::to_string(code);
        text += "\r\n\r\n";
    }
    if (!message.empty()) {
        text += kMessageLabel;
        text += message;
        text += "\r\n";
    }
    return text;
}

void SetRuntimeErrorReporter(RuntimeErrorReporter reporter) {
    g_reporter.store(reporter != nullptr ? reporter : &WriteToStandardError);
}

void ReportRuntimeError(int code, std::string_view message) {
    g_reporter.load()(code, message);
    // A reporter that returns has shown its dialog; the exit handlers must not run.
    std::_Exit(-1);
}

}  // namespace tarnwick
