// The tarnwick executable itself on an X display, driven like a user would: paste a long
// address, choose a service, Generate, Copy, read the clipboard, close the window. The
// provider simulator is its HTTP proxy; a stand-in clipboard manager keeps what it copied.
#include <sys/resource.h>

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "tests/shorten/window/x11_clipboard_manager.h"
#include "tests/shorten/window/x11_input.h"
#include "tests/support/provider_simulator.h"

using namespace tarnwick;

namespace {

// Client-area points inside the controls.
constexpr int kLongLinkX = 79 + 120, kLongLinkY = 108 + 10;
constexpr int kRadio3X = 102 + 8, kRadio3Y = 46 + 8;
constexpr int kGenerateX = 211 + 30, kGenerateY = 183 + 12;
constexpr int kCopyX = 281 + 30, kCopyY = 183 + 12;

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

}  // namespace

class TarnwickProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void shortenCopyAndCloseWhileJobsWait() {
        X11Input input;
        QVERIFY2(input.Connected(), "no X display");
        X11ClipboardManager manager;
        QVERIFY(manager.Running());
        ProviderSimulator simulator;
        QProcess tool;
        StartTool(tool, simulator);
        unsigned long window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = input.FindWindow("Tarnwick v1.0.0")) != 0, 20000);

        // The long address comes in from the clipboard, as a user would paste it.
        QGuiApplication::clipboard()->setText(QStringLiteral("http://例.test/文?q=中>~~"));
        input.Click(window, kLongLinkX, kLongLinkY);
        input.Key(window, 'a', true);
        input.Key(window, 'v', true);
        input.Click(window, kRadio3X, kRadio3Y);
        input.Click(window, kGenerateX, kGenerateY);
        // Waiting here keeps this process answering the paste.
        QTRY_COMPARE_WITH_TIMEOUT(simulator.Requests().size(), std::size_t{2}, 20000);
        // Code page 936 on the wire.
        const std::string address = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";
        QCOMPARE(simulator.Requests().back().address, address);
        const QString link =
            QString::fromStdString(ProviderSimulator::ShortLinkFor("c.test", address));
        // Copy until the job's link has reached the short-link box; then the clipboard holds it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                input.Click(window, kCopyX, kCopyY);
                return QGuiApplication::clipboard()->text() == link;
            },
            20000));

        // Closing while a job waits on a service that never answers ends the tool at once.
        simulator.SetFailure("c.test", ProviderSimulator::Failure::kNeverAnswer);
        input.Click(window, kGenerateX, kGenerateY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), std::size_t{1}, 20000);
        QElapsedTimer clock;
        clock.start();
        input.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        // The job would need its 15-second time-out to end by itself.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        // The copied link was handed to the desktop's clipboard manager before the end.
        QCOMPARE(QString::fromStdString(manager.SavedText()), link);
    }

    // Every click supersedes the jobs before it; their connections must not use up what the
    // latest one needs, even where the hard limit on descriptors is low.
    void latestClickGetsThroughAfterABurstBeyondTheDescriptorLimit() {
        X11Input input;
        QVERIFY2(input.Connected(), "no X display");
        ProviderSimulator simulator;
        simulator.SetFailure("a.test", ProviderSimulator::Failure::kNeverAnswer);
        QProcess tool;
        constexpr rlim_t kLimit = 64;
        StartTool(tool, simulator, {kLimit / 2, kLimit});
        unsigned long window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = input.FindWindow("Tarnwick v1.0.0")) != 0, 20000);
        const QString descriptors = QStringLiteral("/proc/%1/fd").arg(tool.processId());
        // The soft limit was raised to the hard one at start.
        QFile limits(QStringLiteral("/proc/%1/limits").arg(tool.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLatin1(limits.readAll())
                    .contains(QRegularExpression(QStringLiteral("Max open files +64 +64 "))));
        const auto open = [&] {
            return QDir(descriptors)
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .size();
        };

        QGuiApplication::clipboard()->setText(QStringLiteral("before the burst"));
        for (rlim_t i = 0; i < 3 * kLimit; ++i) {
            input.Click(window, kGenerateX, kGenerateY);
        }
        // Copy comes after the burst: once the tool owns the clipboard, every click was handled.
        input.Click(window, kCopyX, kCopyY);
        QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::clipboard()->ownsClipboard(), 20000);
        // Well before the requests' own 15-second time-out would let go of them.
        QTRY_VERIFY_WITH_TIMEOUT(open() < static_cast<qsizetype>(kLimit / 2), 5000);

        const std::size_t held = simulator.HeldCount();
        input.Click(window, kGenerateX, kGenerateY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), held + 1, 20000);
        simulator.ReleaseHeldRequests(true);
        const QString link = QString::fromStdString(
            ProviderSimulator::ShortLinkFor("a.test", "https://www.iana.org/"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                input.Click(window, kCopyX, kCopyY);
                return QGuiApplication::clipboard()->text() == link;
            },
            20000));
        input.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        QCOMPARE(tool.exitCode(), 0);
    }
};

QTEST_MAIN(TarnwickProcessTest)
#include "tarnwick_process_test.moc"
