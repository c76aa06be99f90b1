#include "text/runtime_error.h"

#include <atomic>
#include <cstdlib>

namespace tarnwick {

namespace {

std::atomic<RuntimeErrorReporter> g_reporter{nullptr};

}  // namespace

void SetRuntimeErrorReporter(RuntimeErrorReporter reporter) {
    g_reporter.store(reporter);
}

void ReportRuntimeError(int code, std::string_view message) {
    if (const RuntimeErrorReporter reporter = g_reporter.load()) {
        reporter(code, message);
    }
    // A reporter that returns has shown its dialog; the exit handlers must not run.
    std::_Exit(-1);
}

}  // namespace tarnwick
