// The Qt front end: MainWindow, its loop, the clipboard, and the end handed to the GUI thread.
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWindow>
#include <memory>

#include "app/front_end.h"
#include "app/program_routines.h"
#include "app/qt/main_window.h"
#include "app/qt/text_boundary.h"
#include "app/qt/window_shorten_host.h"
#include "app/runtime.h"
#include "shorten/never_destroyed.h"
#include "shorten/shorten_job.h"

namespace tarnwick {

namespace {

struct QtProgram {
    std::unique_ptr<QtMainWindow> window;
    // Workers may hold the host until the process ends; it is never destroyed.
    std::unique_ptr<WindowShortenHost> host;
    bool loopEntered = false;
};

// Never destroyed: the process ends with the exit handlers, and a static destructor run later
// would pull the host away from workers that are still busy.
QtProgram& TheProgram() {
    static NeverDestroyed<QtProgram> program;
    return program.Get();
}

}  // namespace

bool CreateMainWindow() {
    QtProgram& program = TheProgram();
    program.window = std::make_unique<QtMainWindow>();
    program.window->winId();
    const QWindow* handle = program.window->windowHandle();
    return handle != nullptr && handle->handle() != nullptr;
}

void ShowMainWindow() {
    QtProgram& program = TheProgram();
    QtMainWindow& window = *program.window;
    program.host = std::make_unique<WindowShortenHost>(window);
    BindProgramRoutines(window, *program.host);
    // MainWindow is the program's only window: its closing ends the loop once entered.
    QObject::connect(&window, &QtMainWindow::closed, qApp, [&program] {
        if (program.loopEntered) {
            QCoreApplication::quit();
        }
    });
    window.show();
    window.activateWindow();
}

void RunMessageLoop() {
    QtProgram& program = TheProgram();
    program.loopEntered = true;
    if (program.window == nullptr || !program.window->isVisible()) {
        return;
    }
    QApplication::exec();
    program.window.reset();
}

bool ClipboardSetText(const Text& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(QStringFromText(text), QClipboard::Clipboard);
    return true;
}

void HandExitToGuiThread(int exitCode) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [exitCode] { ExitProgram(exitCode); }, Qt::BlockingQueuedConnection);
    }
}

}  // namespace tarnwick
