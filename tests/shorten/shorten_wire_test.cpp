// The jobs end to end: real WebRequest, real libcurl, real threads, and the provider simulator
// as the HTTP proxy of every request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shorten/hosts.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"

namespace tarnwick {
namespace {

using Failure = ProviderSimulator::Failure;
using Sim = ProviderSimulator;

// The hosts this build was given (CI also runs these tests in a build with other names).
const std::string kHost1 = TARNWICK_PROVIDER1_HOST;
const std::string kHost2 = TARNWICK_PROVIDER2_HOST;
const std::string kHost3 = TARNWICK_PROVIDER3_HOST;

// "http://例.test/文?q=中>~~" in code page 936.
constexpr std::string_view kChineseAddress = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";

// The header lines as sent, without those the transport places for itself.
std::vector<std::string> SentHeaderLines(const RecordedRequest& request) {
    std::vector<std::string> lines = request.headerLines;
    std::erase_if(lines, [](const std::string& line) {
        return line.starts_with("Proxy-Connection:") || line.starts_with("Content-Length:") ||
               line.starts_with("Host:");
    });
    return lines;
}

// WebRequest's own lines for a request without a header block of its own.
std::vector<std::string> DefaultLines(const std::string& referer, const char* extra = nullptr) {
    std::vector<std::string> lines = {
        "Accept: */*", "Referer: " + referer, "Accept-Language: zh-cn",
        "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"};
    if (extra != nullptr) {
        lines.emplace_back(extra);
    }
    return lines;
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
        host_.provider = provider;
        host_.SetLongLink(Text(address));
        jobs_.OnGenerateClicked(host_);
    }
    std::vector<RecordedRequest> RequestsTo(std::string_view host) const {
        std::vector<RecordedRequest> requests = simulator_.Requests();
        std::erase_if(requests, [&](const RecordedRequest& r) { return r.host != host; });
        return requests;
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
        std::string host;
        std::string homePage;  // as handed over, seen in the Referer line
        std::string address;
        std::string request;  // method and target
        std::string body;
        std::vector<std::string> headers;  // after the Cookie line
    };
    const std::string plain = "http://example.test/a/long/path?q=1";
    const std::vector<Case> cases = {
        {kHost1,
         "http://" + kHost1 + "/",
         std::string(kChineseAddress),
         "GET http://" + kHost1 +
             "/api.php?from=w&url=aHR0cDovL8D9LnRlc3QvzsQ/cT3W0D5+fg==&site=sina",
         "",
         // One header line, split only to fit the width.
         // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
         {"User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
          "Chrome/52.0.2743.82 Safari/537.36",
          "Accept: application/json, text/javascript, */*; q=0.01",
          "Accept-Language: en-US,en;q=0.8", "Accept-Encoding: gzip, deflate",
          "X-Requested-With: XMLHttpRequest", "Referer: http://" + kHost1 + "/", "DNT: 1",
          "Connection: close"}},
        {kHost2, "http://" + kHost2 + "/", plain, "GET http://" + kHost2 + "/api.php?url=" + plain,
         "", DefaultLines("http://" + kHost2 + "/api.php?url=" + plain)},
        {kHost3, "http://" + kHost3, std::string(kChineseAddress),
         "POST http://" + kHost3 + "/index.php?m=index&a=create",
         "url=%68%74%74%70%3A%2F%2F%C0%FD%2E%74%65%73%74%2F%CE%C4%3F%71%3D%D6%D0%3E%7E%7E"
         "&alias=&pwd=&access_type=web",
         DefaultLines("http://" + kHost3 + "/index.php?m=index&a=create",
                      "Content-Type: application/x-www-form-urlencoded")},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.host);
        Click(static_cast<int>(i) + 1, c.address);
        ASSERT_TRUE(host_.RunNextTask());

        const std::vector<RecordedRequest> requests = RequestsTo(c.host);
        ASSERT_EQ(requests.size(), 2u);
        // The home page first, for its cookies; none are sent to it.
        EXPECT_EQ(requests[0].method + " " + requests[0].target, "GET http://" + c.host + "/");
        EXPECT_EQ(SentHeaderLines(requests[0]), DefaultLines(c.homePage));

