// WebRequest against a recording object: the calls it makes, their order and its outputs.
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/text_match.h"
#include "web/com.h"
#include "web/header_lines.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

using test::Unmet;

constexpr const char* kUrl = "http://short.example/api";
const std::string kAgent = "User-Agent,Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Records every member call as "Name(arg,arg)|", checks that COM is held at each, and answers
// with a scripted response.
class RecordingObject final : public RequestObject {
  public:
    std::string trace;
    bool comHeldThroughout = true;
    Text headers;
    int status = 0;

    using V = std::string_view;
    bool SetTimeouts(int a, int b, int c, int d) override { return Log("SetTimeouts", a, b, c, d); }
    bool SetProxy(int setting, V server) override { return Log("SetProxy", setting, server); }
    bool SetRequestHeader(V name, V value) override { return Log("Header", name, value); }
    bool Open(V method, V url, bool async) override { return Log("Open", method, url, async); }
    bool Option(int index, int value) override { return Log("Option", index, value); }
    bool Send(V text) override { return Log("Send", text); }
    bool Send(const ByteSet& b) override {
        return Log("SendBytes", std::string(b.begin(), b.end()));
    }
    ByteSet ResponseBody() override {
        Log("ResponseBody");
        return {};
    }
    Text GetAllResponseHeaders() override { return Log("Headers") ? headers : ""; }
    int Status() override { return Log("Status") ? status : 0; }

  private:
    template <typename... Args>
    bool Log(std::string_view name, const Args&... args) {
        comHeldThroughout = comHeldThroughout && ComInitDepth() == 1;
        std::ostringstream call;
        call << std::boolalpha << name << '(';
        [[maybe_unused]] const char* separator = "";
        ((call << separator << args, separator = ","), ...);
        trace += call.str() + ")|";
        return true;
    }
};

// One request on a fresh recording object handed in as the caller's own.
std::shared_ptr<RecordingObject> Request(WebRequestArgs args, Text headers = "", int status = 0) {
    auto object = std::make_shared<RecordingObject>();
    object->headers = std::move(headers);
    object->status = status;
    const RequestObjectRef reference = object;
    args.requestObject = &reference;
    EXPECT_TRUE(WebRequest(kUrl, args).empty());
    return object;
}

