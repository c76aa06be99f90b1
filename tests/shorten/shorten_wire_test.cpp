// The jobs end to end: real WebRequest, real libcurl, real threads, and the provider simulator
// as the HTTP proxy of every request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"

namespace tarnwick {
namespace {

using Failure = ProviderSimulator::Failure;
using Stage = ProviderSimulator::Stage;

// "http://例.test/文?q=中>~~" in code page 936.
constexpr std::string_view kChineseAddress = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";
constexpr std::string_view kChromeAgent =
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/52.0.2743.82 Safari/537.36";
constexpr std::string_view kIeAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The header lines as sent, without those the transport places for itself (Host goes where
// HTTP client libraries put it, whether handed over or not).
std::vector<std::string> SentHeaderLines(const RecordedRequest& request) {
    std::vector<std::string> lines;
    for (const std::string& line : request.headerLines) {
        if (!line.starts_with("Proxy-Connection:") && !line.starts_with("Content-Length:") &&
            !line.starts_with("Host:")) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<RecordedRequest> RequestsTo(const ProviderSimulator& simulator, std::string_view host) {
    std::vector<RecordedRequest> requests;
    for (RecordedRequest& request : simulator.Requests()) {
        if (request.host == host) {
            requests.push_back(std::move(request));
        }
    }
    return requests;
}

class ShortenOnTheWire : public ::testing::Test {
  protected:
    void SetUp() override {
        // Set while no other thread runs: libcurl reads the environment on each transfer.
        // NOLINTNEXTLINE(concurrency-mt-unsafe)
        ::setenv("http_proxy", simulator_.ProxyAddress().c_str(), 1);
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
        }
    }

    void Click(int provider, std::string_view address) {
        host_.SelectProvider(provider);
        host_.SetLongLink(Text(address));
        jobs_.OnGenerateClicked(host_);
    }

    // Declared so that the simulator goes first, cutting every held request, and the
    // workers are joined while the host they post to still exists.
    FakeShortenHost host_;
    JoinedThreads threads_;
    ShortenJobs jobs_{WebRequestFunction(&WebRequest), threads_.Starter()};
    ProviderSimulator simulator_;
};

TEST_F(ShortenOnTheWire, EachProviderSendsItsRequestsAndShowsTheLink) {
    struct Case {
        int provider;
        std::string host;
        std::string address;
        std::string homeTarget;
        std::string method;
        std::string target;
        std::string body;
        std::vector<std::string> headers;
    };
    const std::string cookie1 = "Cookie: " + ProviderSimulator::HomePageCookies("a.test");
    const std::string cookie2 = "Cookie: " + ProviderSimulator::HomePageCookies("b.test");
    const std::string cookie3 = "Cookie: " + ProviderSimulator::HomePageCookies("c.test");
    const std::string plain = "http://example.test/a/long/path?q=1";
    const std::vector<Case> cases = {
        {1,
         "a.test",
         std::string(kChineseAddress),
         "http://a.test/",
         "GET",
         "http://a.test/api.php?from=w&url=aHR0cDovL8D9LnRlc3QvzsQ/cT3W0D5+fg==&site=sina",
         "",
         {cookie1, std::string(kChromeAgent),
          "Accept: application/json, text/javascript, */*; q=0.01",
          "Accept-Language: en-US,en;q=0.8", "Accept-Encoding: gzip, deflate",
          "X-Requested-With: XMLHttpRequest", "Referer: http://a.test/", "DNT: 1",
          "Connection: close"}},
        {2,
         "b.test",
         plain,
         "http://b.test/",
         "GET",
         "http://b.test/api.php?url=" + plain,
         "",
         {cookie2, "Accept: */*", "Referer: http://b.test/api.php?url=" + plain,
          "Accept-Language: zh-cn", std::string(kIeAgent)}},
        {3,
         "c.test",
         std::string(kChineseAddress),
         "http://c.test/",
         "POST",
         "http://c.test/index.php?m=index&a=create",
         "url=%68%74%74%70%3A%2F%2F%C0%FD%2E%74%65%73%74%2F%CE%C4%3F%71%3D%D6%D0%3E%7E%7E"
         "&alias=&pwd=&access_type=web",
         {cookie3, "Accept: */*", "Referer: http://c.test/index.php?m=index&a=create",
          "Accept-Language: zh-cn", std::string(kIeAgent),
          "Content-Type: application/x-www-form-urlencoded"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        Click(c.provider, c.address);
        ASSERT_TRUE(host_.RunNextTask());

        const std::vector<RecordedRequest> requests = RequestsTo(simulator_, c.host);
        ASSERT_EQ(requests.size(), 2u);
        const RecordedRequest& home = requests[0];
        EXPECT_EQ(home.method, "GET");
        EXPECT_EQ(home.target, c.homeTarget);
        // The home page is visited for its cookies; none are sent to it.
        EXPECT_EQ(SentHeaderLines(home),
                  (std::vector<std::string>{
                      "Accept: */*", "Referer: " + std::string(kProviders[c.provider - 1].homePage),
                      "Accept-Language: zh-cn", std::string(kIeAgent)}));

        const RecordedRequest& shorten = requests[1];
        EXPECT_TRUE(shorten.shortening);
        EXPECT_EQ(shorten.method, c.method);
        EXPECT_EQ(shorten.target, c.target);
        EXPECT_EQ(shorten.body, c.body);
        EXPECT_EQ(SentHeaderLines(shorten), c.headers);
        EXPECT_EQ(home.Header("Host"), c.host);
        EXPECT_EQ(shorten.Header("Host"), c.host);
        if (!c.body.empty()) {
            EXPECT_EQ(shorten.Header("Content-Length"), std::to_string(c.body.size()));
        }
        // The service got the very bytes typed, in code page 936.
        EXPECT_EQ(shorten.address, c.address);

        const std::string link = ProviderSimulator::ShortLinkFor(c.host, c.address);
        EXPECT_EQ(host_.Status(), kStatusSucceeded);
        EXPECT_EQ(host_.ShortLink(), link);
        EXPECT_EQ(jobs_.AnswerText(), link);
        EXPECT_EQ(jobs_.ProviderCookies(), std::string(ProviderSimulator::kAnswerCookie) + "; " +
                                               ProviderSimulator::HomePageCookies(c.host));
    }
}

TEST_F(ShortenOnTheWire, EveryKindOfServiceFailureReportsFailure) {
    const std::vector<Failure> failures = {Failure::kErrorJson, Failure::kHtmlErrorPage,
                                           Failure::kEmptyBody, Failure::kStatus500};
    for (int provider = 1; provider <= 3; ++provider) {
        const std::string host = "abc"[provider - 1] + std::string(".test");
        for (const Failure failure : failures) {
            SCOPED_TRACE(host + " failure " + std::to_string(static_cast<int>(failure)));
            simulator_.SetFailure(host, failure);
            Click(provider, "http://example.test/x");
            ASSERT_TRUE(host_.RunNextTask());
            EXPECT_EQ(host_.Status(), kStatusFailed);
            EXPECT_EQ(host_.ShortLink(), "");
            EXPECT_EQ(host_.LinkHistory().back(), "");
        }
        simulator_.SetFailure(host, Failure::kNone);
        // An empty long-link box is sent as it is; the service refuses it.
        Click(provider, "");
        ASSERT_TRUE(host_.RunNextTask());
        EXPECT_EQ(host_.Status(), kStatusFailed);
        EXPECT_EQ(RequestsTo(simulator_, host).back().address, "");
    }

    // A service that never answers: the job waits, showing the busy status, until the
    // connection goes.
    simulator_.SetFailure("c.test", Failure::kNeverAnswer);
    const std::size_t before = simulator_.Requests().size();
    Click(3, "http://example.test/x");
    ASSERT_TRUE(simulator_.WaitForRequests(before + 2));
    EXPECT_EQ(simulator_.HeldCount(), 1u);
    EXPECT_EQ(host_.Status(), kStatusWorking);
    EXPECT_EQ(host_.PendingTasks(), 0u);
    simulator_.ReleaseHeldRequests();
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(host_.Status(), kStatusFailed);
    EXPECT_EQ(host_.ShortLink(), "");
}

TEST_F(ShortenOnTheWire, HomePageTroubleDoesNotStopTheJob) {
    // No cookies from the home page: the Cookie header still goes out, empty.
    simulator_.SetFailure("b.test", Failure::kEmptyBody, Stage::kHomePage);
    Click(2, "http://example.test/y");
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(host_.Status(), kStatusSucceeded);
    std::vector<RecordedRequest> requests = RequestsTo(simulator_, "b.test");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Header("Cookie"), "");
    EXPECT_EQ(jobs_.ProviderCookies(), ProviderSimulator::kAnswerCookie);

    // A home page that never answers and then drops the connection.
    simulator_.SetFailure("a.test", Failure::kNeverAnswer, Stage::kHomePage);
    Click(1, "http://example.test/z");
    ASSERT_TRUE(simulator_.WaitForRequests(3));
    simulator_.ReleaseHeldRequests();
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(host_.Status(), kStatusSucceeded);
    EXPECT_EQ(host_.ShortLink(),
              ProviderSimulator::ShortLinkFor("a.test", "http://example.test/z"));
    requests = RequestsTo(simulator_, "a.test");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Header("Cookie"), "");
}

TEST_F(ShortenOnTheWire, ALateAnswerToAnEarlierClickLeavesNoTrace) {
    simulator_.SetFailure("a.test", Failure::kNeverAnswer);
    Click(1, "http://first.test/");
    ASSERT_TRUE(simulator_.WaitForRequests(2));
    ASSERT_EQ(simulator_.HeldCount(), 1u);

    Click(3, "http://second.test/");
    ASSERT_TRUE(host_.RunNextTask());
    const std::string second = ProviderSimulator::ShortLinkFor("c.test", "http://second.test/");
    EXPECT_EQ(host_.ShortLink(), second);

    // The first service now answers with a good link for the first address.
    simulator_.ReleaseHeldRequests(true);
    ASSERT_TRUE(host_.RunNextTask());
    const std::string first = ProviderSimulator::ShortLinkFor("a.test", "http://first.test/");
    EXPECT_EQ(host_.ShortLink(), second);
    EXPECT_EQ(host_.Status(), kStatusSucceeded);
    EXPECT_EQ(jobs_.AnswerText(), second);
    EXPECT_EQ(jobs_.ProviderCookies(), std::string(ProviderSimulator::kAnswerCookie) + "; " +
                                           ProviderSimulator::HomePageCookies("c.test"));
    for (const Text& link : host_.LinkHistory()) {
        EXPECT_NE(link, first);
    }
}

}  // namespace
}  // namespace tarnwick
