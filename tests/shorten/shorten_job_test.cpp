#include "shorten/shorten_job.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "shorten/hosts.h"
#include "tests/support/fake_shorten_host.h"

namespace tarnwick {
namespace {

// Plays a provider without a network: the home page sets two cookies, the shortening answer
// merges in one more and answers with answerFor(url). Called on the test's thread only.
struct ScriptedService {
    std::function<Text(const Text& url)> answerFor = [](const Text&) { return Text(); };
    std::function<void()> duringHomePage = [] {};
    std::vector<std::pair<Text, WebRequestArgs>> calls;

    WebRequestFunction Function() {
        return [this](std::string_view url, const WebRequestArgs& args) {
            calls.emplace_back(url, args);
            if (args.sendCookies == nullptr) {
                duringHomePage();
                if (args.receivedCookies != nullptr) {
                    *args.receivedCookies = "SID=s1; visit=1";
                }
                return ByteSet();
            }
            *args.sendCookies = "last=ok; " + *args.sendCookies;
            return ToByteSet(answerFor(Text(url)));
        };
    }
};

// True when every argument is at its left-out value.
bool AllLeftOut(const WebRequestArgs& a) {
    return a.method == 0 && a.bodyText.empty() && a.sendCookies == nullptr &&
           a.receivedCookies == nullptr && a.headers == nullptr && a.responseHeaders == nullptr &&
           a.status == nullptr && !a.noRedirect && a.bodyBytes.empty() && a.proxy.empty() &&
           a.timeoutSeconds == 0 && a.proxyUser.empty() && a.proxyPassword.empty() &&
           !a.proxyAuthMode && a.requestObject == nullptr && !a.mergeCookies;
}

// The exact requests are checked on the wire; here, what the wire cannot show.
TEST(ShortenVia, HandsOverItsArgumentsAndNothingElse) {
    const char* const homePages[] = {"http://" TARNWICK_PROVIDER1_HOST "/",
                                     "http://" TARNWICK_PROVIDER2_HOST "/",
                                     "http://" TARNWICK_PROVIDER3_HOST};
    const char* const encoded[] = {"YWJj", "abc", "%61%62%63"};  // "abc" as each sends it
    for (int p = 1; p <= 3; ++p) {
        SCOPED_TRACE(p);
        FakeShortenHost host;
        host.SetLongLink("typed before the click");
        ScriptedService service;
        // The address is read after the home page has answered.
        service.duringHomePage = [&] { host.SetLongLink("abc"); };
        ShortenVia(static_cast<ShortLinkProvider>(p), host, service.Function());
        ASSERT_EQ(service.calls.size(), 2u);
        auto [homePage, home] = service.calls[0];
        auto [url, shorten] = service.calls[1];
        EXPECT_EQ(homePage, homePages[p - 1]);
        ASSERT_NE(home.receivedCookies, nullptr);
        // The very variable the home page filled, so the merge lands in it.
        EXPECT_EQ(shorten.sendCookies, home.receivedCookies);
        EXPECT_NE((url + shorten.bodyText).find(encoded[p - 1]), Text::npos);
        EXPECT_EQ(shorten.method, p == 3 ? 1 : 0);
        EXPECT_EQ(shorten.headers != nullptr, p == 1);
        home.receivedCookies = nullptr;
        shorten.method = 0;
        shorten.bodyText.clear();
        shorten.sendCookies = nullptr;
        shorten.headers = nullptr;
        EXPECT_TRUE(AllLeftOut(home));
        EXPECT_TRUE(AllLeftOut(shorten));
    }
}

TEST(ShortenVia, OnlyALinkCountsAsSuccess) {
    struct Case {
        int provider;
        std::string answer;
        const char* link;  // nullptr: failure
    };
    const std::vector<Case> cases = {
        // The scheme is spelled in lower case, as the service writes it.
        {1, R"({"short_url":"HTTPS:\/\/a.test\/x"})", nullptr},
        {1, R"({"short_url":"https:\/\/a.test\/x"})", "https://a.test/x"},
        {2, "Http://b.test/x", nullptr},
        {3, R"({"tinyurl":"httP:\/\/c.test\/x"})", nullptr},
        {1, R"({"code":1,"short_url":"bad url, see http:\/\/a.test\/help"})", nullptr},
        {1, R"({"code":1,"msg":"http:\/\/a.test\/x"})", nullptr},
        {1, "<html>500 see http://a.test/</html>", nullptr},
        {1, R"({"short_url":"http:\/\/"})", nullptr},
        {2, "\thttps://b.test/x \r\n", "https://b.test/x"},
        // Provider 2 answers in plain text, so its backslashes stay.
        {2, "http:\\/\\/b.test", nullptr},
        {2, "http://b.test/\\", "http://b.test/\\"},
        {2, "<html><a href=\"http://b.test/\">http://b.test/</a></html>", nullptr},
        {2, "error: see http://b.test/help", nullptr},
        {2, "http://b.test/x\r\nhttp://b.test/y", nullptr},
        {2, std::string("http://b.test/x\x01"), nullptr},
        {2, std::string("http://b.test/x\x7F"), nullptr},
        {2, "ftp://b.test/x", nullptr},
        {2, "", nullptr},
        // The body is text up to its first zero byte.
        {2, std::string("http://b.test/z\0trailing", 24), "http://b.test/z"},
        // A backslash that is the second byte of a double-byte character is no backslash.
        {3, "{\"tinyurl\":\"http:\\/\\/c.test\\/\x81\x5C\"}", "http://c.test/\x81\x5C"},
        {3, R"({"status":0,"tinyurl":"error: see http:\/\/c.test\/help"})", nullptr},
        {3, R"({"tinyurl":" http:\/\/c.test\/x "})", "http://c.test/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        FakeShortenHost host;
        ScriptedService service;
        service.answerFor = [&](const Text&) { return Text(c.answer); };
        const ShortenJob job =
            ShortenVia(static_cast<ShortLinkProvider>(c.provider), host, service.Function());
        EXPECT_EQ(job.succeeded, c.link != nullptr);
        EXPECT_EQ(job.succeeded ? job.answerText : "", c.link != nullptr ? c.link : "");
    }
}

// Holds the started routines so the test decides when each job runs.
struct HeldThreads {
    std::deque<std::function<void()>> routines;
    bool refuse = false;
    ThreadStarter Starter() {
        return [this](std::function<void()> routine) {
            routines.push_back(std::move(routine));
            return !refuse;
        };
    }
};

TEST(ShortenJobs, OnlyTheLatestClickPublishes) {
    ScriptedService service;
    // The link of each job names the address it was given.
    service.answerFor = [](const Text& url) {
        const Text address = url.substr(url.find("url=") + 4);
        return address.empty() ? Text("error") : "http://b.test/" + address;
    };
    HeldThreads threads;
    ShortenJobs jobs(service.Function(), threads.Starter());
    FakeShortenHost host;
    host.provider = 2;
    const auto click = [&](const char* address) {
        host.SetLongLink(address);
        jobs.OnGenerateClicked(host);
    };
    const auto finish = [&](std::size_t job) {
        threads.routines.at(job)();
        ASSERT_TRUE(host.RunNextTask());
    };

    const auto shows = [&](std::string_view status, const char* link, const char* answer) {
        EXPECT_EQ(host.Status(), status);
        EXPECT_EQ(host.ShortLink(), link);
        EXPECT_EQ(jobs.AnswerText(), answer);
    };

    // A first job publishes everything: status, then link, then both texts.
    click("one");
    EXPECT_EQ(host.links, std::vector<Text>{""});
    shows(kStatusWorking, "", "");
    finish(0);
    shows(kStatusSucceeded, "http://b.test/one", "http://b.test/one");
    EXPECT_EQ(jobs.ProviderCookies(), "last=ok; SID=s1; visit=1");

    // The next click clears the box and the texts before any answer.
    click("two");
    shows(kStatusWorking, "", "");
    EXPECT_EQ(jobs.ProviderCookies(), "");

    // A third click while the second runs. The second job finishes last but is stale.
    click("three");
    finish(2);
    finish(1);
    shows(kStatusSucceeded, "http://b.test/three", "http://b.test/three");

    // A stale success that lands after a click whose job failed shows nothing either.
    click("four");
    click("");
    finish(4);
    finish(3);
    shows(kStatusFailed, "", "error");

    // A click with no provider chosen starts nothing but still supersedes the running job.
    click("five");
    host.provider = 0;
    click("six");
    ASSERT_EQ(threads.routines.size(), 6u);
    finish(5);
    shows(kStatusWorking, "", "");

    // No thread to be had: the status says so instead of staying busy.
    host.provider = 3;
    threads.refuse = true;
    click("seven");
    shows(kStatusFailed, "", "");
    EXPECT_EQ(host.statuses.end()[-2], kStatusWorking);

    jobs.FreeJobTexts();
    EXPECT_EQ(jobs.AnswerText(), "");
    EXPECT_EQ(jobs.ProviderCookies(), "");
}

}  // namespace
}  // namespace tarnwick
