#include "app/program.h"

#include <QApplication>
#include <QWindow>
#include <cstddef>
#include <memory>
#include <new>

#include "app/clipboard_handover.h"
#include "app/copy_action.h"
#include "app/fatal_error.h"
#include "app/fault_points.h"
#include "app/main_window.h"
#include "app/runtime.h"
#include "app/window_shorten_host.h"
#include "app/window_system.h"
#include "shorten/shorten_job.h"
#include "text/runtime_error.h"

namespace tarnwick {

namespace {

struct Program {
    std::unique_ptr<MainWindow> window;
    // Workers may hold the host until the process ends; it is never destroyed.
    std::unique_ptr<WindowShortenHost> host;
    bool loopEntered = false;
};

// Never destroyed: the process ends with the exit handlers, and a static destructor run
// later would pull the host away from workers that are still busy.
Program& TheProgram() {
    alignas(Program) static std::byte storage[sizeof(Program)];
    static Program* const program = ::new (static_cast<void*>(storage)) Program();
    return *program;
}

// The program's own start-up routine: it has nothing to do.
int RunStartupRoutine() {
    return 0;
}

bool CreateNativeWindow(MainWindow& window) {
    window.winId();
    const QWindow* handle = window.windowHandle();
    return handle != nullptr && handle->handle() != nullptr;
}

// The routines bound to the window's events.
void BindEvents(Program& program) {
    MainWindow& window = *program.window;
    window.BindCopyClick([&window] { OnCopyClicked(window); });
    ShortenHost& host = *program.host;
    window.BindGenerateClick([&host] { OnGenerateClicked(host); });
}

void LoadWindow(Program& program) {
    program.window = std::make_unique<MainWindow>();
    bool created = CreateNativeWindow(*program.window);
#ifdef TARNWICK_FAULT_INJECTION
    created = created && !fault::WindowCreationFails();
#endif
    if (!created) {
        ReportRuntimeError(0, kLoadWindowFailed);
    }
    program.host = std::make_unique<WindowShortenHost>(*program.window);
    BindEvents(program);
    // MainWindow is the program's only window: its closing ends the loop once entered.
    QObject::connect(program.window.get(), &MainWindow::closed, qApp, [&program] {
        if (program.loopEntered) {
            QCoreApplication::quit();
        }
    });
    program.window->show();
    program.window->activateWindow();
}

void RunMessageLoop(Program& program) {
    program.loopEntered = true;
    if (program.window == nullptr || !program.window->isVisible()) {
        return;
    }
    QApplication::exec();
    // The closed window is destroyed; what workers post from now on finds it gone.
    program.window.reset();
}

}  // namespace

void FreeJobTexts() {
#ifdef TARNWICK_FAULT_INJECTION
    fault::NoteExitHandlerRun();
#endif
    ProgramShortenJobs().FreeJobTexts();
}

int StartProgram() {
    Program& program = TheProgram();
    InitRuntime();
    RegisterExitHandler(&FreeJobTexts);
    RunStartupRoutine();
    LoadWindow(program);
    RunMessageLoop(program);
    return 0;
}

}  // namespace tarnwick

int main(int argc, char* argv[]) {
    tarnwick::InstallFatalErrorReporting();
    tarnwick::RaiseOpenFileLimit();
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
