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
#include <QTemporaryDir>
#include <QTest>

#include "shorten/hosts.h"
#include "tests/app/x11_desktop.h"
#include "tests/support/provider_simulator.h"

using namespace tarnwick;

namespace {

// Client-area points inside the controls.
constexpr int kLongLinkX = 79 + 120, kLongLinkY = 108 + 10;
constexpr int kRadio3X = 102 + 8, kRadio3Y = 46 + 8;
constexpr int kGenerateX = 211 + 30, kButtonY = 183 + 12, kCopyX = 281 + 30;

// The exit code, or -1 when the process did not end by itself within a minute.
int Run(const QString& program, const QProcessEnvironment& environment, QString* standardError) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, {});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *standardError = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode();
}

// The tool with the simulator as its proxy, and a limit on its open descriptors when given.
void StartTool(QProcess& tool, const ProviderSimulator& simulator, rlimit descriptors = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("http_proxy"),
                       QString::fromStdString(simulator.ProxyAddress()));
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    tool.setProcessEnvironment(environment);
    if (descriptors.rlim_max != 0) {
        tool.setChildProcessModifier([descriptors] { ::setrlimit(RLIMIT_NOFILE, &descriptors); });
    }
    tool.start(QStringLiteral(TARNWICK_EXE), {});
}

// Clicks Copy until the clipboard holds text: the job's link has reached the short-link box.
bool CopiedOnceShown(const X11Desktop& desktop, unsigned long window, const std::string& text) {
    return QTest::qWaitFor(
        [&] {
            desktop.Click(window, kCopyX, kButtonY);
            return QGuiApplication::clipboard()->text() == QString::fromStdString(text);
        },
        20000);
}

}  // namespace

class ProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void shortenCopyAndCloseWhileJobsWait() {
        X11Desktop desktop;
        QVERIFY2(desktop.Connected(), "no X display");
        ProviderSimulator simulator;
        QProcess tool;
        StartTool(tool, simulator);
        unsigned long window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = desktop.FindWindow("Tarnwick v1.0.0")) != 0, 20000);

        // The long address is pasted, as a user would; it goes out in code page 936, which is
        // what the simulator decodes and names its link after.
        QGuiApplication::clipboard()->setText(QStringLiteral("http://例.test/文?q=中>~~"));
        desktop.Click(window, kLongLinkX, kLongLinkY);
        desktop.Key(window, 'a', true);
        desktop.Key(window, 'v', true);
        desktop.Click(window, kRadio3X, kRadio3Y);
        desktop.Click(window, kGenerateX, kButtonY);
        const std::string link = ProviderSimulator::ShortLinkFor(
            TARNWICK_PROVIDER3_HOST, "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~");
        QVERIFY(CopiedOnceShown(desktop, window, link));

        // Closing while a job waits on a service that never answers ends the tool at once.
        simulator.SetFailure(TARNWICK_PROVIDER3_HOST, ProviderSimulator::Failure::kNeverAnswer);
        desktop.Click(window, kGenerateX, kButtonY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), std::size_t{1}, 20000);
        QElapsedTimer clock;
        clock.start();
        desktop.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        // The job would need its 15-second time-out to end by itself.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        // The copied link was handed to the desktop's clipboard manager before the end.
        QCOMPARE(desktop.SavedText(), link);
    }

    // Every click supersedes the jobs before it; their connections must not use up what the
    // latest one needs, even where the hard limit on descriptors is low.
    void latestClickGetsThroughAfterABurstBeyondTheDescriptorLimit() {
        X11Desktop desktop;
        QVERIFY2(desktop.Connected(), "no X display");
        ProviderSimulator simulator;
        simulator.SetFailure(TARNWICK_PROVIDER1_HOST, ProviderSimulator::Failure::kNeverAnswer);
        QProcess tool;
        constexpr rlim_t kLimit = 64;
        StartTool(tool, simulator, {kLimit / 2, kLimit});
        unsigned long window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = desktop.FindWindow("Tarnwick v1.0.0")) != 0, 20000);
        // The soft limit was raised to the hard one at start.
        QFile limits(QStringLiteral("/proc/%1/limits").arg(tool.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLatin1(limits.readAll())
                    .contains(QRegularExpression(QStringLiteral("Max open files +64 +64 "))));
        const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(tool.processId()));

        QGuiApplication::clipboard()->setText(QStringLiteral("before the burst"));
        for (rlim_t i = 0; i < 3 * kLimit; ++i) {
            desktop.Click(window, kGenerateX, kButtonY);
        }
        // Copy comes after the burst: once the tool owns the clipboard, every click was handled.
        desktop.Click(window, kCopyX, kButtonY);
        QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::clipboard()->ownsClipboard(), 20000);
        // Well before the requests' own 15-second time-out would let go of them.
        QTRY_VERIFY_WITH_TIMEOUT(
            descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size() <
                static_cast<qsizetype>(kLimit / 2),
            5000);
        const std::size_t held = simulator.HeldCount();
        desktop.Click(window, kGenerateX, kButtonY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), held + 1, 20000);
        simulator.ReleaseHeldRequests(true);
        QVERIFY(CopiedOnceShown(
            desktop, window,
            ProviderSimulator::ShortLinkFor(TARNWICK_PROVIDER1_HOST, "https://www.iana.org/")));
        desktop.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        QCOMPARE(tool.exitCode(), 0);
    }

    // The test-only build under the offscreen platform does `action` once its window shows.
    void closeEndsWithZeroAfterTheExitHandlerAndFatalErrorsWith255WithoutIt_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("standardError");  // its end; empty: not looked at
        const QString shown = QStringLiteral("window-shown");
        const QStringList closed{shown, QStringLiteral("exit-handler")};
        // Caption, icon, the one button, the thread that showed it, the text.
        const auto dialog = [](const char* message) {
            return QStringLiteral("dialog|错误|critical|OK|gui|运行时出错!\\n\\n错误信息：") +
                   QString::fromUtf8(message) + QStringLiteral("\\n");
        };
        const QString noMemory = dialog("分配 100 字节内存失败!");
        // The HTTP client is loaded by the first Generate click, and never without one.
        QTest::newRow("close") << "close" << 0 << closed << QString();
        QTest::newRow("close after a click")
            << "close-after-generate" << 0
            << (closed + QStringList{QStringLiteral("http-stack-mapped")}) << QString();
        QTest::newRow("close, worker still busy")
            << "close-with-worker" << 0 << closed << QString();
        QTest::newRow("no memory") << "oom" << 255 << QStringList{shown, noMemory} << QString();
        QTest::newRow("no memory on a worker")
            << "oom-worker" << 255 << QStringList{shown, noMemory} << QString();
        // The report of the failure fails too: the terminal has the text, the code stays.
        QTest::newRow("no memory, then none for its report")
            << "oom-in-report" << 255 << QStringList{shown, noMemory}
            << QStringLiteral("运行时出错!\r\n\r\n错误信息：分配 100 字节内存失败!\r\n");
        QTest::newRow("remainder by zero")
            << "remainder" << 255 << QStringList{shown, dialog("不能求余数于零")} << QString();
        QTest::newRow("window not created")
            << "window" << 255 << QStringList{dialog("载入启动窗口失败")} << QString();
    }
    void closeEndsWithZeroAfterTheExitHandlerAndFatalErrorsWith255WithoutIt() {
        QFETCH(QString, action);
        QFETCH(int, exitCode);
        QFETCH(QStringList, log);
        QFETCH(QString, standardError);
        QTemporaryDir directory;
        const QString logPath = directory.filePath(QStringLiteral("events.log"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TARNWICK_TEST_ACTION"), action);
        environment.insert(QStringLiteral("TARNWICK_TEST_LOG"), logPath);
        // A click's job goes to a closed loopback port and nowhere else.
        environment.insert(QStringLiteral("http_proxy"), QStringLiteral("http://127.0.0.1:9"));
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
            environment.remove(QString::fromLatin1(name));
        }
        QString got;
        QCOMPARE(Run(QStringLiteral(TARNWICK_FAULTY_EXE), environment, &got), exitCode);
        QVERIFY2(got.endsWith(standardError), qPrintable(got));
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 log);
    }

    void withoutWindowSystemTheErrorGoesToStandardError() {
        // No display named, then one that cannot be reached (Qt first says why).
        for (const QString& display : {QString(), QStringLiteral(":4093")}) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name :
                 {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
                environment.remove(QString::fromLatin1(name));
            }
            if (!display.isEmpty()) {
                environment.insert(QStringLiteral("DISPLAY"), display);
            }
            QString got;
            QCOMPARE(Run(QStringLiteral(TARNWICK_EXE), environment, &got), 255);
            const QString text =
                QStringLiteral("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
            QVERIFY2(display.isEmpty() ? got == text : got.endsWith(text), qPrintable(got));
        }
    }
};

QTEST_MAIN(ProcessTest)
#include "process_test.moc"
