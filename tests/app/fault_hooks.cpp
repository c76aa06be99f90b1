// The fault points of tarnwick_faulty, the test-only build of the program. What it does is
// chosen by TARNWICK_TEST_ACTION once the window is shown; what happened goes, one line per
// event, to the file named by TARNWICK_TEST_LOG. The shipped executable has none of this.
#include <fcntl.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "app/fault_points.h"
#include "text/numbers.h"

namespace tarnwick::fault {

namespace {

std::atomic<std::size_t> g_failingSize{0};
std::atomic<std::thread::id> g_failingThread{};

std::string_view Action() {
    const char* action = std::getenv("TARNWICK_TEST_ACTION");
    return action != nullptr ? action : "";
}

void Log(const QString& line) {
    const char* path = std::getenv("TARNWICK_TEST_LOG");
    if (path == nullptr) {
        return;
    }
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    const int file = ::open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (file >= 0) {
        [[maybe_unused]] const auto written =
            ::write(file, bytes.data(), static_cast<std::size_t>(bytes.size()));
        ::close(file);
    }
}

void FailNextAllocationOnThisThread(std::size_t size) {
    g_failingThread.store(std::this_thread::get_id());
    g_failingSize.store(size);
}

void LogDialog(QMessageBox* box) {
    QString text = box->text();
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    const QList<QAbstractButton*> buttons = box->buttons();
    Log(QStringLiteral("dialog|%1|%2|%3|%4|%5")
            .arg(box->windowTitle(),
                 box->icon() == QMessageBox::Critical ? QStringLiteral("critical")
                                                      : QStringLiteral("other"),
                 buttons.size() == 1 ? buttons.front()->text() : QStringLiteral("buttons"),
                 QThread::currentThread() == qApp->thread() ? QStringLiteral("gui")
                                                            : QStringLiteral("worker"),
                 text));
}

void RunAction(QWidget* window) {
    const std::string_view action = Action();
    if (action == "close") {
        window->close();
    } else if (action == "close-with-worker") {
        // A worker that never ends and keeps using the heap while the program ends.
        std::thread([] {
            while (true) {
                const std::string busy(256, 'x');
                static_cast<void>(busy);
            }
        }).detach();
        window->close();
    } else if (action == "oom") {
        FailNextAllocationOnThisThread(100);
        ::operator delete(::operator new(100));
    } else if (action == "oom-worker") {
        std::thread([] {
            FailNextAllocationOnThisThread(100);
            ::operator delete(::operator new(100));
        }).detach();
    } else if (action == "remainder") {
        Remainder(1, 0);
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
                box->button(QMessageBox::Ok)->click();
            });
        } else if (watched->objectName() == QStringLiteral("MainWindow") && !windowShown_) {
            windowShown_ = true;
            Log(QStringLiteral("window-shown"));
            auto* window = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, window, [window] { RunAction(window); });
        }
        return false;
    }

  private:
    bool windowShown_ = false;
};

}  // namespace

void InstallHooks() {
    qApp->installEventFilter(new Hooks(qApp));
}

bool AllocationFails(std::size_t size) {
    if (size != g_failingSize.load() || std::this_thread::get_id() != g_failingThread.load()) {
        return false;
    }
    g_failingSize.store(0);
    return true;
}

bool WindowCreationFails() {
    return Action() == "window";
}

void NoteExitHandlerRun() {
    Log(QStringLiteral("exit-handler"));
}

}  // namespace tarnwick::fault

static void InstallFaultHooks() {
    tarnwick::fault::InstallHooks();
}
Q_COREAPP_STARTUP_FUNCTION(InstallFaultHooks)
