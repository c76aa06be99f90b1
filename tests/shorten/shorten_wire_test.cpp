// The three providers on the wire of the libcurl object, with the provider simulator as the
// proxy that the environment names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "shorten/hosts.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"
#include "text/find.h"

namespace tarnwick {
namespace {

using Sim = ProviderSimulator;

// Each provider's whole raw requests, one line each ("@" for its host), without those the
// transport places for itself: the service decoded the very bytes in the box when the job ran,
// in code page 936. Only the latest click publishes, and a service that never answers keeps its
// job busy until the connection goes.
TEST(ShortenJobs, EachProviderOnTheWireAndOnlyTheLatestClickPublishes) {
    FakeShortenHost host;  // outlives the detached job threads, which are done once they posted
    std::deque<std::function<void()>> routines;  // the test runs them here, when it chooses
    bool refuse = false;
    bool threaded = false;
    ShortenJobs jobs(WebRequestFunction(&WebRequest), [&](std::function<void()> routine) {
        if (threaded) {
            std::thread(std::move(routine)).detach();
            return true;
        }
        routines.push_back(std::move(routine));
        return !refuse;
    });
    Sim simulator;
    // Set while no other thread runs: libcurl reads the environment on each transfer.
    ::setenv("http_proxy", simulator.ProxyAddress().c_str(), 1);  // NOLINT
    const std::string hosts[] = {TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER2_HOST,
                                 TARNWICK_PROVIDER3_HOST};
    const auto click = [&](int provider, std::string_view address) {
        host.provider = provider;
        host.SetLongLink(Text(address));
        jobs.OnGenerateClicked(host);
    };
    const std::string both = std::string(Sim::kAnswerCookie) + "; " + std::string(Sim::kHomeCookie);
    const auto shows = [&](std::string_view status, const std::string& link,
                           std::string_view cookies) {
        EXPECT_EQ(host.statuses.back() + "|" + host.shortLink + "|" + jobs.AnswerText() + "|" +
                      jobs.ProviderCookies(),
                  Text(status) + "|" + link + "|" + link + "|" + Text(cookies));
    };

    // "http://例.test/文?q=中>~~" in code page 936.
    const std::string chinese = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";
    const std::string plain = "http://example.test/a/long/path?q=1";
    const std::string ie =
        "|Accept-Language: zh-cn|User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)|";
    const std::string home = "GET http://@/ HTTP/1.1|Host: @|Accept: */*|Referer: http://@";
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {chinese, home + "/" + ie + "|GET http://@/api.php?from=w&url=aHR0cDovL8D9LnRlc3QvzsQ/"
         "cT3W0D5+fg==&site=sina HTTP/1.1|Host: @|Cookie: SID=7f3a|User-Agent: Mozilla/5.0 (X11; "
         "Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/52.0.2743.82 Safari/537.36|"
         "Accept: application/json, text/javascript, */*; q=0.01|Accept-Language: en-US,en;q=0.8|"
         "Accept-Encoding: gzip, deflate|X-Requested-With: XMLHttpRequest|Referer: http://@/|"
         "DNT: 1|Connection: close||"},
        {plain, home + "/" + ie + "|GET http://@/api.php?url=" + plain + " HTTP/1.1|Host: @|"
         "Cookie: SID=7f3a|Accept: */*|Referer: http://@/api.php?url=" + plain + ie + "|"},
        {chinese, home + ie + "|POST http://@/index.php?m=index&a=create HTTP/1.1|Host: @|"
         "Cookie: SID=7f3a|Accept: */*|Referer: http://@/index.php?m=index&a=create" + ie +
         "Content-Type: application/x-www-form-urlencoded||url=%68%74%74%70%3A%2F%2F%C0%FD%2E%74"
         "%65%73%74%2F%CE%C4%3F%71%3D%D6%D0%3E%7E%7E&alias=&pwd=&access_type=web"}};
    // clang-format on
    for (int p = 1; p <= 3; ++p) {
        click(p, "typed before the click");
        shows(kStatusWorking, "", "");  // the click emptied the box and the texts
        host.SetLongLink(rows[p - 1].first);
        routines.back()();
        const std::vector<std::string> requests = simulator.Requests();
        const std::string sent =
            std::regex_replace(requests.end()[-2] + requests.back(),
                               std::regex("(Proxy-Connection|Content-Length): .*\r\n"), "");
        EXPECT_EQ(TextReplace(sent, "\r\n", "|"),
                  TextReplace(rows[p - 1].second, "@", hosts[p - 1]));
        shows(kStatusSucceeded, simulator.ShortLinkFor(hosts[p - 1], rows[p - 1].first), both);
    }
    click(1, plain);  // ends last, superseded
    click(2, plain);
    routines.back()();
    routines.end()[-2]();
    shows(kStatusSucceeded, simulator.ShortLinkFor(hosts[1], plain), both);
    jobs.FreeJobTexts();  // what the exit handler calls
    EXPECT_EQ(jobs.AnswerText() + jobs.ProviderCookies(), "");
    // No provider, or a number out of range: nothing starts and the status stays, but the
    // click still supersedes the running job.
    click(3, plain);
    for (const int provider : {0, 4, -1}) {
        const std::size_t statuses = host.statuses.size();
        click(provider, plain);
        EXPECT_EQ(routines.size() * 100 + host.statuses.size(), 600 + statuses);
    }
    routines.back()();
    shows(kStatusWorking, "", "");
    refuse = true;  // no thread to be had: the status says so instead of staying busy
    click(3, plain);
    shows(kStatusFailed, "", "");
    EXPECT_EQ(host.statuses.end()[-2], kStatusWorking);

    threaded = true;  // six tasks so far, all run on this thread
    simulator.SetFailure(hosts[2], Sim::Failure::kNeverAnswer);
    click(3, plain);
    ASSERT_TRUE(simulator.WaitUntilHeld(1));
    simulator.ReleaseHeldRequests();
    ASSERT_TRUE(host.WaitForTasks(7));
    shows(kStatusFailed, "", Sim::kHomeCookie);
}

}  // namespace
}  // namespace tarnwick
