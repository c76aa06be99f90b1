// The Generate button end to end in process: the real window and its host, real jobs on real
// threads, real libcurl, and the provider simulator as the proxy.
#include <QApplication>
#include <QClipboard>
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
#include "app/copy_action.h"
#include "app/main_window.h"
#include "app/window_shorten_host.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"

using namespace tarnwick;

namespace {

using Failure = ProviderSimulator::Failure;

// "http://例.test/文?q=中>~~" and its bytes in code page 936.
const QString kChineseAddress = QStringLiteral("http://例.test/文?q=中>~~");
constexpr std::string_view kChineseBytes = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";

const QString kWorking = QStringLiteral("生成链接中...");
const QString kSucceeded = QStringLiteral("生成短链接成功！");
const QString kFailed = QStringLiteral("生成短链接失败！");
const QString kCopied = QStringLiteral("复制短链成功！");

// Passes everything to the window's host and counts the widget calls made off the GUI thread.
class GuiThreadWatch final : public ShortenHost {
  public:
    explicit GuiThreadWatch(ShortenHost& inner) : inner_(inner) {}
    Text LongLinkSnapshot() const override { return inner_.LongLinkSnapshot(); }
    void PostToGui(std::function<void()> task) override { inner_.PostToGui(std::move(task)); }
    int SelectedProvider() const override {
        Note();
        return inner_.SelectedProvider();
    }
    void SetStatus(const Text& caption) override {
        Note();
        inner_.SetStatus(caption);
    }
    void SetShortLink(const Text& link) override {
        Note();
        inner_.SetShortLink(link);
    }
    int OffThreadCalls() const { return offThread_.load(); }

  private:
    void Note() const {
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
            ++offThread_;
        }
    }
    ShortenHost& inner_;
    mutable std::atomic<int> offThread_{0};
};

template <typename Control>
Control* Find(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromUtf8(name));
    if (control == nullptr) {
        qFatal("no control %s", name);
    }
    return control;
}

}  // namespace

class WindowShortenTest : public QObject {
    Q_OBJECT

  private:
    // Built fresh for every test; torn down so that no worker outlives what it posts to.
    struct Rig {
        std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
        std::unique_ptr<WindowShortenHost> host = std::make_unique<WindowShortenHost>(*window);
        GuiThreadWatch watch{*host};
        JoinedThreads threads;
        bool refuseThreads = false;
        ShortenJobs jobs{WebRequestFunction(&WebRequest), [this](std::function<void()> routine) {
                             return !refuseThreads && threads.Start(std::move(routine));
                         }};
        ProviderSimulator simulator;

        Rig() {
            // NOLINTNEXTLINE(concurrency-mt-unsafe): no worker runs yet
            ::setenv("http_proxy", simulator.ProxyAddress().c_str(), 1);
            for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
                ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
            }
            window->BindGenerateClick([this] { jobs.OnGenerateClicked(watch); });
            window->BindCopyClick([this] { OnCopyClicked(*window); });
            window->show();
        }
        ~Rig() {
            simulator.ReleaseHeldRequests();
            threads.JoinAll();
            // Results still queued find the window gone.
            window.reset();
            QCoreApplication::processEvents();
        }

