#include "shorten/shorten_job.h"

#include <gtest/gtest.h>

#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/fake_shorten_host.h"
#include "text/find.h"

namespace tarnwick {
namespace {

// "http://例.test/文?q=中>~~" in code page 936: its Base64 holds "+", "/" and "=".
constexpr std::string_view kChineseAddress = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0>~~";
constexpr std::string_view kChineseBase64 = "aHR0cDovL8D9LnRlc3QvzsQ/cT3W0D5+fg==";
constexpr std::string_view kChinesePercent =
    "%68%74%74%70%3A%2F%2F%C0%FD%2E%74%65%73%74%2F%CE%C4%3F%71%3D%D6%D0%3E%7E%7E";

struct RecordedCall {
    Text url;
    WebRequestArgs args;  // the pointers are kept to check which variable was handed over
    Text sendCookies;     // the values the pointed-to variables held at the call
    Text headers;
};

// Plays a provider without a network: the home page sets two cookies, the shortening answer
// one more, and the answer text comes from answerFor.
class ScriptedService {
  public:
    std::function<Text(const Text& url, const Text& body)> answerFor =
        [](const Text&, const Text&) { return Text(); };
    std::function<void()> duringHomePage = [] {};

    WebRequestFunction Function() {
        return [this](std::string_view url, const WebRequestArgs& args) {
            RecordedCall call{Text(url), args, {}, {}};
            if (args.sendCookies != nullptr) {
                call.sendCookies = *args.sendCookies;
            }
            if (args.headers != nullptr) {
                call.headers = *args.headers;
            }
            Text answer;
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(call);
            }
            if (args.sendCookies == nullptr) {
                duringHomePage();
                if (args.receivedCookies != nullptr) {
                    *args.receivedCookies = "SID=s1; visit=1";
                }
            } else {
                *args.sendCookies = "last=ok; " + *args.sendCookies;
                answer = answerFor(call.url, args.bodyText);
            }
            return ToByteSet(answer);
        };
    }
    std::vector<RecordedCall> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<RecordedCall> calls_;
};

// True when every argument is at its left-out value.
bool AllLeftOut(const WebRequestArgs& a) {
    return a.method == 0 && a.bodyText.empty() && a.sendCookies == nullptr &&
           a.receivedCookies == nullptr && a.headers == nullptr && a.responseHeaders == nullptr &&
           a.status == nullptr && !a.noRedirect && a.bodyBytes.empty() && a.proxy.empty() &&
           a.timeoutSeconds == 0 && a.proxyUser.empty() && a.proxyPassword.empty() &&
           !a.proxyAuthMode && a.requestObject == nullptr && !a.mergeCookies;
}

struct ProviderCase {
    ShortLinkProvider provider;
    const char* homePage;
    Text shortenUrl;
    int method;
    Text body;
    Text headers;  // empty: none handed over
    const char* answer;
};

TEST(ShortenVia, EachProviderMakesExactlyItsTwoRequests) {
    const std::vector<ProviderCase> cases = {
        {ShortLinkProvider::kProvider1, "http://a.test/",
         "http://a.test/api.php?from=w&url=" + Text(kChineseBase64) + "&site=sina", 0, "",
         Text(kProvider1HeaderBlock), R"({"code":0,"short_url":"http:\/\/a.test\/k1"})"},
        {ShortLinkProvider::kProvider2, "http://b.test/",
         "http://b.test/api.php?url=" + Text(kChineseAddress), 0, "", "", "http://a.test/k1\r\n"},
        {ShortLinkProvider::kProvider3, "http://c.test", "http://c.test/index.php?m=index&a=create",
         1, "url=" + Text(kChinesePercent) + "&alias=&pwd=&access_type=web", "",
         R"({"status":1,"tinyurl":"http:\/\/a.test\/k1"})"},
    };
    for (const ProviderCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.provider));
        FakeShortenHost host;
        host.SetLongLink("typed before the click");
        ScriptedService service;
        // The address is read after the home page has answered.
        service.duringHomePage = [&] { host.SetLongLink(Text(kChineseAddress)); };
        service.answerFor = [&](const Text&, const Text&) { return Text(c.answer); };

