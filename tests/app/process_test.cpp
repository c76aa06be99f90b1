// The real executable and its test-only build, run as processes: how the program ends.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Outcome {
    bool finished = false;
    int exitCode = -1;
    QStringList log;
    QString standardError;
};

Outcome Run(const QString& program, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, {});
    Outcome outcome;
    outcome.finished =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished();
    }
    outcome.exitCode = process.exitCode();
    outcome.standardError = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

// The test-only build under the offscreen platform, doing `action` once its window shows.
Outcome RunFaulty(const QString& action) {
    QTemporaryDir directory;
    const QString logPath = directory.filePath(QStringLiteral("events.log"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TARNWICK_TEST_ACTION"), action);
    environment.insert(QStringLiteral("TARNWICK_TEST_LOG"), logPath);
    Outcome outcome = Run(QStringLiteral(TARNWICK_FAULTY_EXE), environment);
    QFile log(logPath);
    if (log.open(QIODevice::ReadOnly)) {
        outcome.log = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    return outcome;
}

const QString kHeading = QStringLiteral("运行时出错!\\n\\n错误信息：");

}  // namespace

class ProcessTest : public QObject {
    Q_OBJECT

  private slots:
    void closingTheWindowRunsTheExitHandlerOnceAndEndsWithZero_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("idle") << QStringLiteral("close");
        QTest::newRow("worker still busy") << QStringLiteral("close-with-worker");
    }
    void closingTheWindowRunsTheExitHandlerOnceAndEndsWithZero() {
        QFETCH(QString, action);
        const Outcome outcome = RunFaulty(action);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.log,
                 QStringList({QStringLiteral("window-shown"), QStringLiteral("exit-handler")}));
    }

    void fatalErrorsShowOneDialogAndEndWith255_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("windowShown");
        const QString noMemory = QStringLiteral("分配 100 字节内存失败!");
        QTest::newRow("allocation on the GUI thread") << QStringLiteral("oom") << noMemory << true;
        QTest::newRow("allocation on a worker") << QStringLiteral("oom-worker") << noMemory << true;
        QTest::newRow("remainder by zero")
            << QStringLiteral("remainder") << QStringLiteral("不能求余数于零") << true;
        QTest::newRow("window not created")
            << QStringLiteral("window") << QStringLiteral("载入启动窗口失败") << false;
    }
    void fatalErrorsShowOneDialogAndEndWith255() {
        QFETCH(QString, action);
        QFETCH(QString, message);
        QFETCH(bool, windowShown);
        const Outcome outcome = RunFaulty(action);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 255);
        QStringList expected;
        if (windowShown) {
            expected << QStringLiteral("window-shown");
        }
        // Caption, icon, the one button, the thread that showed it, the text.
        expected << QStringLiteral("dialog|错误|critical|OK|gui|") + kHeading + message +
                        QStringLiteral("\\n");
        QCOMPARE(outcome.log, expected);
    }

    void withoutWindowSystemTheErrorGoesToStandardError_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("no display named") << QString();
        QTest::newRow("display not reachable") << QStringLiteral(":4093");
    }
    void withoutWindowSystemTheErrorGoesToStandardError() {
        QFETCH(QString, display);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
            environment.remove(QString::fromLatin1(name));
        }
        if (!display.isEmpty()) {
            environment.insert(QStringLiteral("DISPLAY"), display);
        }
        const Outcome outcome = Run(QStringLiteral(TARNWICK_EXE), environment);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 255);
        const QString text = QStringLiteral("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
        if (display.isEmpty()) {
            QCOMPARE(outcome.standardError, text);
        } else {
            QVERIFY2(outcome.standardError.endsWith(text), qPrintable(outcome.standardError));
        }
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "process_test.moc"
