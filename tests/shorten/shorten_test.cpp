// The shortening jobs: the link rules and the click logic against a scripted WebRequest, then
// end to end (real WebRequest, libcurl and threads) with the provider simulator as the proxy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
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
// The hosts this build was given (CI also builds with other names).
const std::string kHosts[] = {TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER2_HOST,
                              TARNWICK_PROVIDER3_HOST};

// What each provider's answer makes of its link; "" is a failure. Then: a scheme alone names no
// link; plain text keeps its backslashes; a backslash that is the second byte of a double-byte
// character is no backslash.
TEST(ShortenVia, OnlyALinkInLowerCaseWithoutSpaceOrControlBytesCountsAsSuccess) {
    // clang-format off
    const std::tuple<int, std::string_view, std::string_view> rows[] = {
        {1, R"({"short_url":"https:\/\/s.example\/x"})", "https://s.example/x"},
        {1, R"({"short_url":"HTTPS:\/\/s.example\/x"})", ""}, {2, "Http://s.example/x", ""},
        {3, R"({"status":0,"tinyurl":"error: see http:\/\/s.example\/help"})", ""},
        {1, R"({"code":1,"msg":"http:\/\/s.example\/x"})", ""}, {2, "ftp://s.example/x", ""},
        {3, R"({"tinyurl":"http:\/\/"})", ""}, {2, "https://", ""}, {2, "", ""},
        {2, "\thttps://s.example/x \r\n", "https://s.example/x"},
        {2, "http:\\/\\/s.example", ""}, {2, "http://s.example/\\!~", "http://s.example/\\!~"},
        {2, "http://s.example/x\r\nhttp://s.example/y", ""}, {2, "http://s.example/x\x01", ""},
        {2, "http://s.example/x\x7F", ""}, {2, "http://s.example/a b", ""},
        {3, "{\"tinyurl\":\"http:\\/\\/s.example\\/\x81\x5C\"}", "http://s.example/\x81\x5C"},
        {3, R"({"tinyurl":" http:\/\/s.example\/x "})", "http://s.example/x"}};
    // clang-format on
    for (const auto& [provider, answer, link] : rows) {
        const Text candidate = LinkCandidate(static_cast<ShortLinkProvider>(provider), answer);
        EXPECT_EQ(IsShortLink(candidate) ? candidate : "", link) << answer;
    }
}

