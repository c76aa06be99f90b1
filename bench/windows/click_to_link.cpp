// Click-to-link of each provider through the loopback simulator (the job, WebRequest and the
// system object), against the same two requests made straight on the object by member name,
// each on a fresh object. Medians of interleaved rounds, in microseconds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "shorten/providers.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"
#include "web/win32/automation.h"

namespace {

using namespace tarnwick;
using automation::Variant;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kAddress = "http://example.test/a/rather/long/path?with=query&and=more";
constexpr int kRounds = 41;

// One request on a fresh object; the answer's Set-Cookie value (its first item) into cookie.
ByteSet Request(const std::string& method, const std::string& url, const std::string& body,
                std::string* cookie) {
    automation::DispatchRef object = automation::CreateByProgId(L"WinHttp.WinHttpRequest.5.1");
    if (!object) {
        return {};
    }
    Variant verb = Variant::String(method);
    Variant address = Variant::String(url);
    Variant synchronous = Variant::Boolean(false);
    automation::CallMethod(*object, L"Open", {&verb, &address, &synchronous});
    if (cookie != nullptr && !cookie->empty()) {
        Variant name = Variant::String("Cookie");
        Variant value = Variant::String(*cookie);
        automation::CallMethod(*object, L"SetRequestHeader", {&name, &value});
    }
    if (method == "POST") {
        Variant name = Variant::String("Content-Type");
        Variant value = Variant::String("application/x-www-form-urlencoded");
        automation::CallMethod(*object, L"SetRequestHeader", {&name, &value});
    }
    Variant payload = Variant::String(body);
    automation::CallMethod(*object, L"Send", {&payload});
    if (cookie != nullptr) {
        const Text headers =
            automation::VariantToText(automation::ReadVariant(*object, L"GetAllResponseHeaders"));
        const std::size_t at = headers.find("Set-Cookie: ");
        *cookie = at == Text::npos ? "" : headers.substr(at + 12, headers.find(';', at) - at - 12);
    }
    return automation::VariantToByteSet(automation::ReadVariant(*object, L"ResponseBody"));
}

bool Direct(ShortLinkProvider provider) {
    const ProviderInfo& info = Provider(provider);
    const Text encoded = EncodeLongAddress(provider, kAddress);
    std::string cookie;
    Request("GET", std::string(info.homePage), "", &cookie);
    const bool post = info.method == kPostMethod;
    const ByteSet answer = Request(post ? "POST" : "GET", ShorteningAddress(provider, encoded),
                                   post ? ShorteningBody(provider, encoded) : "", &cookie);
    return IsShortLink(LinkCandidate(provider, ToText(answer)));
}

bool Job(ShortLinkProvider provider) {
    FakeShortenHost host;
    host.SetLongLink(Text(kAddress));
    return ShortenVia(provider, host, WebRequestFunction(&WebRequest)).succeeded;
}

long long Median(std::vector<long long> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Run>
long long Time(Run run, ShortLinkProvider provider, bool& ok) {
    const Clock::time_point start = Clock::now();
    ok = run(provider) && ok;
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

}  // namespace

int main() {
    ProviderSimulator simulator;
    // Before the first request: Wine reads the default proxy setting once.
    ::SetEnvironmentVariableA("http_proxy", simulator.ProxyAddress().c_str());
    ::CoInitialize(nullptr);
    std::printf("%-10s %12s %12s %7s\n", "provider", "job us", "direct us", "ratio");
    for (int p = 1; p <= 3; ++p) {
        const auto provider = static_cast<ShortLinkProvider>(p);
        std::vector<long long> job;
        std::vector<long long> direct;
        bool ok = Job(provider) && Direct(provider);  // warm
        for (int round = 0; round < kRounds; ++round) {
            // Taking turns, and which goes first alternates, so drift slows both alike.
            if (round % 2 == 0) {
                job.push_back(Time(&Job, provider, ok));
                direct.push_back(Time(&Direct, provider, ok));
            } else {
                direct.push_back(Time(&Direct, provider, ok));
                job.push_back(Time(&Job, provider, ok));
            }
        }
        const long long jobUs = Median(job);
        const long long directUs = Median(direct);
        std::printf("%-10d %12lld %12lld %7.2f%s\n", p, jobUs, directUs,
                    static_cast<double>(jobUs) / static_cast<double>(directUs),
                    ok ? "" : "  (a request failed)");
    }
    ::CoUninitialize();
    return 0;
}
