// The fault points of tarnwick_faulty, the test-only build of the program. What it does is
// chosen by TARNWICK_TEST_ACTION once the window is shown; what happened goes to standard
// error, one line per event, marked with "@ ". The shipped executable has none of this.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "app/fault_points.h"
#include "text/numbers.h"
#include "text/runtime_error.h"

namespace tarnwick::fault {

namespace {

std::atomic<std::size_t> g_failingSize{0};
std::atomic<std::thread::id> g_failingThread{};

QByteArray Action() {
    return qgetenv("TARNWICK_TEST_ACTION");
}

void Log(const QString& line) {
    std::fprintf(stderr, "@ %s\n", line.toUtf8().constData());
}

void FailAnAllocationOnThisThread() {
    g_failingThread.store(std::this_thread::get_id());
    g_failingSize.store(100);
    ::operator delete(::operator new(100));
}

// Caption, icon, the one button, the thread that showed it, the text.
void LogDialog(QMessageBox* box) {
    Log(QStringList({QStringLiteral("dialog"), box->windowTitle(),
                     box->icon() == QMessageBox::Critical ? QStringLiteral("critical") : QString(),
                     box->buttons().size() == 1 ? box->buttons().front()->text() : QString(),
                     QThread::currentThread() == qApp->thread() ? QStringLiteral("gui") : QString(),
                     box->text().replace(QLatin1Char('\n'), QStringLiteral("\\n"))})
            .join(QLatin1Char('|')));
}

void RunAction(QWidget* window) {
    const QByteArray action = Action();
    if (action == "oom" || action == "oom-in-report") {
        FailAnAllocationOnThisThread();
    } else if (action == "oom-worker") {
        std::thread(FailAnAllocationOnThisThread).detach();
    } else if (action == "remainder") {
        Remainder(1, 0);
    } else if (action == "close-with-worker") {
        // A worker that never ends and keeps using the heap while the program ends.
        std::thread([] {
            while (true) {
                static_cast<void>(std::string(256, 'x'));
            }
        }).detach();
    } else if (action == "close-after-generate") {
        window->findChild<QAbstractButton*>(QStringLiteral("按钮1"))->click();
    }
    if (action.startsWith("close")) {
        window->close();
    }
}

class Hooks final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) {
            return false;
        }
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            QTimer::singleShot(0, box, [box] {
                LogDialog(box);
                if (Action() == "oom-in-report") {
                    FailAnAllocationOnThisThread();  // the report itself fails
                }
                box->button(QMessageBox::Ok)->click();
            });
        } else if (watched->objectName() == QStringLiteral("MainWindow")) {
            Log(QStringLiteral("window-shown"));
            auto* window = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, window, [window] { RunAction(window); });
        }
        return false;
    }
};

}  // namespace

bool AllocationFails(std::size_t size) {
    std::size_t failing = size;
    return size != 0 && std::this_thread::get_id() == g_failingThread.load() &&
           g_failingSize.compare_exchange_strong(failing, 0);
}

bool WindowCreationFails() {
    return Action() == "window";
}

void NoteExitHandlerRun() {
    Log(QStringLiteral("exit-handler"));
    // The HTTP client is loaded by the first Generate click, never without one.
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly) || maps.readAll().contains("tarnwick_http")) {
        Log(QStringLiteral("http-stack-mapped"));
    }
    // Results that workers post after the loop must find the window gone.
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("MainWindow")) {
            Log(QStringLiteral("window-kept"));
        }
    }
}

}  // namespace tarnwick::fault

static void InstallFaultHooks() {
    // Before the dialogs are enabled, with bytes no converter takes: the terminal gets them raw.
    if (tarnwick::fault::Action() == "undecodable") {
        tarnwick::ReportRuntimeError(0, "\x81");
    }
    qApp->installEventFilter(new tarnwick::fault::Hooks(qApp));
}
Q_COREAPP_STARTUP_FUNCTION(InstallFaultHooks)