TEST(ShortenJobs, ReadTheBoxAfterTheHomePageAndOnlyTheLatestClickPublishes) {
    // Plays provider 2 without a network: the home page sets two cookies, the shortening answer
    // merges in one more and names the address, or is an error for none.
    std::vector<std::string> urls;
    const auto service = [&](std::string_view url, const WebRequestArgs& args) {
        urls.emplace_back(url);
        if (args.sendCookies == nullptr) {
            *args.receivedCookies = "SID=s1; visit=1";
            return ByteSet();
        }
        *args.sendCookies = "last=ok; " + *args.sendCookies;
        const Text address = Text(url).substr(url.find("url=") + 4);
        return ToByteSet(address.empty() ? Text("error") : "http://s.example/" + address);
    };
    std::deque<std::function<void()>> routines;  // the test decides when each job runs
    bool refuse = false;
    ShortenJobs jobs(service, [&](std::function<void()> routine) {
        routines.push_back(std::move(routine));
        return !refuse;
    });
    FakeShortenHost host;
    host.provider = 2;
    const auto click = [&](const char* address) {
        host.SetLongLink(address);
        jobs.OnGenerateClicked(host);
    };
    const auto finish = [&](std::size_t job) {
        routines.at(job)();
        ASSERT_TRUE(host.RunNextTask());
    };
    const auto shows = [&](std::string_view status, const char* link, const char* answer) {
        EXPECT_EQ(host.Status() + "|" + host.ShortLink() + "|" + jobs.AnswerText(),
                  Text(status) + "|" + link + "|" + answer);
    };

    click("typed before the click");
    shows(kStatusWorking, "", "");
    host.SetLongLink("one");  // the user may still type while the home page loads
    finish(0);
    EXPECT_EQ(urls.at(1), "http://" + kHosts[1] + "/api.php?url=one");
    shows(kStatusSucceeded, "http://s.example/one", "http://s.example/one");
    EXPECT_EQ(jobs.ProviderCookies(), "last=ok; SID=s1; visit=1");
    click("two");  // clears the box and both texts before any answer
    shows(kStatusWorking, "", "");
    EXPECT_EQ(jobs.ProviderCookies(), "");
    click("three");  // the second job finishes last but is stale
    finish(2);
    finish(1);
    shows(kStatusSucceeded, "http://s.example/three", "http://s.example/three");
    jobs.FreeJobTexts();  // what the exit handler calls
    EXPECT_EQ(jobs.AnswerText() + jobs.ProviderCookies(), "");
    click("four");  // a stale success after a click whose job failed shows nothing either
    click("");
    finish(4);
    finish(3);
    shows(kStatusFailed, "", "error");
    // No provider, or a number out of range: nothing starts and the status stays, but the
    // click still empties the box and the texts and supersedes the running job.
    click("five");
    for (const int provider : {0, 4, -1}) {
        host.provider = provider;
        const std::size_t statuses = host.statuses.size();
        click("six");
        EXPECT_EQ(routines.size(), 6u);
        EXPECT_EQ(host.statuses.size(), statuses);
    }
    finish(5);
    shows(kStatusWorking, "", "");
    host.provider = 3;  // no thread to be had: the status says so instead of staying busy
    refuse = true;
    click("seven");
    shows(kStatusFailed, "", "");
    EXPECT_EQ(host.statuses.end()[-2], kStatusWorking);
}

