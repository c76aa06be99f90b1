// The Qt front end's side of the fatal path: the error dialog, and standard error when there is
// no window system.
#include "app/fatal_error.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
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
void WriteToStandardError(std::string_view text) {
    std::array<char, 2 * kRuntimeErrorTextBytes> utf8;  // two code-page bytes become three at most
    const std::string_view converted = AnsiToUtf8(text, utf8);
    const std::string_view written = converted.empty() ? text : converted;
    WriteAll(written.data(), written.size());
}

// No owner window and not modal: as with the original dialog, MainWindow keeps working
// (and other workers' results keep arriving) while the dialog waits for its OK.
void ShowErrorDialog(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringFromText(Text(kErrorCaption)), text,
                    QMessageBox::Ok);
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

void InstallFrontEndFatalHooks() {
    g_qtHandler.store(qInstallMessageHandler(&WatchWindowSystemStart));
}

void EnableErrorDialogs() {
    qInstallMessageHandler(g_qtHandler.exchange(nullptr));
    g_dialogsEnabled.store(true);
}

void ShowFatalError(std::string_view text, bool dialogPossible) {
    // Without a window system, or when the dialog itself failed, the terminal is all there is.
    if (!dialogPossible || !g_dialogsEnabled.load()) {
        WriteToStandardError(text);
        return;
    }
    QString shown = QStringFromText(Text(text));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (OnGuiThread()) {
        ShowErrorDialog(shown);
        return;
    }
    // Widgets live on the GUI thread: the dialog is shown there while this worker waits for
    // the process to end. A second worker's error waits behind the first one's dialog.
    if (!g_workerReported.exchange(true)) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [shown] {
                ShowErrorDialog(shown);
                std::_Exit(-1);
            },
            Qt::QueuedConnection);
    }
    BlockUntilProcessEnds();
}

}  // namespace tarnwick
