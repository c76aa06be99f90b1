// The Qt front end's side of the fatal path: the error dialog, and standard error when there is
// no window system.
#include "app/fatal_error.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <string_view>

#include "app/qt/text_boundary.h"
#include "app/runtime.h"
#include "text/code_page.h"
#include "text/runtime_error.h"

namespace tarnwick {

namespace {

std::atomic<bool> g_dialogsEnabled{false};
std::atomic<bool> g_workerReported{false};
std::atomic<QtMessageHandler> g_qtHandler{nullptr};
thread_local bool t_reporting = false;

[[noreturn]] void BlockUntilProcessEnds() {
    while (true) {
        ::pause();
    }
}

void WriteAll(const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, bytes, length);
        if (written <= 0) {
            return;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

// UTF-8 for the terminal; the code-page bytes themselves when no converter can be had.
void WriteErrorToStandardError(int code, std::string_view message) {
    std::array<char, kRuntimeErrorTextBytes> composed;
    const std::string_view text = ComposeRuntimeErrorText(code, message, composed);
    std::array<char, 2 * kRuntimeErrorTextBytes> utf8;  // two code-page bytes become three at most
    const std::string_view converted = AnsiToUtf8(text, utf8);
    const std::string_view written = converted.empty() ? text : converted;
    WriteAll(written.data(), written.size());
}

QString ErrorDialogText(int code, std::string_view message) {
    std::array<char, kRuntimeErrorTextBytes> composed;
    QString text = QStringFromText(Text(ComposeRuntimeErrorText(code, message, composed)));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// No owner window and not modal: as with the original dialog, MainWindow keeps working
// (and other workers' results keep arriving) while the dialog waits for its OK.
void ShowErrorDialog(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::NonModal);
    bool closed = false;
    QObject::connect(&box, &QDialog::finished, &box, [&closed] { closed = true; });
    box.show();
    box.raise();
    box.activateWindow();
    // Not a QEventLoop: once the main loop has been told to quit, Qt ends new loops at once.
    while (!closed) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void ReportThroughWindow(int code, std::string_view message) {
    if (t_reporting) {
        // The report itself failed (no memory left even for it): the terminal is all there is.
        WriteErrorToStandardError(code, message);
        std::_Exit(-1);
    }
    t_reporting = true;
    ReleaseMemorySetAside();
    if (!g_dialogsEnabled.load()) {
        WriteErrorToStandardError(code, message);
        std::_Exit(-1);
    }
    const QString text = ErrorDialogText(code, message);
    if (OnGuiThread()) {
        ShowErrorDialog(text);
        std::_Exit(-1);
    }
    // Widgets live on the GUI thread: the dialog is shown there while this worker waits for
    // the process to end. A second worker's error waits behind the first one's dialog.
    if (!g_workerReported.exchange(true)) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [text] {
                t_reporting = true;
                ShowErrorDialog(text);
                std::_Exit(-1);
            },
            Qt::QueuedConnection);
    }
    BlockUntilProcessEnds();
}

void WatchWindowSystemStart(QtMsgType type, const QMessageLogContext& context,
                            const QString& text) {
    if (type == QtFatalMsg) {
        ReportRuntimeError(0, kLoadWindowFailed);
    }
    if (const QtMessageHandler previous = g_qtHandler.load()) {
        previous(type, context, text);
    }
}

}  // namespace

void InstallFatalErrorReporting() {
    InitRuntime();
    SetMemoryAside();
    SetRuntimeErrorReporter(&ReportThroughWindow);
    g_qtHandler.store(qInstallMessageHandler(&WatchWindowSystemStart));
}

void EnableErrorDialogs() {
    qInstallMessageHandler(g_qtHandler.exchange(nullptr));
    g_dialogsEnabled.store(true);
}

}  // namespace tarnwick
