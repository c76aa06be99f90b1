#include "app/fatal_error.h"

#include <iconv.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/app_texts.h"
#include "app/runtime.h"
#include "app/text_boundary.h"
#include "text/runtime_error.h"

namespace tarnwick {

namespace {

// "运行时出错!", "错误代码：", "错误信息：" in code page 936.
constexpr std::string_view kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";
constexpr std::string_view kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
constexpr std::string_view kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";

// Enough for the message box, the font it loads and the event it posts, once the heap is full.
constexpr std::size_t kReserveBytes = std::size_t{4} << 20;

std::atomic<void*> g_reserve{nullptr};
std::atomic<bool> g_dialogsEnabled{false};
std::atomic<bool> g_workerReported{false};
std::atomic<QtMessageHandler> g_qtHandler{nullptr};
thread_local bool t_reporting = false;

void ReleaseReserve() {
    std::free(g_reserve.exchange(nullptr));
}

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
    std::array<char, 4096> composed;
    const std::string_view text = ComposeErrorText(code, message, composed);
    std::array<char, 8192> utf8;
    const iconv_t converter = iconv_open("UTF-8", "GB18030");
    if (reinterpret_cast<std::intptr_t>(converter) != -1) {
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char* out = utf8.data();
        std::size_t outLeft = utf8.size();
        const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        iconv_close(converter);
        if (result != static_cast<std::size_t>(-1) && inLeft == 0) {
            WriteAll(utf8.data(), utf8.size() - outLeft);
            return;
        }
    }
    WriteAll(text.data(), text.size());
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
    ReleaseReserve();
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
    void* expected = nullptr;
    void* reserve = std::malloc(kReserveBytes);
    if (!g_reserve.compare_exchange_strong(expected, reserve)) {
        std::free(reserve);
    }
    SetRuntimeErrorReporter(&ReportThroughWindow);
    g_qtHandler.store(qInstallMessageHandler(&WatchWindowSystemStart));
}

void EnableErrorDialogs() {
    qInstallMessageHandler(g_qtHandler.exchange(nullptr));
    g_dialogsEnabled.store(true);
}

AllocationFailureMessage::AllocationFailureMessage(std::size_t size) {
    const auto append = [this](std::string_view part) {
        std::memcpy(bytes_.data() + length_, part.data(), part.size());
        length_ += part.size();
    };
    append(kAllocationFailedBefore);
    const auto digits = std::to_chars(bytes_.data() + length_, bytes_.data() + bytes_.size(), size);
    length_ = static_cast<std::size_t>(digits.ptr - bytes_.data());
    append(kAllocationFailedAfter);
}

void ReportOutOfMemory(std::size_t size) {
    ReleaseReserve();
    const AllocationFailureMessage message(size);
    ReportRuntimeError(0, message.View());
}

std::string_view ComposeErrorText(int code, std::string_view message, std::span<char> buffer) {
    std::size_t used = 0;
    const auto append = [&](std::string_view part) {
        const std::size_t count = std::min(part.size(), buffer.size() - used);
        std::memcpy(buffer.data() + used, part.data(), count);
        used += count;
    };
    append(kHeading);
    append("\r\n\r\n");
    if (code != 0) {
        std::array<char, 16> digits;
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), code).ptr;
        append(kCodeLabel);
        append({digits.data(), static_cast<std::size_t>(end - digits.data())});
        append("\r\n\r\n");
    }
    if (!message.empty()) {
        append(kMessageLabel);
        append(message);
        append("\r\n");
    }
    return {buffer.data(), used};
}

QString ErrorDialogText(int code, std::string_view message) {
    QString text = QStringFromText(BuildRuntimeErrorText(code, message));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace tarnwick