        const ShortenJob job = ShortenVia(c.provider, host, service.Function());
        const std::vector<RecordedCall> calls = service.Calls();
        ASSERT_EQ(calls.size(), 2u);

        EXPECT_EQ(calls[0].url, c.homePage);
        ASSERT_NE(calls[0].args.receivedCookies, nullptr);
        WebRequestArgs rest = calls[0].args;
        rest.receivedCookies = nullptr;
        EXPECT_TRUE(AllLeftOut(rest));

        EXPECT_EQ(calls[1].url, c.shortenUrl);
        EXPECT_EQ(calls[1].args.method, c.method);
        EXPECT_EQ(calls[1].args.bodyText, c.body);
        // The very variable the home page filled, so the merge lands in it.
        EXPECT_EQ(calls[1].args.sendCookies, calls[0].args.receivedCookies);
        EXPECT_EQ(calls[1].sendCookies, "SID=s1; visit=1");
        EXPECT_EQ(calls[1].args.headers != nullptr, !c.headers.empty());
        EXPECT_EQ(calls[1].headers, c.headers);
        rest = calls[1].args;
        rest.method = 0;
        rest.bodyText.clear();
        rest.sendCookies = nullptr;
        rest.headers = nullptr;
        EXPECT_TRUE(AllLeftOut(rest));

        EXPECT_TRUE(job.succeeded);
        EXPECT_EQ(job.answerText, "http://a.test/k1");
        EXPECT_EQ(job.providerCookies, "last=ok; SID=s1; visit=1");
    }
}

TEST(ShortenVia, AddressEncodings) {
    using P = ShortLinkProvider;
    EXPECT_EQ(EncodeLongAddress(P::kProvider1, kChineseAddress), kChineseBase64);
    EXPECT_EQ(EncodeLongAddress(P::kProvider2, kChineseAddress), kChineseAddress);
    EXPECT_EQ(EncodeLongAddress(P::kProvider3, kChineseAddress), kChinesePercent);
    EXPECT_EQ(ShorteningBody(P::kProvider3, EncodeLongAddress(P::kProvider3, "abc")),
              "url=%61%62%63&alias=&pwd=&access_type=web");
    // An empty box still makes a request, with nothing where the address goes.
    EXPECT_EQ(ShorteningAddress(P::kProvider1, EncodeLongAddress(P::kProvider1, "")),
              "http://a.test/api.php?from=w&url=&site=sina");
    EXPECT_EQ(ShorteningAddress(P::kProvider2, ""), "http://b.test/api.php?url=");
    EXPECT_EQ(ShorteningBody(P::kProvider3, EncodeLongAddress(P::kProvider3, "")),
              "url=&alias=&pwd=&access_type=web");
    EXPECT_EQ(ShorteningBody(P::kProvider1, "x"), "");
    EXPECT_EQ(ShorteningAddress(P::kProvider3, "x"), "http://c.test/index.php?m=index&a=create");
    // Nine lines, the last without a line break.
    const TextArray lines = TextSplit(kProvider1HeaderBlock, "\r\n");
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines.front(), "Host: a.test");
    EXPECT_EQ(lines[6], "Referer: http://a.test/");
    EXPECT_EQ(lines.back(), "Connection: close");
}

