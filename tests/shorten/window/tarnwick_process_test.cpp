// The tarnwick executable itself on an X display, driven like a user would: paste a long
// address, choose a service, Generate, Copy, read the clipboard, close the window. The
// provider simulator is its HTTP proxy.
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include "tests/shorten/window/x11_input.h"
#include "tests/support/provider_simulator.h"

using namespace tarnwick;

namespace {

// Client-area points inside the controls.
constexpr int kLongLinkX = 79 + 120, kLongLinkY = 108 + 10;
constexpr int kRadio3X = 102 + 8, kRadio3Y = 46 + 8;
constexpr int kGenerateX = 211 + 30, kGenerateY = 183 + 12;
constexpr int kCopyX = 281 + 30, kCopyY = 183 + 12;

}  // namespace

class TarnwickProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void shortenCopyAndCloseWhileJobsWait() {
        X11Input input;
        QVERIFY2(input.Connected(), "no X display");
        ProviderSimulator simulator;
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("http_proxy"),
                           QString::fromStdString(simulator.ProxyAddress()));
        for (const char* name :
             {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY", "QT_QPA_PLATFORM"}) {
            environment.remove(QString::fromLatin1(name));
        }
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(TARNWICK_EXE), {});
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

        // Closing while jobs wait on a service that never answers ends the tool at once.
        simulator.SetFailure("c.test", ProviderSimulator::Failure::kNeverAnswer);
        input.Click(window, kGenerateX, kGenerateY);
        input.Click(window, kGenerateX, kGenerateY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), std::size_t{2}, 20000);
        QElapsedTimer clock;
        clock.start();
        input.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        // The jobs would need their 15-second time-out to end by themselves.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
    }
};

QTEST_MAIN(TarnwickProcessTest)
#include "tarnwick_process_test.moc"
