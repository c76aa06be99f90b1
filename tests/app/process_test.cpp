// The tarnwick executable and its test-only build, run as processes. Under xvfb-run: the
// executable on an X display, driven as a user would drive it, with the provider simulator as
// its HTTP proxy and a stand-in clipboard manager; then how the program ends, fault by fault.
// A whole job through the window, and the window class, are the Wayland and package checks'.
#include <sys/resource.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <memory>

#include "app/layout.h"
#include "shorten/hosts.h"
#include "tests/support/provider_simulator.h"

// Last: the X headers define macros that clash with Qt's names.
#include <X11/Xlib.h>

using namespace tarnwick;

namespace {

// The caller's environment with no proxy or platform settings, and the given names set.
QProcessEnvironment Environment(std::initializer_list<std::pair<const char*, QString>> changes) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY", "QT_QPA_PLATFORM",
                             "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"}) {
        environment.remove(QString::fromLatin1(name));
    }
    for (const auto& [name, value] : changes) {
        environment.insert(QString::fromLatin1(name), value);
    }
    return environment;
}

QPoint CentreInClientArea(const layout::ControlSpec& spec) {
    const layout::Rect place = layout::PlaceInClientArea(spec);
    return {place.left + place.width / 2, place.top + place.height / 2};
}

// A press and its release, as a user at the display gives them. Key and button events share
// their layout, and the mask of each event type is the bit of its distance from KeyPress.
void PressAndRelease(Display* display, Window window, int pressType, unsigned detail,
                     unsigned state, int x = 0, int y = 0) {
    XEvent event{};
    XKeyEvent& key = event.xkey;
    key.window = window;
    key.x = x;
    key.y = y;
    key.keycode = detail;
    key.same_screen = True;
    for (const int type : {pressType, pressType + 1}) {
        key.type = type;
        key.state = state | (type == ButtonRelease ? Button1Mask : 0);
        XSendEvent(display, window, True, 1L << (type - KeyPress), &event);
    }
    XFlush(display);
}

// The clipboard manager in miniature: asked to save the clipboard, it fetches the text from
// the owner before it answers, so that the text outlives the program that copied it.
void ServeClipboardManager(Display* display, std::string& saved) {
    XEvent event;
    while (XPending(display) > 0) {
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) {
            continue;
        }
        saved = QGuiApplication::clipboard()->text().toStdString();
        const Window requestor = event.xselectionrequest.requestor;
        XEvent answer{};
        answer.xselection.type = SelectionNotify;
        answer.xselection.requestor = requestor;
        XSendEvent(display, requestor, False, NoEventMask, &answer);
        XFlush(display);
    }
}

}  // namespace

class ProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void shortenUnderXvfbAndCloseWhileAJobWaits() {
        const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr),
                                                                  &XCloseDisplay);
        QVERIFY2(display != nullptr, "no X display");
        const auto atom = [&](const char* name) { return XInternAtom(display.get(), name, False); };
        XSetSelectionOwner(display.get(), atom("CLIPBOARD_MANAGER"),
                           XCreateSimpleWindow(display.get(), DefaultRootWindow(display.get()), 0,
                                               0, 1, 1, 0, 0, 0),
                           CurrentTime);
        XSync(display.get(), False);
        ProviderSimulator simulator;
        QProcess tool;
        tool.setProcessEnvironment(
            Environment({{"http_proxy", QString::fromStdString(simulator.ProxyAddress())}}));
        // A low soft limit on descriptors: the tool raises it to the hard one, so that jobs a
        // burst of clicks superseded cannot use up what the latest one needs.
        tool.setChildProcessModifier([] {
            const rlimit descriptors{32, 64};
            ::setrlimit(RLIMIT_NOFILE, &descriptors);
        });
        tool.start(QStringLiteral(TARNWICK_EXE), {});
        // Without a window manager, the window that the tool activates takes the focus itself.
        Window window = 0;
        int revert = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (XGetInputFocus(display.get(), &window, &revert), window > PointerRoot), 20000);
        QFile limits(QStringLiteral("/proc/%1/limits").arg(tool.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(QString(limits.readAll()).simplified().contains("Max open files 64 64 "));
        const auto click = [&](const layout::ControlSpec& control) {
            const QPoint at = CentreInClientArea(control);
            PressAndRelease(display.get(), window, ButtonPress, Button1, 0, at.x(), at.y());
        };
        // A link typed into the short-link box and copied: what the clipboard manager must keep.
        click(layout::Control(layout::kShortLinkBox));
        PressAndRelease(display.get(), window, KeyPress,
                        XKeysymToKeycode(display.get(), XStringToKeysym("x")), 0);
        click(layout::Control(layout::kCopyButton));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), QStringLiteral("x"), 20000);

        // Closing while a job waits on a service that never answers ends the tool at once.
        simulator.SetFailure(TARNWICK_PROVIDER1_HOST, ProviderSimulator::Failure::kNeverAnswer);
        click(layout::Control(layout::kGenerateButton));
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), std::size_t{1}, 20000);
        QElapsedTimer clock;
        clock.start();
        // What the frame's close button sends.
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = atom("WM_PROTOCOLS");
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
        XSendEvent(display.get(), window, False, NoEventMask, &close);
        XFlush(display.get());
        // The desktop's clipboard manager is handed the copied link before the end.
        std::string saved;
        QVERIFY(QTest::qWaitFor(
            [&] {
                ServeClipboardManager(display.get(), saved);
                return tool.state() == QProcess::NotRunning;
            },
            20000));
        // The job would need its 15-second time-out to end by itself, an unanswered hand-over
        // of the clipboard 5 s.
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(saved, "x");
    }

    // The test-only build does the row's action once its window shows (offscreen); what
    // happened comes first on its standard error, a line of "@ " each.
    void closeEndsWithZeroAfterTheExitHandlerAndFatalErrorsWith255WithoutIt() {
        const QString shown = QStringLiteral("@ window-shown");
        const QStringList closed{shown, QStringLiteral("@ exit-handler")};
        // Caption, icon, the one button, the thread that showed it, the text.
        const auto dialog = [](const char* message) {
            return QStringLiteral("@ dialog|错误|critical|OK|gui|运行时出错!\\n\\n错误信息：") +
                   QString::fromUtf8(message) + QStringLiteral("\\n|plain");
        };
        const QString noMemory = dialog("分配 100 字节内存失败!");
        const struct {
            const char* action;
            bool offscreen;  // or on a display that cannot be reached (Qt first says why)
            int exitCode;
            QStringList log;
            QByteArray standardError;  // its end
        } rows[] = {
            // clang-format off
            {"close", true, 0, closed, ""},
            // With a worker that keeps using the heap while the program ends.
            {"close-after-generate", true, 0, closed + QStringList("@ http-stack-mapped"), ""},
            {"oom", true, 255, {shown, noMemory}, ""},
            {"oom-worker", true, 255, {shown, noMemory}, ""},
            // The report of the failure fails too: the terminal has the text, the code stays.
            {"oom-in-report", true, 255, {shown, noMemory}, "：分配 100 字节内存失败!\r\n"},
            {"window", true, 255, {dialog("载入启动窗口失败")}, ""},
            // Code page 936 where no UTF-8 can be had.
            {"undecodable", true, 255, {}, "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA" "6\r\n\r\n"
             "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA\x81\r\n"},
            {"", false, 255, {}, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"},
            // clang-format on
        };
        for (const auto& row : rows) {
            QProcess process;  // a click's job goes to a closed loopback port and nowhere else
            process.setProcessEnvironment(Environment(
                {{"QT_QPA_PLATFORM", row.offscreen ? QStringLiteral("offscreen") : QString()},
                 {"DISPLAY", QStringLiteral(":4093")},
                 {"TARNWICK_TEST_ACTION", QString::fromLatin1(row.action)},
                 {"http_proxy", QStringLiteral("http://127.0.0.1:9")}}));
            process.start(QStringLiteral(TARNWICK_FAULTY_EXE), {});
            QVERIFY(process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit);
            const QByteArray standardError = process.readAllStandardError();
            QCOMPARE(process.exitCode(), row.exitCode);
            QVERIFY2(standardError.endsWith(row.standardError), standardError.constData());
            QCOMPARE(QString::fromUtf8(standardError)
                         .split(QLatin1Char('\n'))
                         .filter(QStringLiteral("@ ")),
                     row.log);
        }
    }
};

QTEST_MAIN(ProcessTest)
#include "process_test.moc"