// Each provider's whole raw requests, one line each, without those the transport places for
// itself; the service decoded the very bytes typed, in code page 936. Then a service that never
// answers: the job shows the busy status until the connection goes, and a later click
// supersedes a held job, which gives up its transfer without waiting for the service; whichever
// ends first, the later click's link stays.
TEST(ShortenOnTheWire, EachProviderSendsItsRequestsAndALaterClickGivesUpAHeldOne) {
    FakeShortenHost host;  // declared first: the job threads are joined while it exists
    struct Joined : std::vector<std::thread> {
        ~Joined() {
            for (std::thread& thread : *this) {
                if (thread.joinable()) {
                    thread.join();
                }
            }
        }
    } threads;
    ShortenJobs jobs(WebRequestFunction(&WebRequest), [&](std::function<void()> routine) {
        return StartThread(std::move(routine), &threads.emplace_back());
    });
    Sim simulator;
    // Set while no other thread runs: libcurl reads the environment on each transfer.
    ::setenv("http_proxy", simulator.ProxyAddress().c_str(), 1);  // NOLINT
    for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
        ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
    }
    const auto click = [&](int provider, std::string_view address) {
        host.provider = provider;
        host.SetLongLink(Text(address));
        jobs.OnGenerateClicked(host);
    };
    const auto showsLinkFor = [&](int provider, std::string_view address) {
        const std::string link = Sim::ShortLinkFor(kHosts[provider - 1], address);
        EXPECT_EQ(host.Status() + "|" + host.ShortLink() + "|" + jobs.AnswerText() + "|" +
                      jobs.ProviderCookies(),
                  std::string(kStatusSucceeded) + "|" + link + "|" + link + "|" +
                      std::string(Sim::kAnswerCookie) + "; " + std::string(Sim::kHomeCookie));
    };

    // "http://例.test/文?q=中>~~" in code page 936.
    const std::string chinese = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";
    const std::string plain = "http://example.test/a/long/path?q=1";
    const auto defaults = [](const std::string& referer) {
        return "Accept: */*|Referer: " + referer +
               "|Accept-Language: zh-cn|User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT "
               "6.1)";
    };
    const std::string& h1 = kHosts[0];
    const std::string& h2 = kHosts[1];
    const std::string& h3 = kHosts[2];
    const std::string cookie = "|Cookie: " + std::string(Sim::kHomeCookie);
    const struct {
        std::string address, home, shorten;
    } rows[] = {
        {chinese,
         "GET http://" + h1 + "/ HTTP/1.1|Host: " + h1 + "|" + defaults("http://" + h1 + "/") + "|",
         "GET http://" + h1 +
             "/api.php?from=w&url=aHR0cDovL8D9LnRlc3QvzsQ/cT3W0D5+fg==&site=sina HTTP/1.1|Host: " +
             h1 + cookie +
             "|User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
             "Chrome/52.0.2743.82 Safari/537.36|Accept: application/json, text/javascript, */*; "
             "q=0.01|Accept-Language: en-US,en;q=0.8|Accept-Encoding: gzip, deflate|"
             "X-Requested-With: XMLHttpRequest|Referer: http://" +
             h1 + "/|DNT: 1|Connection: close|"},
        {plain,
         "GET http://" + h2 + "/ HTTP/1.1|Host: " + h2 + "|" + defaults("http://" + h2 + "/") + "|",
         "GET http://" + h2 + "/api.php?url=" + plain + " HTTP/1.1|Host: " + h2 + cookie + "|" +
             defaults("http://" + h2 + "/api.php?url=" + plain) + "|"},
        {chinese,
         "GET http://" + h3 + "/ HTTP/1.1|Host: " + h3 + "|" + defaults("http://" + h3) + "|",
         "POST http://" + h3 + "/index.php?m=index&a=create HTTP/1.1|Host: " + h3 + cookie + "|" +
             defaults("http://" + h3 + "/index.php?m=index&a=create") +
             "|Content-Type: application/x-www-form-urlencoded||"
             "url=%68%74%74%70%3A%2F%2F%C0%FD%2E%74%65%73%74%2F%CE%C4%3F%71%3D%D6%D0%3E%7E%7E"
             "&alias=&pwd=&access_type=web"},
    };
    for (int p = 1; p <= 3; ++p) {
        const std::size_t before = simulator.Requests().size();
        click(p, rows[p - 1].address);
        ASSERT_TRUE(host.RunNextTask());
        std::vector<std::string> sent;
        for (std::size_t i = before; i < simulator.Requests().size(); ++i) {
            std::string kept;
            for (const std::string& line : TextSplit(simulator.Requests()[i], "\r\n")) {
                if (!line.starts_with("Proxy-Connection:") &&
                    !line.starts_with("Content-Length:")) {
                    kept += (kept.empty() ? "" : "|") + line;
                }
            }
            sent.push_back(kept);
        }
        EXPECT_EQ(sent, (std::vector<std::string>{rows[p - 1].home, rows[p - 1].shorten}));
        showsLinkFor(p, rows[p - 1].address);
    }

    simulator.SetFailure(h3, Sim::Failure::kNeverAnswer);
    click(3, "http://example.test/x");
    ASSERT_TRUE(simulator.WaitUntilHeld(1));
    EXPECT_EQ(host.Status(), kStatusWorking);
    simulator.ReleaseHeldRequests();
    ASSERT_TRUE(host.RunNextTask());
    EXPECT_EQ(host.Status() + host.ShortLink(), kStatusFailed);
    click(3, "http://first.test/");
    ASSERT_TRUE(simulator.WaitUntilHeld(1));
    click(1, "http://second.test/");
    ASSERT_TRUE(host.RunNextTask());
    ASSERT_TRUE(host.RunNextTask());
    EXPECT_EQ(simulator.HeldCount(), 1u);
    showsLinkFor(1, "http://second.test/");
}

}  // namespace
}  // namespace tarnwick
