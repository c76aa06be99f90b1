// The cost of merging long cookie lists, of a WebRequest GET on loopback next to a bare libcurl
// transfer of the same request (a fresh easy handle and connection each time), and the memory
// that a body at the size limit takes on its way out.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/raw_server.h"
#include "web/cookies.h"
#include "web/web_access.h"
#include "web/web_request.h"

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRequestsPerRun = 1000;
constexpr int kWarmUpRequests = 50;

// items in all: half sent, half received; a quarter of the sent names come back, some of them
// deleted, so every rule of the merge has work to do.
void CookieLists(int items, Text& older, Text& newer) {
    older.clear();
    newer.clear();
    for (int i = 0; i < items / 2; ++i) {
        older += "name" + std::to_string(i) + "=old" + std::to_string(i) + "; ";
        if (i % 4 == 0) {
            newer += "name" + std::to_string(i) + (i % 8 == 0 ? "=deleted; " : "=new; ");
        } else {
            newer += "fresh" + std::to_string(i) + "=v; ";
        }
    }
}

void BM_MergeCookies(benchmark::State& state) {
    Text older;
    Text newer;
    CookieLists(static_cast<int>(state.range(0)), older, newer);
    for (auto _ : state) {
        state.PauseTiming();
        Text sent = older;
        Text received = newer;
        state.ResumeTiming();
        benchmark::DoNotOptimize(MergeCookies(sent, received));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_MergeCookies)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

extern "C" std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The request WebRequest makes for a GET with no header text of its own, done the plain way.
std::string BareCurlGet(const std::string& url) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Accept: */*");
    headers = curl_slist_append(headers, ("Referer: " + url).c_str());
    headers = curl_slist_append(headers, "Accept-Language: zh-cn");
    headers = curl_slist_append(headers,
                                "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return body;
}

std::string WebRequestGet(const std::string& url) {
    const ByteSet body = WebRequest(url);
    return std::string(body.begin(), body.end());
}

double MedianMicroseconds(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return samples[samples.size() / 2];
}

template <typename Get>
double TimeOne(Get get, const std::string& url, std::size_t expectedSize) {
    const auto start = Clock::now();
    const std::string body = get(url);
    const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (body.size() != expectedSize) {
        std::fprintf(stderr, "unexpected body of %zu bytes\n", body.size());
    }
    return micros;
}

const std::string kSmallBody = "{\"status\":0,\"url\":\"http:\\/\\/s.example\\/abc\"}";

// Both transfers in turn, so that a busy machine weighs on both alike.
void BM_WebRequestVersusBareCurl(benchmark::State& state) {
    PrepareWebAccess();
    test::RawServer server(test::ReplyWith(test::OkResponse(kSmallBody)));
    const std::string url = server.Url("/api?x=1");
    for (int i = 0; i < kWarmUpRequests; ++i) {
        WebRequestGet(url);
        BareCurlGet(url);
    }
    std::vector<double> web;
    std::vector<double> bare;
    for (auto _ : state) {
        web.push_back(TimeOne(WebRequestGet, url, kSmallBody.size()));
        bare.push_back(TimeOne(BareCurlGet, url, kSmallBody.size()));
    }
    const double webMedian = MedianMicroseconds(web);
    const double bareMedian = MedianMicroseconds(bare);
    state.counters["web_median_us"] = webMedian;
    state.counters["bare_median_us"] = bareMedian;
    state.counters["ratio"] = bareMedian > 0 ? webMedian / bareMedian : 0;
}
BENCHMARK(BM_WebRequestVersusBareCurl)->Iterations(kRequestsPerRun)->Unit(benchmark::kMicrosecond);

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// Peak resident memory beyond what the server's own answer takes: the body, and whatever copies
// of it WebRequest makes before it hands it back. Run once: the peak only ever grows.
void BM_BodyAtTheLimitPeakMemory(benchmark::State& state) {
    PrepareWebAccess();
    // Built in place: a temporary copy would raise the peak before the request is even made.
    constexpr std::size_t kBodyBytes = std::size_t{64} << 20;
    std::string answer =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBodyBytes) + "\r\n\r\n";
    answer.resize(answer.size() + kBodyBytes, 'b');
    test::RawServer server([&answer](test::Connection& c, const std::string&) {
        c.Send(answer);
        c.CloseWrite();
    });
    const double before = PeakResidentMiB();
    std::size_t size = 0;
    for (auto _ : state) {
        size = WebRequest(server.Url("/big")).size();
    }
    state.counters["body_MiB"] = static_cast<double>(size) / (1 << 20);
    state.counters["peak_beyond_answer_MiB"] = PeakResidentMiB() - before;
}
BENCHMARK(BM_BodyAtTheLimitPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
