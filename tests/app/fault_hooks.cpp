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
#include "app/layout.h"
#include "text/runtime_error.h"

namespace tarnwick::fault {

namespace {

std::atomic<std::size_t> g_failingSize{0};
std::atomic<std::thread::id> g_failingThread{};
const QByteArray g_action = qgetenv("TARNWICK_TEST_ACTION");

void Log(const QString& line) {
    std::fprintf(stderr, "@ %s\n", line.toUtf8().constData());
}

void FailAnAllocationOnThisThread() {
    g_failingThread.store(std::this_thread::get_id());
    g_failingSize.store(100);
    ::operator delete(::operator new(100));
}

void RunAction(QWidget* window) {
    if (g_action == "oom" || g_action == "oom-in-report") {
        FailAnAllocationOnThisThread();
    } else if (g_action == "oom-worker") {
        std::thread(FailAnAllocationOnThisThread).detach();
    } else if (g_action == "close-after-generate") {
        // With a worker that never ends and keeps using the heap while the program ends.
        std::thread([] {
            while (true) {
                static_cast<void>(std::string(256, 'x'));
            }
        }).detach();
        window->findChild<QAbstractButton*>(QString::fromUtf8(layout::kGenerateButton))->click();
    }
    if (g_action.startsWith("close")) {
        window->close();
    }
}

// Caption, icon, the one button, the thread that showed it, the text and whether it is plain.
QString DialogSeen(QMessageBox* box) {
    const bool onGui = QThread::currentThread() == qApp->thread();
    return QStringLiteral("dialog|%1|%2|%3|%4|%5|%6")
        .arg(box->windowTitle(), box->icon() == QMessageBox::Critical ? "critical" : "",
             box->buttons().size() == 1 ? box->buttons().front()->text() : "", onGui ? "gui" : "",
             box->text().replace(QLatin1Char('\n'), QStringLiteral("\\n")),
             box->textFormat() == Qt::PlainText ? "plain" : "");
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
                Log(DialogSeen(box));
                if (g_action == "oom-in-report") {
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
    return g_action == "window";
}

void NoteExitHandlerRun() {
    Log(QStringLiteral("exit-handler"));
    // The HTTP client is loaded by the first Generate click, never without one.
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly) || maps.readAll().contains("tarnwick_http")) {
        Log(QStringLiteral("http-stack-mapped"));
    }
    // Results that workers post after the loop must find the window gone.
    if (!QApplication::topLevelWidgets().isEmpty()) {
        Log(QStringLiteral("window-kept"));
    }
}

}  // namespace tarnwick::fault

static void InstallFaultHooks() {
    // Before the dialogs are enabled, with bytes no converter takes: the terminal gets them raw.
    if (tarnwick::fault::g_action == "undecodable") {
        tarnwick::ReportRuntimeError(6, "\x81");
    }
    qApp->installEventFilter(new tarnwick::fault::Hooks(qApp));
}
Q_COREAPP_STARTUP_FUNCTION(InstallFaultHooks)
