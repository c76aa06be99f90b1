// Window responsiveness while shortening jobs wait: the GUI thread's longest stall, measured
// by a timer that notes its own lateness, first with the window idle, then while 20 and then 100
// clicks start jobs against a service that never answers and those jobs wait. Prints figures
// only.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/qt/main_window.h"
#include "app/qt/window_shorten_host.h"
#include "shorten/hosts.h"
#include "shorten/shorten_job.h"
#include "tests/support/provider_simulator.h"
#include "web/web_access.h"

using namespace tarnwick;

namespace {

constexpr int kTickMs = 2;

// Counts the results the workers hand over, so the run ends only once every worker is done
// with the host.
class CountingHost final : public ShortenHost {
  public:
    explicit CountingHost(ShortenHost& inner) : inner_(inner) {}
    Text LongLinkSnapshot() const override { return inner_.LongLinkSnapshot(); }
    void PostToGui(std::function<void()> task) override {
        inner_.PostToGui(std::move(task));
        ++posted_;
    }
    int SelectedProvider() const override { return inner_.SelectedProvider(); }
    void SetStatus(const Text& caption) override { inner_.SetStatus(caption); }
    void SetShortLink(const Text& link) override { inner_.SetShortLink(link); }
    int Posted() const { return posted_.load(); }

  private:
    ShortenHost& inner_;
    std::atomic<int> posted_{0};
};

// The longest lateness, in nanoseconds, of a kTickMs timer while the event loop runs for
// durationMs, with during() called on the GUI thread at each tick.
qint64 LongestStallMs(int durationMs, const std::function<void(qint64 elapsedMs)>& during) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last - qint64{kTickMs} * 1000000);
        last = now;
        during(now / 1000000);
        if (now / 1000000 >= durationMs) {
            QCoreApplication::exit(0);
        }
    });
    last = clock.nsecsElapsed();
    tick.start();
    QCoreApplication::exec();
    return worst;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);

    ProviderSimulator simulator;
    simulator.SetFailure(TARNWICK_PROVIDER1_HOST, ProviderSimulator::Failure::kNeverAnswer);
    qputenv("http_proxy", QByteArray::fromStdString(simulator.ProxyAddress()));
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
        qunsetenv(name);
    }
    PrepareWebAccess();

    QtMainWindow window;
    WindowShortenHost windowHost(window);
    CountingHost host(windowHost);
    ShortenJobs jobs;
    QElapsedTimer handler;
    qint64 longestClickNs = 0;
    window.BindGenerateClick([&] {
        handler.start();
        jobs.OnGenerateClicked(host);
        longestClickNs = std::max(longestClickNs, handler.nsecsElapsed());
    });
    window.show();
    auto* generate = window.findChild<QPushButton*>(QStringLiteral("按钮1"));

    // The first paint and font loading come before the figures.
    LongestStallMs(500, [](qint64) {});
    const qint64 idle = LongestStallMs(1000, [](qint64) {});
    std::printf("window responsiveness while jobs wait on a service that never answers\n");
    std::printf("  longest GUI-thread stall, idle window:             %8.3f ms\n",
                static_cast<double>(idle) / 1e6);
    bool allEnded = true;
    for (const auto& [jobCount, targetMs] : {std::pair{20, 30}, std::pair{100, 50}}) {
        const int postedBefore = host.Posted();
        longestClickNs = 0;
        int clicks = 0;
        const qint64 busy = LongestStallMs(1000 + jobCount * 10, [&](qint64 elapsedMs) {
            // One click every 10 ms until all jobs run, then the jobs just wait.
            if (clicks < jobCount && elapsedMs >= qint64{clicks} * 10) {
                generate->click();
                ++clicks;
            }
        });
        const std::size_t waiting = simulator.HeldCount();
        simulator.ReleaseHeldRequests();
        QElapsedTimer drain;
        drain.start();
        while (host.Posted() < postedBefore + jobCount && drain.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        allEnded = allEnded && host.Posted() == postedBefore + jobCount;
        std::printf(
            "  longest GUI-thread stall, %3d jobs waiting:        %8.3f ms (target < %d ms)\n",
            jobCount, static_cast<double>(busy) / 1e6, targetMs);
        std::printf("  longest click handler, %3d jobs:                   %8.3f ms\n", jobCount,
                    static_cast<double>(longestClickNs) / 1e6);
        std::printf("  requests held by the service:                   %4zu of %d\n", waiting,
                    jobCount);
    }
    return allEnded ? 0 : 1;
}
