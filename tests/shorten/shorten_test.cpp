// The shortening jobs: first against a scripted WebRequest, for what the wire cannot show, then
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

// Plays a provider without a network: the home page sets two cookies, the shortening answer
// merges in one more and answers with answerFor(url).
struct ScriptedService {
    std::function<Text(const Text& url)> answerFor = [](const Text&) { return Text(); };
    std::function<void()> duringHomePage = [] {};
    std::vector<std::pair<Text, WebRequestArgs>> calls;

    WebRequestFunction Function() {
        return [this](std::string_view url, const WebRequestArgs& args) {
            calls.emplace_back(url, args);
            if (args.sendCookies == nullptr) {
                duringHomePage();
                *args.receivedCookies = "SID=s1; visit=1";
                return ByteSet();
            }
            *args.sendCookies = "last=ok; " + *args.sendCookies;
            return ToByteSet(answerFor(Text(url)));
        };
    }
};

// What the job makes of each answer. The long address is read once the home page has
// answered, not at the click, and goes out encoded (the requests themselves are checked on
// the wire below).
TEST(ShortenVia, ReadsTheAddressAfterTheHomePageAndOnlyALinkCountsAsSuccess) {
    const char* const encoded[] = {"YWJj", "abc", "%61%62%63"};  // "abc" as each sends it
    const struct {
        int provider;
        std::string answer;
        const char* link;  // nullptr: failure
    } rows[] = {
        // The scheme is spelled in lower case, as the services write it.
        {1, R"({"short_url":"HTTPS:\/\/s.example\/x"})", nullptr},
        {1, R"({"short_url":"https:\/\/s.example\/x"})", "https://s.example/x"},
        {2, "Http://s.example/x", nullptr},
        {3, R"({"tinyurl":"httP:\/\/s.example\/x"})", nullptr},
        {1, R"({"code":1,"short_url":"bad url, see http:\/\/s.example\/help"})", nullptr},
        {1, R"({"code":1,"msg":"http:\/\/s.example\/x"})", nullptr},
        {1, "<html>500 see http://s.example/</html>", nullptr},
        {1, R"({"short_url":"http:\/\/"})", nullptr},  // a scheme alone names no link
        {2, "https://", nullptr},
        {2, "\thttps://s.example/x \r\n", "https://s.example/x"},
        {2, "http:\\/\\/s.example", nullptr},  // plain text: its backslashes stay
        {2, "http://s.example/\\!~", "http://s.example/\\!~"},
        {2, "<html><a href=\"http://s.example/\">http://s.example/</a></html>", nullptr},
        {2, "error: see http://s.example/help", nullptr},
        {2, "http://s.example/x\r\nhttp://s.example/y", nullptr},
        {2, "http://s.example/a b", nullptr},
        {2, "http://s.example/x\x01", nullptr},
        {2, "http://s.example/x\x7F", nullptr},
        {2, "ftp://s.example/x", nullptr},
        {2, "", nullptr},
        {2, std::string("http://s.example/z\0trailing", 27), "http://s.example/z"},  // to the zero
        // A backslash that is the second byte of a double-byte character is no backslash.
        {3, "{\"tinyurl\":\"http:\\/\\/s.example\\/\x81\x5C\"}", "http://s.example/\x81\x5C"},
        {3, R"({"status":0,"tinyurl":"error: see http:\/\/s.example\/help"})", nullptr},
        {3, R"({"tinyurl":" http:\/\/s.example\/x "})", "http://s.example/x"},
    };
    for (const auto& row : rows) {
        FakeShortenHost host;
        host.SetLongLink("typed before the click");
        ScriptedService service;
        service.duringHomePage = [&] { host.SetLongLink("abc"); };
        service.answerFor = [&](const Text&) { return Text(row.answer); };
        const ShortenJob job =
            ShortenVia(static_cast<ShortLinkProvider>(row.provider), host, service.Function());
        EXPECT_EQ(job.succeeded ? job.answerText : "<failed>", row.link ? row.link : "<failed>")
            << row.answer;
        const auto& [url, shorten] = service.calls.at(1);
        EXPECT_NE((url + shorten.bodyText).find(encoded[row.provider - 1]), Text::npos);
    }
}

