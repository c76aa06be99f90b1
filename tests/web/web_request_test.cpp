#include "web/web_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "web/com.h"
#include "web/header_lines.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

using Calls = std::vector<std::string>;

constexpr const char* kUrl = "http://short.example/api";
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Records every member call as "Name(arg,arg)", checks that COM is held at each, and answers
// with a scripted response.
class RecordingObject final : public RequestObject {
  public:
    Calls calls;
    bool comHeldThroughout = true;
    Text headers;
    int status = 0;

    bool SetTimeouts(int a, int b, int c, int d) override {
        return Record("SetTimeouts", a, b, c, d);
    }
    bool SetProxy(int setting, std::string_view server) override {
        return Record("SetProxy", setting, server);
    }
    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        return Record("Header", name, value);
    }
    bool Open(std::string_view method, std::string_view url, bool async) override {
        return Record("Open", method, url, async);
    }
    bool Option(int index, int value) override { return Record("Option", index, value); }
    bool Send(std::string_view text) override { return Record("Send", text); }
    bool Send(const ByteSet& bytes) override {
        return Record("SendBytes", std::string(bytes.begin(), bytes.end()));
    }
    ByteSet ResponseBody() override {
        Record("ResponseBody");
        return {};
    }
    Text GetAllResponseHeaders() override { return Record("Headers") ? headers : ""; }
    int Status() override { return Record("Status") ? status : 0; }

    Calls HeaderCalls() const {
        Calls found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [](const std::string& call) { return call.rfind("Header(", 0) == 0; });
        return found;
    }

  private:
    template <typename... Args>
    bool Record(std::string_view name, const Args&... args) {
        comHeldThroughout = comHeldThroughout && ComInitDepth() == 1;
        std::ostringstream call;
        call << std::boolalpha << name << '(';
        [[maybe_unused]] const char* separator = "";
        ((call << separator << args, separator = ","), ...);
        calls.push_back(call.str() + ")");
        return true;
    }
};

// Runs one request on a fresh recording object handed in as the caller's own.
std::shared_ptr<RecordingObject> Request(WebRequestArgs args, Text headers = "", int status = 0) {
    auto object = std::make_shared<RecordingObject>();
    object->headers = std::move(headers);
    object->status = status;
    const RequestObjectRef reference = object;
    args.requestObject = &reference;
    EXPECT_TRUE(WebRequest(kUrl, args).empty());
    return object;
}

TEST(WebRequest, WorkedPostExampleCallsTheObjectInOrder) {
    Text cookies = "k=v";
    const auto object =
        Request({.method = 1, .bodyText = "url=x", .sendCookies = &cookies}, "", 200);
    EXPECT_EQ(
        object->calls,
        (Calls{"SetTimeouts(15000,15000,15000,15000)", "Open(POST,http://short.example/api,false)",
               "Option(4,13056)", "Header(Cookie,k=v)", "Header(Accept,*/*)",
               "Header(Referer,http://short.example/api)", "Header(Accept-Language,zh-cn)",
               std::string("Header(User-Agent,") + kUserAgent + ")",
               "Header(Content-Type,application/x-www-form-urlencoded)", "Send(url=x)",
               "ResponseBody()", "Headers()", "Status()"}));
    EXPECT_TRUE(object->comHeldThroughout);
    EXPECT_EQ(ComInitDepth(), 0);
    // The call's own reference is gone.
    EXPECT_EQ(object.use_count(), 1);
}

TEST(WebRequest, MethodsTimeoutsAndProxySettings) {
    const std::vector<std::pair<int, std::string>> methods = {
        {0, "GET"},    {1, "POST"},  {2, "HEAD"},    {3, "PUT"}, {4, "OPTIONS"},
        {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}, {-1, "GET"}};
    for (const auto& [number, name] : methods) {
        EXPECT_EQ(Request({.method = number})->calls[1], "Open(" + name + "," + kUrl + ",false)");
    }
    const std::vector<std::pair<int, std::string>> timeouts = {
        {-1, "Open(GET,http://short.example/api,false)"},
        {0, "SetTimeouts(15000,15000,15000,15000)"},
        {-5, "SetTimeouts(15000,15000,15000,15000)"},
        {3000000, "SetTimeouts(2147483647,2147483647,2147483647,2147483647)"}};
    for (const auto& [seconds, first] : timeouts) {
        EXPECT_EQ(Request({.timeoutSeconds = seconds})->calls.front(), first) << seconds;
    }

    const Calls proxied = Request({.noRedirect = true,
                                   .proxy = "proxy.example:3128",
                                   .timeoutSeconds = 30,
                                   .proxyUser = "user",
                                   .proxyPassword = "pass"})
                              ->calls;
    EXPECT_EQ(
        Calls(proxied.begin(), proxied.begin() + 6),
        (Calls{"SetTimeouts(30000,30000,30000,30000)", "SetProxy(2,proxy.example:3128)",
               "Header(Proxy-Authorization,Basic dXNlcjpwYXNz)",
               "Open(GET,http://short.example/api,false)", "Option(6,0)", "Option(4,13056)"}));
    // Credentials need a named proxy and the Basic mode.
    const Calls userOnly = Request({.proxyUser = "user"})->calls;
    for (const std::string& call : userOnly) {
        EXPECT_EQ(call.find("Proxy"), std::string::npos);
    }
    const Calls otherMode =
        Request({.proxy = "p:1", .proxyUser = "user", .proxyAuthMode = 0})->calls;
    EXPECT_EQ(otherMode[1], "SetProxy(2,p:1)");
    EXPECT_EQ(otherMode[2], "Open(GET,http://short.example/api,false)");
}

