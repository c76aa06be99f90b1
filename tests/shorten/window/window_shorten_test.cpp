// The Generate button end to end in process: the real window and its host, real jobs on real
// threads, real libcurl, and the provider simulator as the proxy.
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <memory>

#include "app/caption_label.h"
#include "app/main_window.h"
#include "app/window_shorten_host.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"

using namespace tarnwick;

namespace {

const QString kWorking = QStringLiteral("生成链接中...");
const QString kSucceeded = QStringLiteral("生成短链接成功！");
const QString kFailed = QStringLiteral("生成短链接失败！");

// Passes everything to the window's host and counts the widget calls made off the GUI thread.
class GuiThreadWatch final : public ShortenHost {
  public:
    explicit GuiThreadWatch(ShortenHost& inner) : inner_(inner) {}
    Text LongLinkSnapshot() const override { return inner_.LongLinkSnapshot(); }
    void PostToGui(std::function<void()> task) override { inner_.PostToGui(std::move(task)); }
    int SelectedProvider() const override { return Note(), inner_.SelectedProvider(); }
    void SetStatus(const Text& caption) override { Note(), inner_.SetStatus(caption); }
    void SetShortLink(const Text& link) override { Note(), inner_.SetShortLink(link); }
    mutable std::atomic<int> offThreadCalls{0};

  private:
    void Note() const {
        offThreadCalls += QThread::currentThread() != QCoreApplication::instance()->thread();
    }
    ShortenHost& inner_;
};

template <typename Control>
Control* Find(const QWidget& window, const char* name) {
    return window.findChild<Control*>(QString::fromUtf8(name));
}

// Types address, chooses the provider and clicks Generate.
void Generate(const QWidget& window, int provider, const QString& address) {
    const char* radios[] = {"单选框1", "单选框2", "单选框3"};
    QTest::mouseClick(Find<QRadioButton>(window, radios[provider - 1]), Qt::LeftButton);
    auto* box = Find<QLineEdit>(window, "编辑框1");
    box->selectAll();
    // Chinese arrives through the input method as committed text.
    QInputMethodEvent commit;
    commit.setCommitString(address);
    QApplication::sendEvent(box, &commit);
    QTest::mouseClick(Find<QPushButton>(window, "按钮1"), Qt::LeftButton);
}

}  // namespace

class WindowShortenTest : public QObject {
    Q_OBJECT

  private slots:
    void generateThroughTheWindow() {
        // Declared so that on an early return the simulator goes first, cutting held requests,
        // and the workers are joined while the hosts they post to still exist.
        auto window = std::make_unique<MainWindow>();
        WindowShortenHost host(*window);
        GuiThreadWatch watch(host);
        JoinedThreads threads;
        bool refuseThreads = false;
        ShortenJobs jobs(WebRequestFunction(&WebRequest),
                         [&, start = threads.Starter()](std::function<void()> routine) {
                             return !refuseThreads && start(std::move(routine));
                         });
        ProviderSimulator simulator;
        ::setenv("http_proxy", simulator.ProxyAddress().c_str(), 1);  // NOLINT: no worker yet
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
        }
        window->BindGenerateClick([&] { jobs.OnGenerateClicked(watch); });
        window->show();
        const auto status = [&] { return Find<CaptionLabel>(*window, "标签4")->Caption(); };
        const auto shortLink = [&] { return Find<QLineEdit>(*window, "编辑框2")->text(); };

        // The link shown and copied, and the typed Chinese on the wire, are checked through the
        // executable itself; here the captions and the thread each widget call comes from.
        Generate(*window, 1, QStringLiteral("http://example.test/"));
        QCOMPARE(status(), kWorking);
        QTRY_COMPARE_WITH_TIMEOUT(status(), kSucceeded, 20000);
        QCOMPARE(shortLink().toStdString(),
                 ProviderSimulator::ShortLinkFor("a.test", "http://example.test/"));

        simulator.SetFailure("b.test", ProviderSimulator::Failure::kHtmlErrorPage);
        Generate(*window, 2, QStringLiteral("http://example.test/"));
        QTRY_COMPARE_WITH_TIMEOUT(status(), kFailed, 20000);
        QCOMPARE(shortLink(), QString());
        refuseThreads = true;
        Generate(*window, 3, QStringLiteral("http://example.test/"));
        QCOMPARE(status(), kFailed);
        refuseThreads = false;

        // A job superseded while its service holds the answer leaves no trace when it comes.
        simulator.SetFailure("a.test", ProviderSimulator::Failure::kNeverAnswer);
        Generate(*window, 1, QStringLiteral("http://first.test/"));
        QVERIFY(simulator.WaitForRequests(6));
        Generate(*window, 3, QStringLiteral("http://second.test/"));
        const QString second = QString::fromStdString(
            ProviderSimulator::ShortLinkFor("c.test", "http://second.test/"));
        QTRY_COMPARE_WITH_TIMEOUT(shortLink(), second, 20000);
        simulator.ReleaseHeldRequests(true);
        threads.JoinAll();
        QCoreApplication::processEvents();
        QCOMPARE(shortLink(), second);
        QCOMPARE(status(), kSucceeded);
        QCOMPARE(jobs.AnswerText(), second.toStdString());

        // A result that arrives after the window closed finds no window to write to.
        Generate(*window, 1, QStringLiteral("http://late.test/"));
        QVERIFY(simulator.WaitForRequests(10));
        window.reset();
        simulator.ReleaseHeldRequests(true);
        threads.JoinAll();
        QCoreApplication::processEvents();
        QVERIFY(jobs.AnswerText().empty());
        QCOMPARE(watch.offThreadCalls.load(), 0);
    }
};

QTEST_MAIN(WindowShortenTest)
#include "window_shorten_test.moc"
