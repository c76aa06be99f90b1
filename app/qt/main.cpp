#include <sys/resource.h>

#include <QApplication>

#include "app/fatal_error.h"
#include "app/program.h"
#include "app/qt/clipboard_handover.h"
#include "app/qt/window_system.h"
#include "app/runtime.h"
#include "text/runtime_error.h"

namespace {

// Lets the process use as many open descriptors as its hard limit allows: every waiting
// request holds a connection, and bursts of clicks start many of them.
void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    tarnwick::InstallFatalErrorReporting();
    RaiseOpenFileLimit();
    if (!tarnwick::WindowSystemNamed()) {
        tarnwick::ReportRuntimeError(0, tarnwick::kLoadWindowFailed);
    }
    tarnwick::PreferPlatform();
    // The tool takes no command line: Qt gets the program's name only.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    // The desktop matches the window to its menu entry and icon by these (WM_CLASS, app_id),
    // whatever the executable is called.
    QApplication::setApplicationName(QStringLiteral("tarnwick"));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tarnwick.Tarnwick"));
    QApplication::setQuitOnLastWindowClosed(false);
    tarnwick::EnableErrorDialogs();
    tarnwick::StartProgram();
    // Before the exit handlers: nothing the loop of the hand-over serves may run after them.
    tarnwick::HandClipboardToManager();
    tarnwick::ExitProgram(0);
}