TEST(ShortenJobs, OnlyTheLatestClickPublishes) {
    ScriptedService service;
    service.answerFor = [](const Text& url) {  // the link of each job names its address
        const Text address = url.substr(url.find("url=") + 4);
        return address.empty() ? Text("error") : "http://s.example/" + address;
    };
    std::deque<std::function<void()>> routines;  // the test decides when each job runs
    bool refuse = false;
    ShortenJobs jobs(service.Function(), [&](std::function<void()> routine) {
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

    click("one");  // the box is emptied before anything else
    EXPECT_EQ(host.links, std::vector<Text>{""});
    shows(kStatusWorking, "", "");
    finish(0);
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

class ShortenOnTheWire : public ::testing::Test {
  protected:
    void SetUp() override {
        // Set while no other thread runs: libcurl reads the environment on each transfer.
        ::setenv("http_proxy", simulator_.ProxyAddress().c_str(), 1);  // NOLINT
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
        }
    }
    void Click(int provider, std::string_view address, bool wait = true) {
        host_.provider = provider;
        host_.SetLongLink(Text(address));
        jobs_.OnGenerateClicked(host_);
        if (wait) {
            ASSERT_TRUE(host_.RunNextTask());
        }
    }
    void ShowsLinkFor(int provider, std::string_view address) const {
        const std::string link = Sim::ShortLinkFor(kHosts[provider - 1], address);
        EXPECT_EQ(host_.Status() + "|" + host_.ShortLink() + "|" + jobs_.AnswerText() + "|" +
                      jobs_.ProviderCookies(),
                  std::string(kStatusSucceeded) + "|" + link + "|" + link + "|" +
                      std::string(Sim::kAnswerCookie) + "; " + std::string(Sim::kHomeCookie));
    }

    // Each job's thread, joined at the end while the host it posts to still exists.
    struct Threads {
        std::vector<std::thread> all;
        ~Threads() {
            for (std::thread& thread : all) {
                if (thread.joinable()) {
                    thread.join();
                }
            }
        }
    };
    // The simulator goes first, ending every held request.
    FakeShortenHost host_;
    Threads threads_;
    ShortenJobs jobs_{WebRequestFunction(&WebRequest), [this](std::function<void()> routine) {
                          return StartThread(std::move(routine), &threads_.all.emplace_back());
                      }};
    ProviderSimulator simulator_;
};

// "http://例.test/文?q=中>~~" in code page 936.
constexpr std::string_view kChinese = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";

// The whole raw requests of each provider, one line each, without those the transport places
// for itself; the service decoded the very bytes typed, in code page 936.
TEST_F(ShortenOnTheWire, EachProviderSendsItsRequestsAndShowsTheLink) {
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
        {std::string(kChinese),
         "GET http://" + h1 + "/ HTTP/1.1|Host: " + h1 + "|" + defaults("http://" + h1 + "/") + "|",
         "GET http://" + h1 +
             "/api.php?from=w&url=aHR0cDovL8D9LnRlc3QvzsQ/cT3W0D5+fg==&site=sina HTTP/1.1|Host: " +
             h1 + cookie +
             "|User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
             "Chrome/52.0.2743.82 Safari/537.36|Accept: application/json, text/javascript, */*; "
             "q=0.01"
             "|Accept-Language: en-US,en;q=0.8|Accept-Encoding: gzip, deflate|X-Requested-With: "
             "XMLHttpRequest"
             "|Referer: http://" +
             h1 + "/|DNT: 1|Connection: close|"},
        {plain,
         "GET http://" + h2 + "/ HTTP/1.1|Host: " + h2 + "|" + defaults("http://" + h2 + "/") + "|",
         "GET http://" + h2 + "/api.php?url=" + plain + " HTTP/1.1|Host: " + h2 + cookie + "|" +
             defaults("http://" + h2 + "/api.php?url=" + plain) + "|"},
        {std::string(kChinese),
         "GET http://" + h3 + "/ HTTP/1.1|Host: " + h3 + "|" + defaults("http://" + h3) + "|",
         "POST http://" + h3 + "/index.php?m=index&a=create HTTP/1.1|Host: " + h3 + cookie + "|" +
             defaults("http://" + h3 + "/index.php?m=index&a=create") +
             "|Content-Type: application/x-www-form-urlencoded||"
             "url=%68%74%74%70%3A%2F%2F%C0%FD%2E%74%65%73%74%2F%CE%C4%3F%71%3D%D6%D0%3E%7E%7E"
             "&alias=&pwd=&access_type=web"},
    };
    for (int p = 1; p <= 3; ++p) {
        const std::size_t before = simulator_.Requests().size();
        Click(p, rows[p - 1].address);
        std::vector<std::string> sent;
        for (std::size_t i = before; i < simulator_.Requests().size(); ++i) {
            std::string kept;
            for (const std::string& line : TextSplit(simulator_.Requests()[i], "\r\n")) {
                if (!line.starts_with("Proxy-Connection:") &&
                    !line.starts_with("Content-Length:")) {
                    kept += (kept.empty() ? "" : "|") + line;
                }
            }
            sent.push_back(kept);
        }
        EXPECT_EQ(sent, (std::vector<std::string>{rows[p - 1].home, rows[p - 1].shorten}));
        ShowsLinkFor(p, rows[p - 1].address);
    }
}

// A service that never answers: the job shows the busy status until the connection goes. A
// later click supersedes a held job, which gives up its transfer without waiting for the
// service; whichever ends first, the later click's link stays.
TEST_F(ShortenOnTheWire, AHeldJobStaysBusyUntilItEndsAndALaterClickGivesItUp) {
    simulator_.SetFailure(kHosts[2], Sim::Failure::kNeverAnswer);
    Click(3, "http://example.test/x", false);
    ASSERT_TRUE(simulator_.WaitUntilHeld(1));
    EXPECT_EQ(host_.Status(), kStatusWorking);
    simulator_.ReleaseHeldRequests();
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(host_.Status() + host_.ShortLink(), kStatusFailed);

    Click(3, "http://first.test/", false);
    ASSERT_TRUE(simulator_.WaitUntilHeld(1));
    Click(1, "http://second.test/", false);
    ASSERT_TRUE(host_.RunNextTask());
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(simulator_.HeldCount(), 1u);
    ShowsLinkFor(1, "http://second.test/");
}

}  // namespace
}  // namespace tarnwick
