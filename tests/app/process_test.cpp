// The tarnwick executable and its test-only build, run as processes. Under xvfb-run: the
// executable on an X display, driven as a user would drive it, with the provider simulator as
// its HTTP proxy and a stand-in clipboard manager; then how the program ends, fault by fault.
#include <sys/resource.h>

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <memory>

#include "shorten/hosts.h"
#include "tests/support/provider_simulator.h"

// Last: the X headers define macros that clash with Qt's names.
#include <X11/Xlib.h>

using namespace tarnwick;

namespace {

// Client-area points inside the controls.
constexpr int kLongLinkX = 79 + 120, kLongLinkY = 108 + 10;
constexpr int kRadio3X = 102 + 8, kRadio3Y = 46 + 8;
constexpr int kGenerateX = 211 + 30, kButtonY = 183 + 12, kCopyX = 281 + 30;

// The caller's environment with no proxy settings, and the given names set (empty: removed).
QProcessEnvironment Environment(std::initializer_list<std::pair<const char*, QString>> changes) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    for (const auto& [name, value] : changes) {
        environment.remove(QString::fromLatin1(name));
        if (!value.isEmpty()) {
            environment.insert(QString::fromLatin1(name), value);
        }
    }
    return environment;
}

// The exit code (-1 when the process did not end by itself within a minute) and what it wrote
// to its standard error.
std::pair<int, QByteArray> Run(const char* program, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromUtf8(program), {});
    const bool ended =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardError()};
}

// A press and its release, as a user at the display gives them. Key and button events share
// their layout, and the mask of each event type is the bit of its distance from KeyPress.
void PressAndRelease(Display* display, Window window, int pressType, unsigned detail,
                     unsigned state, int x = 0, int y = 0) {
    XEvent event{};
    XKeyEvent& key = event.xkey;
    key.display = display;
    key.window = window;
    key.root = DefaultRootWindow(display);
    key.x = x;
    key.y = y;
    key.keycode = detail;
    key.same_screen = True;
    Window child = 0;
    XTranslateCoordinates(display, window, key.root, x, y, &key.x_root, &key.y_root, &child);
    for (const int type : {pressType, pressType + 1}) {
        key.type = type;
        key.state = state | (type == ButtonRelease ? Button1Mask : 0);
        XSendEvent(display, window, True, 1L << (type - KeyPress), &event);
    }
    XFlush(display);
}

// The clipboard manager in miniature: asked to save the clipboard, it fetches the text from
// the owner before it answers, so that the text outlives the program that copied it.
void ServeClipboardManager(Display* display, Window manager, std::string& saved) {
    XEvent event;
    while (XPending(display) > 0) {
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) {
            continue;
        }
        const XSelectionRequestEvent request = event.xselectionrequest;
        const Atom property = XInternAtom(display, "TARNWICK_SAVED", False);
        XConvertSelection(display, XInternAtom(display, "CLIPBOARD", False),
                          XInternAtom(display, "UTF8_STRING", False), property, manager,
                          CurrentTime);
        XIfEvent(
            display, &event,
            [](Display*, XEvent* e, XPointer) -> Bool { return e->type == SelectionNotify; },
            nullptr);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, manager, property, 0, 1L << 24, True, AnyPropertyType, &type,
                           &format, &count, &left, &data);
        saved.assign(reinterpret_cast<const char*>(data), data != nullptr ? count : 0);
        XFree(data);
        // The tool asks with no property of its own: the answer names the target instead.
        XEvent answer{};
        answer.xselection.type = SelectionNotify;
        answer.xselection.requestor = request.requestor;
        answer.xselection.selection = request.selection;
        answer.xselection.target = request.target;
        answer.xselection.property = request.target;
        XSendEvent(display, request.requestor, False, NoEventMask, &answer);
        XFlush(display);
    }
}

}  // namespace

class ProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void shortenUnderXvfbAfterABurstAndCloseWhileAJobWaits() {
        const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr),
                                                                  &XCloseDisplay);
        QVERIFY2(display != nullptr, "no X display");
        const Window manager = XCreateSimpleWindow(display.get(), DefaultRootWindow(display.get()),
                                                   0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display.get(), XInternAtom(display.get(), "CLIPBOARD_MANAGER", False),
                           manager, CurrentTime);
        XSync(display.get(), False);
        ProviderSimulator simulator;
        simulator.SetFailure(TARNWICK_PROVIDER1_HOST, ProviderSimulator::Failure::kNeverAnswer);
        QProcess tool;
        tool.setProcessEnvironment(
            Environment({{"http_proxy", QString::fromStdString(simulator.ProxyAddress())},
                         {"QT_QPA_PLATFORM", QString()}}));
        // A low hard limit on descriptors; the tool raises the soft one to it at start.
        constexpr rlim_t kLimit = 64;
        tool.setChildProcessModifier([] {
            const rlimit descriptors{kLimit / 2, kLimit};
            ::setrlimit(RLIMIT_NOFILE, &descriptors);
        });
        tool.start(QStringLiteral(TARNWICK_EXE), {});
        // Without a window manager, the window that the tool activates takes the focus itself.
        Window window = 0;
        int revert = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (XGetInputFocus(display.get(), &window, &revert), window > PointerRoot), 20000);
        const auto click = [&](int x, int y) {
            PressAndRelease(display.get(), window, ButtonPress, Button1, 0, x, y);
        };
        // Clicks Copy until the clipboard holds text: the job's link has reached its box.
        const auto copiedOnceShown = [&](const std::string& text) {
            return QTest::qWaitFor(
                [&] {
                    click(kCopyX, kButtonY);
                    return QGuiApplication::clipboard()->text() == QString::fromStdString(text);
                },
                20000);
        };
        QFile limits(QStringLiteral("/proc/%1/limits").arg(tool.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLatin1(limits.readAll())
                    .contains(QRegularExpression(QStringLiteral("Max open files +64 +64 "))));

        // Every click supersedes the jobs before it; their connections must not use up what
        // the latest one needs.
        QGuiApplication::clipboard()->setText(QStringLiteral("before the burst"));
        for (rlim_t i = 0; i < 3 * kLimit; ++i) {
            click(kGenerateX, kButtonY);
        }
        // Copy comes after the burst: once the tool owns the clipboard, every click was handled.
        click(kCopyX, kButtonY);
        QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::clipboard()->ownsClipboard(), 20000);
        // Well before the requests' own 15-second time-out would let go of them.
        const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(tool.processId()));
        QTRY_VERIFY_WITH_TIMEOUT(
            descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size() <
                static_cast<qsizetype>(kLimit / 2),
            5000);
        std::size_t held = simulator.HeldCount();
        click(kGenerateX, kButtonY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), held + 1, 20000);
        simulator.ReleaseHeldRequests(true);
        QVERIFY(copiedOnceShown(
            ProviderSimulator::ShortLinkFor(TARNWICK_PROVIDER1_HOST, "https://www.iana.org/")));

        // The long address is pasted, as a user would; it goes out in code page 936, which is
        // what the simulator decodes and names its link after.
        QGuiApplication::clipboard()->setText(QStringLiteral("http://例.test/文?q=中>~~"));
        click(kLongLinkX, kLongLinkY);
        for (const char* key : {"a", "v"}) {
            PressAndRelease(display.get(), window, KeyPress,
                            XKeysymToKeycode(display.get(), XStringToKeysym(key)), ControlMask);
        }
        click(kRadio3X, kRadio3Y);
        click(kGenerateX, kButtonY);
        const std::string link = ProviderSimulator::ShortLinkFor(
            TARNWICK_PROVIDER3_HOST, "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~");
        QVERIFY(copiedOnceShown(link));

        // Closing while a job waits on a service that never answers ends the tool at once.
        simulator.SetFailure(TARNWICK_PROVIDER3_HOST, ProviderSimulator::Failure::kNeverAnswer);
        held = simulator.HeldCount();
        click(kGenerateX, kButtonY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), held + 1, 20000);
        QElapsedTimer clock;
        clock.start();
        XEvent close{};  // what the close button of the frame sends
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = XInternAtom(display.get(), "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display.get(), "WM_DELETE_WINDOW", False));
        XSendEvent(display.get(), window, False, NoEventMask, &close);
        XFlush(display.get());
        // The desktop's clipboard manager is handed the copied link before the end.
        std::string saved;
        QVERIFY(QTest::qWaitFor(
            [&] {
                ServeClipboardManager(display.get(), manager, saved);
                return tool.state() == QProcess::NotRunning;
            },
            20000));
        // The job would need its 15-second time-out to end by itself.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(saved, link);
    }

    // The test-only build, offscreen, does the row's action once its window shows; what
    // happened comes first on its standard error, a line of "@ " each.
    void closeEndsWithZeroAfterTheExitHandlerAndFatalErrorsWith255WithoutIt() {
        const QString shown = QStringLiteral("@ window-shown");
        const QStringList closed{shown, QStringLiteral("@ exit-handler")};
        // Caption, icon, the one button, the thread that showed it, the text.
        const auto dialog = [](const char* message) {
            return QStringLiteral("@ dialog|错误|critical|OK|gui|运行时出错!\\n\\n错误信息：") +
                   QString::fromUtf8(message) + QStringLiteral("\\n");
        };
        const QString noMemory = dialog("分配 100 字节内存失败!");
        const struct {
            const char* action;
            int exitCode;
            QStringList log;
            QByteArray standardError;  // its end
        } rows[] = {
            {"close", 0, closed, ""},
            {"close-after-generate", 0, closed + QStringList{"@ http-stack-mapped"}, ""},
            {"close-with-worker", 0, closed, ""},
            {"oom", 255, {shown, noMemory}, ""},
            {"oom-worker", 255, {shown, noMemory}, ""},
            // The report of the failure fails too: the terminal has the text, the code stays.
            {"oom-in-report",
             255,
             {shown, noMemory},
             "运行时出错!\r\n\r\n错误信息：分配 100 字节内存失败!\r\n"},
            {"remainder", 255, {shown, dialog("不能求余数于零")}, ""},
            {"window", 255, {dialog("载入启动窗口失败")}, ""},
            // Code page 936 where no UTF-8 can be had.
            {"undecodable", 255, {}, "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA\x81\r\n"},
        };
        for (const auto& row : rows) {
            // A click's job goes to a closed loopback port and nowhere else.
            const auto [code, standardError] =
                Run(TARNWICK_FAULTY_EXE,
                    Environment({{"QT_QPA_PLATFORM", QStringLiteral("offscreen")},
                                 {"TARNWICK_TEST_ACTION", QString::fromLatin1(row.action)},
                                 {"http_proxy", QStringLiteral("http://127.0.0.1:9")}}));
            QCOMPARE(code, row.exitCode);
            QVERIFY2(standardError.endsWith(row.standardError), standardError.constData());
            QCOMPARE(QString::fromUtf8(standardError)
                         .split(QLatin1Char('\n'))
                         .filter(QRegularExpression(QStringLiteral("^@ "))),
                     row.log);
        }
        // No display named, then one that cannot be reached (Qt first says why).
        for (const QString& display : {QString(), QStringLiteral(":4093")}) {
            const auto [code, standardError] =
                Run(TARNWICK_EXE, Environment({{"DISPLAY", display},
                                               {"WAYLAND_DISPLAY", QString()},
                                               {"QT_QPA_PLATFORM", QString()},
                                               {"XDG_SESSION_TYPE", QString()}}));
            QCOMPARE(code, 255);
            QVERIFY2(standardError.endsWith("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"),
                     standardError.constData());
        }
    }
};

QTEST_MAIN(ProcessTest)
#include "process_test.moc"
