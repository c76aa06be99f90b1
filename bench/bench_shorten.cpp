// Click-to-link time of each provider through the loopback simulator, against the same two
// requests made with bare libcurl on fresh handles.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"

namespace tarnwick {
namespace {

constexpr std::string_view kAddress = "http://example.test/a/rather/long/path?with=query&and=more";

ProviderSimulator& Simulator() {
    static ProviderSimulator simulator;
    return simulator;
}

// The benchmark's window: it hands one posted result to the waiting "GUI thread" with a single
// wake-up. It lives as long as the process, so a worker may still be inside notify_one when
// the waiter has moved on.
class BenchHost final : public ShortenHost {
  public:
    Text LongLinkSnapshot() const override { return Text(kAddress); }
    void PostToGui(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            task_ = std::move(task);
        }
        ready_.store(true);
        ready_.notify_one();
    }
    int SelectedProvider() const override { return provider_; }
    void SetStatus(const Text& caption) override { status_ = caption; }
    void SetShortLink(const Text& /*link*/) override {}

    void Select(int provider) { provider_ = provider; }
    const Text& Status() const { return status_; }
    void RunPosted() {
        ready_.wait(false);
        ready_.store(false);
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            task.swap(task_);
        }
        task();
    }

  private:
    std::mutex mutex_;
    std::function<void()> task_;
    std::atomic<bool> ready_{false};
    int provider_ = 1;
    Text status_;
};

void BM_ClickToLink(benchmark::State& state) {
    static BenchHost host;
    host.Select(static_cast<int>(state.range(0)));
    // The program's own set-up: real WebRequest, a detached thread per click.
    ShortenJobs jobs;
    for (auto _ : state) {
        jobs.OnGenerateClicked(host);
        host.RunPosted();
        if (host.Status() != kStatusSucceeded) {
            state.SkipWithError("no link");
            break;
        }
    }
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// The cookies of the Set-Cookie lines, as "name=value; name=value".
std::size_t CollectCookie(char* data, std::size_t size, std::size_t count, void* out) {
    const std::string_view line(data, size * count);
    constexpr std::string_view kName = "Set-Cookie: ";
    if (line.starts_with(kName)) {
        auto& cookies = *static_cast<std::string*>(out);
        const std::string_view rest = line.substr(kName.size());
        if (!cookies.empty()) {
            cookies += "; ";
        }
        cookies += rest.substr(0, rest.find_first_of(";\r\n"));
    }
    return size * count;
}

std::string Fetch(const std::string& url, const std::string* post, curl_slist* headers,
                  std::string* cookies) {
    Easy easy(curl_easy_init(), &curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
    if (cookies != nullptr) {
        curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, &CollectCookie);
        curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, cookies);
    }
    if (post != nullptr) {
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, post->c_str());
    }
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers);
    curl_easy_perform(easy.get());
    return body;
}

// The header lines WebRequest hands over for a request without a block of its own.
std::string DefaultHeaders(std::string_view url, bool post) {
    std::string headers = "Accept: */*\r\nReferer: " + std::string(url) +
                          "\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; "
                          "MSIE 9.0; Windows NT 6.1)";
    if (post) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    return headers;
}

// The Cookie line (when cookies are given) and the lines of a CR LF separated block.
HeaderList HeaderLines(const std::string* cookies, std::string_view block) {
    curl_slist* list = nullptr;
    if (cookies != nullptr) {
        list = curl_slist_append(list, ("Cookie: " + *cookies).c_str());
    }
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        list = curl_slist_append(list, std::string(block.substr(0, end)).c_str());
        block = end == std::string_view::npos ? std::string_view() : block.substr(end + 2);
    }
    return HeaderList(list, &curl_slist_free_all);
}

// The two requests of one provider with nothing but libcurl, on fresh handles as WebRequest
// makes them.
class BarePair {
  public:
    explicit BarePair(ShortLinkProvider provider)
        : provider_(provider),
          info_(Provider(provider)),
          encoded_(EncodeLongAddress(provider, kAddress)),
          url_(ShorteningAddress(provider, encoded_)),
          body_(ShorteningBody(provider, encoded_)),
          block_(info_.headerBlock.empty() ? DefaultHeaders(url_, info_.method == 1)
                                           : std::string(info_.headerBlock)),
          homeHeaders_(HeaderLines(nullptr, DefaultHeaders(info_.homePage, false))) {}

    bool Run() const {
        std::string cookies;
        Fetch(std::string(info_.homePage), nullptr, homeHeaders_.get(), &cookies);
        const HeaderList headers = HeaderLines(&cookies, block_);
        const std::string answer =
            Fetch(url_, info_.method == 1 ? &body_ : nullptr, headers.get(), nullptr);
        return IsShortLink(LinkCandidate(provider_, answer));
    }

  private:
    ShortLinkProvider provider_;
    const ProviderInfo& info_;
    Text encoded_;
    std::string url_;
    std::string body_;
    std::string block_;
    HeaderList homeHeaders_;
};

void BM_BareLibcurl(benchmark::State& state) {
    const BarePair pair(static_cast<ShortLinkProvider>(state.range(0)));
    for (auto _ : state) {
        if (!pair.Run()) {
            state.SkipWithError("no link");
            break;
        }
    }
}

// For reading the figures: how much of the difference is the job's own thread, and how much
// WebRequest and the job's text work.
void BM_BareLibcurlOnFreshThread(benchmark::State& state) {
    const BarePair pair(static_cast<ShortLinkProvider>(state.range(0)));
    for (auto _ : state) {
        bool linked = false;
        std::thread thread([&] { linked = pair.Run(); });
        thread.join();
        if (!linked) {
            state.SkipWithError("no link");
            break;
        }
    }
}

void BM_JobOnCallingThread(benchmark::State& state) {
    const auto provider = static_cast<ShortLinkProvider>(state.range(0));
    FakeShortenHost host;
    host.SetLongLink(Text(kAddress));
    const WebRequestFunction webRequest(&WebRequest);
    for (auto _ : state) {
        if (!ShortenVia(provider, host, webRequest).succeeded) {
            state.SkipWithError("no link");
            break;
        }
    }
}

BENCHMARK(BM_ClickToLink)->DenseRange(1, 3)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareLibcurl)->DenseRange(1, 3)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareLibcurlOnFreshThread)
    ->DenseRange(1, 3)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JobOnCallingThread)->DenseRange(1, 3)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // Before any request: libcurl reads the environment on each transfer.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    ::setenv("http_proxy", tarnwick::Simulator().ProxyAddress().c_str(), 1);
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
        ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
