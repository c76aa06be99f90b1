// LD_PRELOAD'ed into a Qt program: writes "<realtime ns when the first window was painted>
// <resident KiB one second later>" to $STARTUP_PROBE_OUT, then asks the program to quit.
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <ctime>

namespace {

long long RealtimeNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

QByteArray ResidentKibibytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return "0";
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0);
        }
    }
    return "0";
}

class Probe final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Expose) {
            const auto* window = qobject_cast<QWindow*>(watched);
            if (window != nullptr && window->isExposed()) {
                seen_ = true;
                // The expose is handled (and the window painted) before this timer fires.
                QTimer::singleShot(0, this, [this] {
                    shownAt_ = RealtimeNanoseconds();
                    QTimer::singleShot(1000, this, [this] { Report(); });
                });
            }
        }
        return false;
    }

  private:
    void Report() const {
        QFile out(QString::fromLocal8Bit(qgetenv("STARTUP_PROBE_OUT")));
        if (out.open(QIODevice::WriteOnly | QIODevice::Append)) {
            out.write(QByteArray::number(shownAt_) + ' ' + ResidentKibibytes() + '\n');
        }
        QCoreApplication::quit();
    }

    bool seen_ = false;
    long long shownAt_ = 0;
};

}  // namespace

static void InstallStartupProbe() {
    QCoreApplication::instance()->installEventFilter(new Probe(QCoreApplication::instance()));
}
Q_COREAPP_STARTUP_FUNCTION(InstallStartupProbe)