TEST(WebRequest, DefaultHeaderLinesAndTheirMarkers) {
    auto completed = [](int method, Text headers) {
        const Calls calls = Request({.method = method, .headers = &headers})->HeaderCalls();
        return std::make_pair(headers, calls);
    };
    const auto [getHeaders, getCalls] = completed(0, "");
    EXPECT_EQ(getHeaders, std::string("Accept: */*\r\nReferer: ") + kUrl +
                              "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + kUserAgent);
    EXPECT_EQ(getCalls.size(), 4u);
    // A POST with no header text of its own gets five lines, the form type last.
    EXPECT_EQ(completed(1, "").second.size(), 5u);
    // The marker search is case-sensitive: a lower-case accept line hides nothing.
    EXPECT_EQ(completed(0, "accept: text/html").second[1], "Header(Accept,*/*)");
    const auto [lowerHeaders, lowerCalls] = completed(1, "content-type: text/plain");
    EXPECT_EQ(lowerCalls.front(), "Header(Content-Type,text/plain)");
    EXPECT_EQ(lowerCalls.size(), 5u);
    EXPECT_EQ(lowerHeaders.find("application/x-www-form-urlencoded"), Text::npos);
    const Calls mixed = completed(1, "Content-type: text/plain").second;
    EXPECT_EQ(mixed.front(), "Header(Content-type,text/plain)");
    EXPECT_EQ(mixed.back(), "Header(Content-Type,application/x-www-form-urlencoded)");
    EXPECT_EQ(
        completed(0, "Referer: x\r\nUser-Agent: me\r\nAccept-Language: en\r\nAccept: a/b").second,
        (Calls{"Header(Referer,x)", "Header(User-Agent,me)", "Header(Accept-Language,en)",
               "Header(Accept,a/b)"}));
    // Blank lines are skipped; a line without a colon goes over with an empty name and value.
    const Calls odd = completed(0, "X-A: 1\r\n\r\nnocolon\r\nHost: a:8080").second;
    EXPECT_EQ(Calls(odd.begin(), odd.begin() + 3),
              (Calls{"Header(X-A,1)", "Header(,)", "Header(Host,a:8080)"}));
}

TEST(WebRequest, CookiesBodiesAndOutputs) {
    Text none;
    EXPECT_EQ(Request({.sendCookies = &none})->HeaderCalls().front(), "Header(Cookie,)");
    const Calls both = Request({.bodyText = "text", .bodyBytes = {'b', 0, 'y'}})->calls;
    EXPECT_EQ(both[both.size() - 4], std::string("SendBytes(b\0y)", 14));

    const Text headers =
        "Content-Type: text/html\r\nSet-Cookie: a=1; path=/\r\nset-cookie: z=9\r\nSet-Cookie: b=2";
    Text received = "stale";
    Text responseHeaders;
    int status = -1;
    Request({.receivedCookies = &received, .responseHeaders = &responseHeaders, .status = &status},
            headers, 200);
    EXPECT_EQ(received, "a=1; b=2");
    EXPECT_EQ(responseHeaders, headers);
    EXPECT_EQ(status, 200);
    received = "stale";
    Request({.receivedCookies = &received});
    EXPECT_EQ(received, "");

    // The merge leaves the list in both variables unless switched off.
    struct Case {
        std::optional<bool> merge;
        bool withReceived;
        Text sent, received;
    };
    for (const Case& c :
         {Case{std::nullopt, true, "b=2; a=1", "b=2; a=1"}, Case{false, true, "a=1", "b=2"},
          Case{std::nullopt, false, "b=2; a=1", ""}}) {
        Text sent = "a=1";
        received.clear();
        Request({.sendCookies = &sent,
                 .receivedCookies = c.withReceived ? &received : nullptr,
                 .mergeCookies = c.merge},
                "Set-Cookie: b=2");
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(received, c.received);
    }
    // One variable for both: the cookies it held are sent, and it ends with the merge.
    Text shared = "a=1";
    EXPECT_EQ(Request({.sendCookies = &shared, .receivedCookies = &shared}, "Set-Cookie: b=2")
                  ->HeaderCalls()
                  .front(),
              "Header(Cookie,a=1)");
    EXPECT_EQ(shared, "b=2; a=1");
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
    EXPECT_EQ(lastCreated->calls.size(), 12u);
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
    EXPECT_FALSE(ObjectCreate(object, "MSXML2.XMLHTTP"));
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    RequestObjectRef second;
    ObjectAssign(second, object);
    EXPECT_EQ(second.get(), object.get());
    ObjectRelease(second);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(object.use_count(), 1);
}

TEST(HeaderLines, NamesValuesAndTextBefore) {
    EXPECT_EQ(HeaderName("Host: a:8080") + "|" + HeaderValue("Host: a:8080"), "Host|a:8080");
    EXPECT_EQ(HeaderName("  X-A  :  v  ") + "|" + HeaderValue("  X-A  :  v  "), "X-A|v");
    EXPECT_EQ(HeaderName("nocolon") + "|" + HeaderValue("nocolon") + HeaderValue("X:"), "|");
    EXPECT_EQ(TextBefore("Set-Cookie: a=1", ": "), "Set-Cookie");
    EXPECT_EQ(TextBefore("a-b-c", "-", 3), "a-b");
    EXPECT_EQ(TextBefore("a-b-c", "-", 0), "a");
    EXPECT_EQ(TextBefore("aXb", "x", 1, true), "a");
    EXPECT_EQ(TextBefore("abc", "-"), "");
    // Only the first pair of a line counts; a line with no ";" loses the prefix in any case.
    EXPECT_EQ(CollectSetCookies("Set-Cookie: a=1; HttpOnly\r\nSet-Cookie: SET-COOKIE:b=2"),
              "a=1; b=2");
    EXPECT_EQ(CollectSetCookies(""), "");
}

}  // namespace
}  // namespace tarnwick
