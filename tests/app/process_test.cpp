// The real executable and its test-only build, run as processes: how the program ends.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

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

}  // namespace

class ProcessTest : public QObject {
    Q_OBJECT

  private slots:
    // The test-only build under the offscreen platform does `action` once its window shows.
    void closeEndsWithZeroAfterTheExitHandlerAndFatalErrorsWith255WithoutIt_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("log");
        const QString shown = QStringLiteral("window-shown");
        const QStringList closed{shown, QStringLiteral("exit-handler")};
        // Caption, icon, the one button, the thread that showed it, the text.
        const auto dialog = [](const char* message) {
            return QStringLiteral("dialog|错误|critical|OK|gui|运行时出错!\\n\\n错误信息：") +
                   QString::fromUtf8(message) + QStringLiteral("\\n");
        };
        const QString noMemory = dialog("分配 100 字节内存失败!");
        // The HTTP client is loaded by the first Generate click, and never without one.
        QTest::newRow("close") << "close" << 0 << closed;
        QTest::newRow("close after a click")
            << "close-after-generate" << 0
            << (closed + QStringList{QStringLiteral("http-stack-mapped")});
        QTest::newRow("close, worker still busy") << "close-with-worker" << 0 << closed;
        QTest::newRow("no memory") << "oom" << 255 << QStringList{shown, noMemory};
        QTest::newRow("no memory on a worker")
            << "oom-worker" << 255 << QStringList{shown, noMemory};
        QTest::newRow("remainder by zero")
            << "remainder" << 255 << QStringList{shown, dialog("不能求余数于零")};
        QTest::newRow("window not created")
            << "window" << 255 << QStringList{dialog("载入启动窗口失败")};
    }
    void closeEndsWithZeroAfterTheExitHandlerAndFatalErrorsWith255WithoutIt() {
        QFETCH(QString, action);
        QFETCH(int, exitCode);
        QFETCH(QStringList, log);
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
        QString standardError;
        QCOMPARE(Run(QStringLiteral(TARNWICK_FAULTY_EXE), environment, &standardError), exitCode);
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 log);
    }

    void withoutWindowSystemTheErrorGoesToStandardError() {
        // No display named, then one that cannot be reached.
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
            // With an unreachable display, Qt first says why.
            const QString text =
                QStringLiteral("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
            QVERIFY2(display.isEmpty() ? got == text : got.endsWith(text), qPrintable(got));
        }
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "process_test.moc"
