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

// "http://例.test/文?q=中>~~" and its bytes in code page 936.
const QString kChineseAddress = QStringLiteral("http://例.test/文?q=中>~~");
constexpr std::string_view kChineseBytes = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";

void StartTool(QProcess& process, const ProviderSimulator& simulator) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("http_proxy"),
                       QString::fromStdString(simulator.ProxyAddress()));
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TARNWICK_EXE), {});
}

std::size_t RequestsTo(const ProviderSimulator& simulator, std::string_view host) {
    std::size_t count = 0;
    for (const RecordedRequest& request : simulator.Requests()) {
        count += request.host == host ? 1 : 0;
    }
    return count;
}

}  // namespace

class TarnwickProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY2(input_.Connected(), "no X display"); }

    void shortensThroughTheServiceAndCopiesTheLink() {
        ProviderSimulator simulator;
        QProcess tool;
        StartTool(tool, simulator);
        QVERIFY(tool.waitForStarted());
        unsigned long window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = input_.FindWindow("Tarnwick v1.0.0")) != 0, 20000);

        // The long address comes in from the clipboard, as a user would paste it.
        QGuiApplication::clipboard()->setText(kChineseAddress);
        input_.Click(window, kLongLinkX, kLongLinkY);
        input_.Key(window, 'a', true);
        input_.Key(window, 'v', true);
        input_.Click(window, kRadio3X, kRadio3Y);
        input_.Click(window, kGenerateX, kGenerateY);
        // Waiting here keeps this process answering the paste.
        QTRY_COMPARE_WITH_TIMEOUT(RequestsTo(simulator, "c.test"), std::size_t{2}, 20000);
        const std::vector<RecordedRequest> requests = simulator.Requests();
        QCOMPARE(requests.back().address, std::string(kChineseBytes));

        const QString link =
            QString::fromStdString(ProviderSimulator::ShortLinkFor("c.test", kChineseBytes));
        // Copy until the job's link has reached the short-link box; then the clipboard holds it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                input_.Click(window, kCopyX, kCopyY);
                return QGuiApplication::clipboard()->text() == link;
            },
            20000));
        QCOMPARE(QGuiApplication::clipboard()->text(), link);

        input_.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
    }

    void closingWhileAJobWaitsEndsAtOnceWithZero() {
        ProviderSimulator simulator;
        simulator.SetFailure("a.test", ProviderSimulator::Failure::kNeverAnswer);
        QProcess tool;
        StartTool(tool, simulator);
        QVERIFY(tool.waitForStarted());
        unsigned long window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = input_.FindWindow("Tarnwick v1.0.0")) != 0, 20000);
        input_.Click(window, kGenerateX, kGenerateY);
        input_.Click(window, kGenerateX, kGenerateY);
        QTRY_COMPARE_WITH_TIMEOUT(simulator.HeldCount(), std::size_t{2}, 20000);

        QElapsedTimer clock;
        clock.start();
        input_.Close(window);
        QVERIFY(tool.waitForFinished(20000));
        // The jobs would need their 15-second time-out to end by themselves.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
    }

  private:
    X11Input input_;
};

QTEST_MAIN(TarnwickProcessTest)
#include "tarnwick_process_test.moc"