TEST(WebRequest, CallsOnTheObject) {
    Text cookies = "k=v";
    const auto post = Request({.method = 1, .bodyText = "url=x", .sendCookies = &cookies});
    EXPECT_EQ(post->trace,
              "SetTimeouts(15000,15000,15000,15000)|Open(POST,http://short.example/api,false)|"
              "Option(4,13056)|Header(Cookie,k=v)|Header(Accept,*/*)|Header(Referer," +
                  std::string(kUrl) + ")|Header(Accept-Language,zh-cn)|Header(" + kAgent +
                  ")|Header(Content-Type,application/x-www-form-urlencoded)|Send(url=x)|"
                  "ResponseBody()|Headers()|Status()|");
    EXPECT_TRUE(post->comHeldThroughout);
    EXPECT_EQ(ComInitDepth(), 0);
    EXPECT_EQ(post.use_count(), 1);  // the call's own reference is gone

    const char* names[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    for (int method = -1; method <= 8; ++method) {
        const std::string name = method >= 0 && method < 8 ? names[method] : "GET";
        EXPECT_NE(Request({.method = method})->trace.find("|Open(" + name + ","),
                  std::string::npos);
    }

    // Each row: what the trace followed by the completed header text must show, the arguments,
    // the header text handed in and the cookies sent (null: left out).
    struct Row {
        std::vector<std::string> want;
        WebRequestArgs args;
        const char* headers = nullptr;
        const char* cookies = nullptr;
    };
    const std::string opened = "Open(GET,http://short.example/api,false)|";
    const std::string defaults = "Header(Accept,*/*)|Header(Referer," + std::string(kUrl) +
                                 ")|Header(Accept-Language,zh-cn)|Header(" + kAgent + ")|";
    // clang-format off
    const WebRequestArgs proxied{.noRedirect = true, .proxy = "proxy.example:3128",
                                 .timeoutSeconds = 30, .proxyUser = "u", .proxyPassword = "p"};
    const std::vector<Row> rows = {
        {{"^" + opened}, {.timeoutSeconds = -1}},
        {{"^SetTimeouts(15000,15000,15000,15000)|"}, {.timeoutSeconds = -5}},
        {{"^SetTimeouts(2147483647,2147483647,"}, {.timeoutSeconds = 3000000}},
        {{"^SetTimeouts(30000,30000,30000,30000)|SetProxy(2,proxy.example:3128)|Header(Proxy-"
          "Authorization,Basic dTpw)|" + opened + "Option(6,0)|Option(4,13056)|"}, proxied},
        // Credentials need a named proxy and the Basic mode.
        {{"!Proxy"}, {.proxyUser = "user"}},
        {{"SetProxy(2,p:1)|" + opened}, {.proxy = "p:1", .proxyUser = "u", .proxyAuthMode = 0}},
        {{"Header(Proxy-Authorization,Basic dTo=)|" + opened},
         {.proxy = "p:1", .proxyUser = "u", .proxyAuthMode = 1}},
        {{"Option(4,13056)|" + defaults + "Send()|",
          "$\nAccept: */*\r\nReferer: " + std::string(kUrl)
          + "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + kAgent.substr(11)}, {}, ""},
        // Markers are case-sensitive: a lower-case accept line hides nothing, but a POST's
        // "content-type" is respelled and then does.
        {{"13056)|Header(accept,text/html)|Header(Accept,*/*)"}, {}, "accept: text/html"},
        {{"13056)|Header(Content-Type,text/plain)|Header(Accept,", "!x-www-form", "!content-type"},
         {.method = 1}, "content-type: text/plain"},
        {{"13056)|Header(Content-type,text/plain)|",
          "Header(Content-Type,application/x-www-form-urlencoded)|Send()"},
         {.method = 1}, "Content-type: text/plain"},
        {{"13056)|Header(Referer,x)|Header(User-Agent,me)|Header(Accept-Language,en)|Header("
          "Accept,a/b)|Send()"}, {}, "Referer: x\r\nUser-Agent: me\r\nAccept-Language: en\r\n"
         "Accept: a/b"},
        // Blank lines are skipped; a line without a colon goes over with an empty name and value.
        {{"13056)|Header(X-A,1)|Header(,)|Header(Host,a:8080)|Header(Accept,"}, {},
         "X-A: 1\r\n\r\nnocolon\r\nHost: a:8080"},
        {{"13056)|Header(Cookie,)|Header(Accept"}, {}, nullptr, ""},
        {{std::string("|SendBytes(b\0y)|", 16), "!Send("},
         {.bodyText = "t", .bodyBytes = {'b', 0, 'y'}}},
    };
    // clang-format on
    for (const Row& row : rows) {
        Text headers = row.headers != nullptr ? row.headers : "";
        Text sent = row.cookies != nullptr ? row.cookies : "";
        WebRequestArgs args = row.args;
        args.headers = row.headers != nullptr ? &headers : nullptr;
        args.sendCookies = row.cookies != nullptr ? &sent : nullptr;
        const std::string seen = Request(args)->trace + "\n" + headers;
        EXPECT_EQ(Unmet(seen, row.want), "") << seen;
    }
}

TEST(WebRequest, ResponseOutputsAndCookieMerge) {
    const Text headers =
        "Content-Type: text/html\r\nSet-Cookie: a=1; path=/\r\nset-cookie: z=9\r\nSet-Cookie: b=2";
    Text received = "stale";
    Text responseHeaders;
    int status = -1;
    Request({.receivedCookies = &received, .responseHeaders = &responseHeaders, .status = &status},
            headers, 200);
    EXPECT_EQ(received + "|" + responseHeaders + "|" + std::to_string(status),
              "a=1; b=2|" + headers + "|200");
    Request({.receivedCookies = &received});
    EXPECT_EQ(received, "");

    // The merge leaves the list in both variables unless switched off; one variable may be both.
    struct Case {
        std::optional<bool> merge;
        int receivedIn;  // 0: left out, 1: its own variable, 2: the sent cookies' variable
        Text sent, received;
    };
    for (const Case& c :
         {Case{std::nullopt, 1, "b=2; a=1", "b=2; a=1"}, Case{false, 1, "a=1", "b=2"},
          Case{std::nullopt, 0, "b=2; a=1", ""}, Case{std::nullopt, 2, "b=2; a=1", ""}}) {
        Text sent = "a=1";
        received.clear();
        Text* into[] = {nullptr, &received, &sent};
        const auto object = Request(
            {.sendCookies = &sent, .receivedCookies = into[c.receivedIn], .mergeCookies = c.merge},
            "Set-Cookie: b=2");
        EXPECT_EQ(sent + "|" + received, c.sent + "|" + c.received) << c.receivedIn;
        EXPECT_NE(object->trace.find("Header(Cookie,a=1)"), std::string::npos);
    }
}

std::shared_ptr<RecordingObject> lastCreated;

RequestObjectRef RecordingFactory(std::string_view progId) {
    lastCreated = progId == kRequestObjectProgId ? std::make_shared<RecordingObject>() : nullptr;
    return lastCreated;
}

TEST(WebRequest, CreationFailureAndEmptyObjectsGiveEmptyResults) {
    Text headers = "X: 1";
    Text received = "r";
    Text responseHeaders = "h";
    int status = 7;
    WebRequestArgs args{.receivedCookies = &received,
                        .headers = &headers,
                        .responseHeaders = &responseHeaders,
                        .status = &status};
    const RequestObjectFactory previous =
        SetRequestObjectFactory([](std::string_view) { return RequestObjectRef(); });
    EXPECT_TRUE(WebRequest(kUrl, args).empty());
    EXPECT_EQ(headers + received + responseHeaders + std::to_string(status), "X: 1rh7");
    EXPECT_EQ(ComInitDepth(), 0);

    SetRequestObjectFactory(RecordingFactory);
    WebRequest(kUrl, args);
    EXPECT_EQ(lastCreated.use_count(), 1);
    EXPECT_TRUE(lastCreated->comHeldThroughout);
    EXPECT_EQ(Unmet(lastCreated->trace, {"^SetTimeouts(", "$Status()|"}), "");
    SetRequestObjectFactory(previous);
    lastCreated.reset();

    // A given reference that holds no object: every call is refused and every read is empty.
    const RequestObjectRef empty;
    args.requestObject = &empty;
    EXPECT_TRUE(WebRequest(kUrl, args).empty());
    EXPECT_EQ(received + responseHeaders + std::to_string(status), "0");
    EXPECT_NE(headers.find("Accept: */*"), Text::npos);
    EXPECT_EQ(ComInitDepth(), 0);

    RequestObjectRef object;
    RequestObjectRef second;
    EXPECT_FALSE(ObjectCreate(object, "MSXML2.XMLHTTP") || object);
    EXPECT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    ObjectAssign(second, object);
    EXPECT_EQ(second.get(), object.get());
    ObjectRelease(second);
    EXPECT_TRUE(second == nullptr && object.use_count() == 1);
}

TEST(HeaderLines, NamesValuesTextBeforeAndSetCookies) {
    auto split = [](std::string_view line) { return HeaderName(line) + "|" + HeaderValue(line); };
    for (const auto& [line, parts] : {std::pair{"Host: a:8080", "Host|a:8080"},
                                      {"  X-A  :  v  ", "X-A|v"},
                                      {"nocolon", "|"},
                                      {"X:", "X|"}}) {
        EXPECT_EQ(split(line), parts);
    }
    EXPECT_EQ(TextBefore("Set-Cookie: a=1", ": ") + "|" + TextBefore("a-b-c", "-", 3) + "|" +
                  TextBefore("a-b-c", "-", 0) + "|" + TextBefore("aXb", "x", 1, true) + "|" +
                  TextBefore("abc", "-"),
              "Set-Cookie|a-b|a|a|");
    // Only the first pair of a line counts; a line with no ";" loses the prefix in any case.
    EXPECT_EQ(CollectSetCookies("Set-Cookie: a=1; HttpOnly\r\nSet-Cookie: SET-COOKIE:b=2"),
              "a=1; b=2");
    EXPECT_EQ(CollectSetCookies(""), "");
}

}  // namespace
}  // namespace tarnwick