TEST(ShortenVia, OnlyALinkCountsAsSuccess) {
    using P = ShortLinkProvider;
    struct Case {
        P provider;
        std::string answer;
        const char* link;  // nullptr: failure
    };
    const std::vector<Case> cases = {
        {P::kProvider1, R"({"short_url":"http:\/\/a.test\/x"})", "http://a.test/x"},
        {P::kProvider1, R"({"short_url":"HTTPS:\/\/a.test\/x"})", "HTTPS://a.test/x"},
        {P::kProvider1, R"({"code":1,"short_url":"bad url, see http:\/\/a.test\/help"})", nullptr},
        {P::kProvider1, R"({"code":1,"msg":"http:\/\/a.test\/x"})", nullptr},
        {P::kProvider1, "<html>500 see http://a.test/</html>", nullptr},
        {P::kProvider1, R"({"short_url":"http:\/\/"})", nullptr},
        {P::kProvider2, "  http://b.test/x\r\n", "http://b.test/x"},
        {P::kProvider2, "\thttps://b.test/x \n", "https://b.test/x"},
        // Provider 2 answers in plain text, so its backslashes stay.
        {P::kProvider2, "http:\\/\\/b.test", nullptr},
        {P::kProvider2, "http://b.test/\\", "http://b.test/\\"},
        {P::kProvider2, "<html><a href=\"http://b.test/\">http://b.test/</a></html>", nullptr},
        {P::kProvider2, "error: see http://b.test/help", nullptr},
        {P::kProvider2, "http://b.test/x\r\nhttp://b.test/y", nullptr},
        {P::kProvider2, "http://b.test/a b", nullptr},
        {P::kProvider2, std::string("http://b.test/x\x01"), nullptr},
        {P::kProvider2, std::string("http://b.test/x\x7F"), nullptr},
        {P::kProvider2, "ftp://b.test/x", nullptr},
        {P::kProvider2, "http:/b.test/x", nullptr},
        {P::kProvider2, "", nullptr},
        // The body is text up to its first zero byte.
        {P::kProvider2, std::string("http://b.test/z\0trailing", 24), "http://b.test/z"},
        // A backslash that is the second byte of a double-byte character is no backslash.
        {P::kProvider3, "{\"tinyurl\":\"http:\\/\\/c.test\\/\x81\x5C\"}", "http://c.test/\x81\x5C"},
        {P::kProvider3, R"({"status":0,"tinyurl":"error: see http:\/\/c.test\/help"})", nullptr},
        {P::kProvider3, R"({"tinyurl":" http:\/\/c.test\/x "})", "http://c.test/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        FakeShortenHost host;
        ScriptedService service;
        service.answerFor = [&](const Text&, const Text&) { return Text(c.answer); };
        const ShortenJob job = ShortenVia(c.provider, host, service.Function());
        EXPECT_EQ(job.succeeded, c.link != nullptr);
        if (c.link != nullptr) {
            EXPECT_EQ(job.answerText, c.link);
        }
    }
}

// Holds the started routines so the test decides when each job runs.
struct HeldThreads {
    std::deque<std::function<void()>> routines;
    bool refuse = false;
    ThreadStarter Starter() {
        return [this](std::function<void()> routine) {
            if (refuse) {
                return false;
            }
            routines.push_back(std::move(routine));
            return true;
        };
    }
    void RunAt(std::size_t index) { routines.at(index)(); }
};

// The link of each job names the address it was given.
WebRequestFunction EchoingProvider2(ScriptedService& service) {
    service.answerFor = [](const Text& url, const Text&) {
        const Text address = url.substr(url.find("url=") + 4);
        return address.empty() ? Text("error") : "http://b.test/" + address;
    };
    return service.Function();
}

TEST(ShortenJobs, OnlyTheLatestClickPublishes) {
    ScriptedService service;
    HeldThreads threads;
    ShortenJobs jobs(EchoingProvider2(service), threads.Starter());
    FakeShortenHost host;
    host.SelectProvider(2);

    // A first job publishes everything: status, then link, then both texts.
    host.SetLongLink("one");
    jobs.OnGenerateClicked(host);
    EXPECT_EQ(host.Status(), kStatusWorking);
    EXPECT_EQ(host.LinkHistory(), std::vector<Text>{""});
    threads.RunAt(0);
    ASSERT_TRUE(host.RunNextTask());
    EXPECT_EQ(host.Status(), kStatusSucceeded);
    EXPECT_EQ(host.ShortLink(), "http://b.test/one");
    EXPECT_EQ(jobs.AnswerText(), "http://b.test/one");
    EXPECT_EQ(jobs.ProviderCookies(), "last=ok; SID=s1; visit=1");

    // The next click clears the box and the texts before any answer.
    host.SetLongLink("two");
    jobs.OnGenerateClicked(host);
    EXPECT_EQ(host.ShortLink(), "");
    EXPECT_EQ(jobs.AnswerText(), "");
    EXPECT_EQ(jobs.ProviderCookies(), "");
    EXPECT_EQ(host.Status(), kStatusWorking);

    // A third click while the second runs. The second job finishes last but is stale.
    host.SetLongLink("three");
    jobs.OnGenerateClicked(host);
    threads.RunAt(2);
    ASSERT_TRUE(host.RunNextTask());
    threads.RunAt(1);
    ASSERT_TRUE(host.RunNextTask());
    EXPECT_EQ(host.Status(), kStatusSucceeded);
    EXPECT_EQ(host.ShortLink(), "http://b.test/three");
    EXPECT_EQ(jobs.AnswerText(), "http://b.test/three");

    // A stale success that lands after a click whose job failed shows nothing either.
    host.SetLongLink("four");
    jobs.OnGenerateClicked(host);
    host.SetLongLink("");
    jobs.OnGenerateClicked(host);
    threads.RunAt(4);
    ASSERT_TRUE(host.RunNextTask());
    threads.RunAt(3);
    ASSERT_TRUE(host.RunNextTask());
    EXPECT_EQ(host.Status(), kStatusFailed);
    EXPECT_EQ(host.ShortLink(), "");
    EXPECT_EQ(jobs.AnswerText(), "error");
    EXPECT_EQ(host.LinkHistory().back(), "");

    // A click with no provider chosen starts nothing but still supersedes the running job.
    host.SetLongLink("five");
    jobs.OnGenerateClicked(host);
    host.SelectProvider(0);
    const std::size_t statuses = host.StatusHistory().size();
    jobs.OnGenerateClicked(host);
    EXPECT_EQ(threads.routines.size(), 6u);
    threads.RunAt(5);
    ASSERT_TRUE(host.RunNextTask());
    EXPECT_EQ(host.StatusHistory().size(), statuses);
    EXPECT_EQ(host.ShortLink(), "");

    jobs.FreeJobTexts();
    EXPECT_EQ(jobs.AnswerText(), "");
    EXPECT_EQ(jobs.ProviderCookies(), "");
}

TEST(ShortenJobs, ThreadCreationFailureIsReported) {
    ScriptedService service;
    HeldThreads threads;
    threads.refuse = true;
    ShortenJobs jobs(EchoingProvider2(service), threads.Starter());
    FakeShortenHost host;
    host.SelectProvider(3);
    jobs.OnGenerateClicked(host);
    EXPECT_EQ(host.StatusHistory(), (std::vector<Text>{Text(kStatusWorking), Text(kStatusFailed)}));
    EXPECT_EQ(host.ShortLink(), "");
    EXPECT_TRUE(service.Calls().empty());
}

TEST(ShortenJobs, ManyOverlappingWorkersShowTheLastAddress) {
    ScriptedService service;
    JoinedThreads threads;
    ShortenJobs jobs(EchoingProvider2(service), threads.Starter());
    FakeShortenHost host;
    host.SelectProvider(2);
    constexpr int kClicks = 20;
    for (int i = 0; i < kClicks; ++i) {
        host.SetLongLink("n" + std::to_string(i));
        jobs.OnGenerateClicked(host);
    }
    for (int i = 0; i < kClicks; ++i) {
        ASSERT_TRUE(host.RunNextTask());
    }
    threads.JoinAll();
    // Each worker read the box when it got there, so only the last click's job counts.
    EXPECT_EQ(host.Status(), kStatusSucceeded);
    EXPECT_EQ(host.ShortLink(), "http://b.test/n19");
    EXPECT_EQ(host.LinkHistory().size(), kClicks + 1u);
}

TEST(StartThread, RunsJoinableOrDetachedAndRefusesWhatItCannotStart) {
    std::thread handle;
    bool ran = false;
    ASSERT_TRUE(StartThread([&] { ran = true; }, &handle));
    ASSERT_TRUE(handle.joinable());
    // The caller's variable already holds a thread: nothing is started or lost.
    EXPECT_FALSE(StartThread([] {}, &handle));
    handle.join();
    EXPECT_TRUE(ran);

    // The promise goes with the thread, which may still be inside set_value when wait returns.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    ASSERT_TRUE(StartThread([done] { done->set_value(); }));
    finished.wait();

    EXPECT_FALSE(StartThread(std::function<void()>()));
}

}  // namespace
}  // namespace tarnwick