        const RecordedRequest& shorten = requests[1];
        EXPECT_EQ(shorten.method + " " + shorten.target, c.request);
        EXPECT_EQ(shorten.body, c.body);
        std::vector<std::string> headers = {"Cookie: " + Sim::HomePageCookies(c.host)};
        headers.insert(headers.end(), c.headers.begin(), c.headers.end());
        EXPECT_EQ(SentHeaderLines(shorten), headers);
        EXPECT_EQ(shorten.Header("Host"), c.host);
        // The service got the very bytes typed, in code page 936.
        EXPECT_EQ(shorten.address, c.address);

        const std::string link = Sim::ShortLinkFor(c.host, c.address);
        EXPECT_EQ(host_.Status(), kStatusSucceeded);
        EXPECT_EQ(host_.ShortLink(), link);
        EXPECT_EQ(jobs_.AnswerText(), link);
        EXPECT_EQ(jobs_.ProviderCookies(),
                  std::string(Sim::kAnswerCookie) + "; " + Sim::HomePageCookies(c.host));
    }
}

TEST_F(ShortenOnTheWire, EveryKindOfFailureReportsFailureAndLateAnswersLeaveNoTrace) {
    for (int provider = 1; provider <= 3; ++provider) {
        const std::string host = provider == 1 ? kHost1 : provider == 2 ? kHost2 : kHost3;
        for (const Failure failure : {Failure::kErrorJson, Failure::kHtmlErrorPage,
                                      Failure::kEmptyBody, Failure::kStatus500}) {
            SCOPED_TRACE(host + " failure " + std::to_string(static_cast<int>(failure)));
            simulator_.SetFailure(host, failure);
            Click(provider, "http://example.test/x");
            ASSERT_TRUE(host_.RunNextTask());
            EXPECT_EQ(host_.Status(), kStatusFailed);
            EXPECT_EQ(host_.ShortLink(), "");
        }
        simulator_.SetFailure(host, Failure::kNone);
        // An empty long-link box is sent as it is; the service refuses it.
        Click(provider, "");
        ASSERT_TRUE(host_.RunNextTask());
        EXPECT_EQ(host_.Status(), kStatusFailed);
        EXPECT_EQ(RequestsTo(host).back().address, "");
    }

    // A home page without cookies does not stop the job: the Cookie header goes out empty.
    simulator_.SetFailure(kHost2, Failure::kEmptyBody, Sim::Stage::kHomePage);
    Click(2, "http://example.test/y");
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(host_.Status(), kStatusSucceeded);
    EXPECT_EQ(RequestsTo(kHost2).back().Header("Cookie"), "");

    // A service that never answers: the job shows the busy status until the connection goes.
    simulator_.SetFailure(kHost3, Failure::kNeverAnswer);
    const auto clickAndWaitTillHeld = [&](const char* address) {
        const std::size_t before = simulator_.Requests().size();
        Click(3, address);
        ASSERT_TRUE(simulator_.WaitForRequests(before + 2));
        EXPECT_EQ(simulator_.HeldCount(), 1u);
        EXPECT_EQ(host_.Status(), kStatusWorking);
    };
    clickAndWaitTillHeld("http://example.test/x");
    simulator_.ReleaseHeldRequests();
    ASSERT_TRUE(host_.RunNextTask());
    EXPECT_EQ(host_.Status(), kStatusFailed);
    EXPECT_EQ(host_.ShortLink(), "");

    // A later click supersedes the held job: that one gives up its transfer without waiting for
    // the service, and whichever ends first, the later click's link stays.
    clickAndWaitTillHeld("http://first.test/");
    Click(1, "http://second.test/");
    ASSERT_TRUE(host_.RunNextTask());
    ASSERT_TRUE(host_.RunNextTask());
    simulator_.ReleaseHeldRequests(true);
    const std::string second = Sim::ShortLinkFor(kHost1, "http://second.test/");
    EXPECT_EQ(host_.ShortLink(), second);
    EXPECT_EQ(host_.Status(), kStatusSucceeded);
    EXPECT_EQ(jobs_.AnswerText(), second);
    EXPECT_EQ(jobs_.ProviderCookies(),
              std::string(Sim::kAnswerCookie) + "; " + Sim::HomePageCookies(kHost1));
}

}  // namespace
}  // namespace tarnwick