        void Type(const QString& text) const {
            QLineEdit* box = Find<QLineEdit>(*window, "编辑框1");
            box->selectAll();
            // Chinese arrives through the input method as committed text.
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(box, &commit);
        }
        void Choose(int provider) const {
            const char* names[] = {"单选框1", "单选框2", "单选框3"};
            QTest::mouseClick(Find<QRadioButton>(*window, names[provider - 1]), Qt::LeftButton);
        }
        void Click(const char* button) const {
            QTest::mouseClick(Find<QPushButton>(*window, button), Qt::LeftButton);
        }
        QString Status() const { return Find<CaptionLabel>(*window, "标签4")->Caption(); }
        QString ShortLink() const { return Find<QLineEdit>(*window, "编辑框2")->text(); }
    };

  private slots:
    void eachProviderShowsAndCopiesItsLink_data() {
        QTest::addColumn<int>("provider");
        QTest::newRow("a.test") << 1;
        QTest::newRow("b.test") << 2;
        QTest::newRow("c.test") << 3;
    }
    void eachProviderShowsAndCopiesItsLink() {
        QFETCH(int, provider);
        Rig rig;
        const std::string host = std::string(1, "abc"[provider - 1]) + ".test";
        // Provider 2 puts the address into its query as typed, so it gets a plain one.
        const QString address =
            provider == 2 ? QStringLiteral("http://example.test/x?y=1") : kChineseAddress;
        rig.Choose(provider);
        rig.Type(address);
        rig.Click("按钮1");
        QCOMPARE(rig.Status(), kWorking);
        QCOMPARE(rig.ShortLink(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(rig.Status(), kSucceeded, 20000);

        const std::vector<RecordedRequest> requests = rig.simulator.Requests();
        QCOMPARE(requests.size(), std::size_t{2});
        QCOMPARE(requests[0].host, host);
        QVERIFY(!requests[0].shortening);
        QVERIFY(requests[1].shortening);
        const std::string sent = provider == 2 ? address.toStdString() : std::string(kChineseBytes);
        QCOMPARE(requests[1].address, sent);
        const QString link = QString::fromStdString(ProviderSimulator::ShortLinkFor(host, sent));
        QCOMPARE(rig.ShortLink(), link);

        rig.Click("按钮2");
        QCOMPARE(QGuiApplication::clipboard()->text(), link);
        QCOMPARE(rig.Status(), kCopied);
        QCOMPARE(rig.watch.OffThreadCalls(), 0);
    }

    void failuresNeverShowALink() {
        Rig rig;
        rig.Choose(2);
        rig.Type(QStringLiteral("http://example.test/"));
        for (const Failure failure : {Failure::kHtmlErrorPage, Failure::kErrorJson}) {
            rig.simulator.SetFailure("b.test", failure);
            rig.Click("按钮1");
            QTRY_COMPARE_WITH_TIMEOUT(rig.Status(), kFailed, 20000);
            QCOMPARE(rig.ShortLink(), QString());
        }
        rig.refuseThreads = true;
        rig.Click("按钮1");
        QCOMPARE(rig.Status(), kFailed);
        QCOMPARE(rig.watch.OffThreadCalls(), 0);
    }

    void aLateAnswerToAnEarlierClickLeavesNoTrace() {
        Rig rig;
        rig.simulator.SetFailure("a.test", Failure::kNeverAnswer);
        rig.Choose(1);
        rig.Type(QStringLiteral("http://first.test/"));
        rig.Click("按钮1");
        QVERIFY(rig.simulator.WaitForRequests(2));
        rig.Choose(3);
        rig.Type(QStringLiteral("http://second.test/"));
        rig.Click("按钮1");
        const QString second = QString::fromStdString(
            ProviderSimulator::ShortLinkFor("c.test", "http://second.test/"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.ShortLink(), second, 20000);

        // The first service now answers with a good link for the first address.
        rig.simulator.ReleaseHeldRequests(true);
        rig.threads.JoinAll();
        QCoreApplication::processEvents();
        QCOMPARE(rig.ShortLink(), second);
        QCOMPARE(rig.Status(), kSucceeded);
        QCOMPARE(rig.jobs.AnswerText(), second.toStdString());
    }

    void resultsAfterTheWindowClosedAreDropped() {
        Rig rig;
        rig.simulator.SetFailure("c.test", Failure::kNeverAnswer);
        rig.Choose(3);
        rig.Type(QStringLiteral("http://late.test/"));
        rig.Click("按钮1");
        QVERIFY(rig.simulator.WaitForRequests(2));
        rig.window->close();
        rig.window.reset();
        rig.simulator.ReleaseHeldRequests(true);
        rig.threads.JoinAll();
        // The queued result comes in now and finds no window to write to.
        QCoreApplication::processEvents();
        QCOMPARE(rig.watch.OffThreadCalls(), 0);
        QVERIFY(rig.jobs.AnswerText().empty());
    }
};

QTEST_MAIN(WindowShortenTest)
#include "window_shorten_test.moc"
