#include "web/web_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/com.h"
#include "web/header_lines.h"

namespace tarnwick {
namespace {

constexpr const char* kUrl = "http://short.example/api";
constexpr const char* kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Records every member call as text, together with the thread's COM depth at that moment,
// and answers with a scripted response.
class RecordingObject final : public RequestObject {
  public:
    std::vector<std::string> calls;
    bool comHeldThroughout = true;
    ByteSet body;
    Text headers;
    int status = 0;

    bool SetTimeouts(int a, int b, int c, int d) override {
        return Record("SetTimeouts(" + std::to_string(a) + "," + std::to_string(b) + "," +
                      std::to_string(c) + "," + std::to_string(d) + ")");
    }
    bool SetProxy(int setting, std::string_view server) override {
        return Record("SetProxy(" + std::to_string(setting) + "," + std::string(server) + ")");
    }
    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        return Record("Header(" + std::string(name) + "|" + std::string(value) + ")");
    }
    bool Open(std::string_view method, std::string_view url, bool async) override {
        return Record("Open(" + std::string(method) + "," + std::string(url) + "," +
                      (async ? "true" : "false") + ")");
    }
    bool Option(int index, int value) override {
        return Record("Option(" + std::to_string(index) + "," + std::to_string(value) + ")");
    }
    bool Send(std::string_view text) override {
        return Record("Send(text:" + std::string(text) + ")");
    }
    bool Send(const ByteSet& bytes) override {
        return Record("Send(bytes:" + std::string(bytes.begin(), bytes.end()) + ")");
    }
    ByteSet ResponseBody() override {
        Record("ResponseBody");
        return body;
    }
    Text GetAllResponseHeaders() override {
        Record("GetAllResponseHeaders");
        return headers;
    }
    int Status() override {
        Record("Status");
        return status;
    }

    // The header calls only, in order.
    std::vector<std::string> HeaderCalls() const {
        std::vector<std::string> headerCalls;
        for (const std::string& call : calls) {
            if (call.rfind("Header(", 0) == 0) {
                headerCalls.push_back(call);
            }
        }
        return headerCalls;
    }

  private:
    bool Record(std::string call) {
        comHeldThroughout = comHeldThroughout && ComInitDepth() == 1;
        calls.push_back(std::move(call));
        return true;
    }
};

// Runs one request on a fresh recording object handed in by the caller.
struct Recorded {
    std::shared_ptr<RecordingObject> object = std::make_shared<RecordingObject>();
    RequestObjectRef reference = object;
    ByteSet result;

    ByteSet operator()(std::string_view url, WebRequestArgs args) {
        args.requestObject = &reference;
        result = WebRequest(url, args);
        return result;
    }
};

TEST(WebRequest, WorkedPostExampleCallsTheObjectInOrder) {
    Recorded run;
    WebRequestArgs args;
    args.method = 1;
    args.bodyText = "url=x";
    Text cookies = "k=v";
    args.sendCookies = &cookies;
    run.object->status = 200;
    run(kUrl, args);
    EXPECT_EQ(run.object->calls,
              (std::vector<std::string>{
                  "SetTimeouts(15000,15000,15000,15000)",
                  "Open(POST,http://short.example/api,false)",
                  "Option(4,13056)",
                  "Header(Cookie|k=v)",
                  "Header(Accept|*/*)",
                  "Header(Referer|http://short.example/api)",
                  "Header(Accept-Language|zh-cn)",
                  "Header(User-Agent|Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1))",
                  "Header(Content-Type|application/x-www-form-urlencoded)",
                  "Send(text:url=x)",
                  "ResponseBody",
                  "GetAllResponseHeaders",
                  "Status",
              }));
    EXPECT_TRUE(run.object->comHeldThroughout);
    EXPECT_EQ(ComInitDepth(), 0);
    // The call's own reference is gone; only the test's two remain.
    EXPECT_EQ(run.object.use_count(), 2);
}

TEST(WebRequest, MethodTableAndSettingsBeforeOpen) {
    const std::vector<std::pair<int, std::string>> methods = {
        {0, "GET"},    {1, "POST"},  {2, "HEAD"},    {3, "PUT"}, {4, "OPTIONS"},
        {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}, {-1, "GET"}};
    for (const auto& [number, name] : methods) {
        Recorded run;
        WebRequestArgs args;
        args.method = number;
        run(kUrl, args);
        EXPECT_EQ(run.object->calls[1], "Open(" + name + "," + kUrl + ",false)") << number;
    }

    Recorded proxied;
    WebRequestArgs args;
    args.proxy = "proxy.example:3128";
    args.proxyUser = "user";
    args.proxyPassword = "pass";
    args.noRedirect = true;
    args.timeoutSeconds = 30;
    proxied(kUrl, args);
    const std::vector<std::string> head(proxied.object->calls.begin(),
                                        proxied.object->calls.begin() + 6);
    EXPECT_EQ(head, (std::vector<std::string>{
                        "SetTimeouts(30000,30000,30000,30000)",
                        "SetProxy(2,proxy.example:3128)",
                        "Header(Proxy-Authorization|Basic dXNlcjpwYXNz)",
                        "Open(GET,http://short.example/api,false)",
                        "Option(6,0)",
                        "Option(4,13056)",
                    }));
}

TEST(WebRequest, TimeoutsAndProxyCredentialsFollowTheirRules) {
    auto callsFor = [](WebRequestArgs args) {
        Recorded run;
        run(kUrl, std::move(args));
        return run.object->calls;
    };
    WebRequestArgs keep;
    keep.timeoutSeconds = -1;
    EXPECT_EQ(callsFor(keep).front(), "Open(GET,http://short.example/api,false)");
    WebRequestArgs zero;
    zero.timeoutSeconds = 0;
    EXPECT_EQ(callsFor(zero).front(), "SetTimeouts(15000,15000,15000,15000)");
    WebRequestArgs negative;
    negative.timeoutSeconds = -5;
    EXPECT_EQ(callsFor(negative).front(), "SetTimeouts(15000,15000,15000,15000)");
    WebRequestArgs huge;
    huge.timeoutSeconds = 3000000;
    EXPECT_EQ(callsFor(huge).front(), "SetTimeouts(2147483647,2147483647,2147483647,2147483647)");

    auto hasProxyCall = [&](WebRequestArgs args) {
        for (const std::string& call : callsFor(std::move(args))) {
            if (call.find("Proxy") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    WebRequestArgs userWithoutProxy;
    userWithoutProxy.proxyUser = "user";
    EXPECT_FALSE(hasProxyCall(userWithoutProxy));
    WebRequestArgs otherMode;
    otherMode.proxy = "p:1";
    otherMode.proxyUser = "user";
    otherMode.proxyAuthMode = 0;
    const std::vector<std::string> calls = callsFor(otherMode);
    EXPECT_EQ(calls[1], "SetProxy(2,p:1)");
    EXPECT_EQ(calls[2], "Open(GET,http://short.example/api,false)");
}

TEST(WebRequest, DefaultHeaderLinesAndTheirMarkers) {
    auto completed = [](int method, Text headers) {
        Recorded run;
        WebRequestArgs args;
        args.method = method;
        args.headers = &headers;
        run(kUrl, args);
        return std::make_pair(headers, run.object->HeaderCalls());
    };

    const auto [getHeaders, getCalls] = completed(0, "");
    EXPECT_EQ(getHeaders, std::string("Accept: */*\r\nReferer: ") + kUrl +
                              "\r\nAccept-Language: zh-cn\r\n" + kUserAgent);
    EXPECT_EQ(getCalls.size(), 4u);

    // The marker search is case-sensitive: a lower-case accept line hides nothing.
    const auto [acceptHeaders, acceptCalls] = completed(0, "accept: text/html");
    EXPECT_EQ(acceptCalls[0], "Header(accept|text/html)");
    EXPECT_EQ(acceptCalls[1], "Header(Accept|*/*)");

    const auto [lowerHeaders, lowerCalls] = completed(1, "content-type: text/plain");
    EXPECT_EQ(lowerCalls.front(), "Header(Content-Type|text/plain)");
    EXPECT_EQ(lowerCalls.size(), 5u);
    EXPECT_EQ(lowerHeaders.find("application/x-www-form-urlencoded"), Text::npos);

    const auto [mixedHeaders, mixedCalls] = completed(1, "Content-type: text/plain");
    EXPECT_EQ(mixedCalls.front(), "Header(Content-type|text/plain)");
    EXPECT_EQ(mixedCalls.back(), "Header(Content-Type|application/x-www-form-urlencoded)");

    const auto [ownHeaders, ownCalls] =
        completed(0, "Referer: x\r\nUser-Agent: me\r\nAccept-Language: en\r\nAccept: a/b");
    EXPECT_EQ(ownCalls,
              (std::vector<std::string>{"Header(Referer|x)", "Header(User-Agent|me)",
                                        "Header(Accept-Language|en)", "Header(Accept|a/b)"}));

    // Blank lines are skipped; a line without a colon goes over with an empty name and value.
    const auto [oddHeaders, oddCalls] = completed(0, "X-A: 1\r\n\r\nnocolon\r\nHost: a:8080");
    EXPECT_EQ(std::vector<std::string>(oddCalls.begin(), oddCalls.begin() + 3),
              (std::vector<std::string>{"Header(X-A|1)", "Header(|)", "Header(Host|a:8080)"}));
    // A POST with no header text of its own gets five lines, the form type last.
    EXPECT_EQ(completed(1, "").second.size(), 5u);
}

TEST(WebRequest, CookiesAndBodies) {
    Recorded emptyCookies;
    Text none;
    WebRequestArgs withEmpty;
    withEmpty.sendCookies = &none;
    emptyCookies(kUrl, withEmpty);
    EXPECT_EQ(emptyCookies.object->HeaderCalls().front(), "Header(Cookie|)");

    Recorded bytes;
    WebRequestArgs both;
    both.bodyText = "text";
    both.bodyBytes = {'b', 0, 'y'};
    bytes(kUrl, both);
    EXPECT_EQ(bytes.object->calls[bytes.object->calls.size() - 4],
              std::string("Send(bytes:b\0y)", 15));

    Recorded collect;
    collect.object->headers =
        "Content-Type: text/html\r\nSet-Cookie: a=1; path=/\r\nset-cookie: z=9\r\nSet-Cookie: b=2";
    collect.object->status = 200;
    Text received = "stale";
    Text responseHeaders;
    int status = -1;
    WebRequestArgs outs;
    outs.receivedCookies = &received;
    outs.responseHeaders = &responseHeaders;
    outs.status = &status;
    collect(kUrl, outs);
    EXPECT_EQ(received, "a=1; b=2");
    EXPECT_EQ(responseHeaders, collect.object->headers);
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(collect.result.empty());

    Recorded nothing;
    received = "stale";
    WebRequestArgs plain;
    plain.receivedCookies = &received;
    nothing(kUrl, plain);
    EXPECT_EQ(received, "");
}

TEST(WebRequest, MergeLeavesTheListInBothVariables) {
    auto request = [](Text& sent, Text* received, std::optional<bool> merge) {
        Recorded run;
        run.object->headers = "Set-Cookie: b=2";
        WebRequestArgs args;
        args.sendCookies = &sent;
        args.receivedCookies = received;
        args.mergeCookies = merge;
        run(kUrl, args);
        return run.object->HeaderCalls().front();
    };
    Text sent = "a=1";
    Text received;
    request(sent, &received, std::nullopt);
    EXPECT_EQ(received, "b=2; a=1");
    EXPECT_EQ(sent, "b=2; a=1");

    sent = "a=1";
    request(sent, &received, false);
    EXPECT_EQ(received, "b=2");
    EXPECT_EQ(sent, "a=1");

    sent = "a=1";
    request(sent, nullptr, std::nullopt);
    EXPECT_EQ(sent, "b=2; a=1");

    // One variable for both: the cookies it held are sent, and it ends with the merge.
    Text shared = "a=1";
    EXPECT_EQ(request(shared, &shared, std::nullopt), "Header(Cookie|a=1)");
    EXPECT_EQ(shared, "b=2; a=1");
}

RequestObjectRef NoObject(std::string_view) {
    return nullptr;
}

std::shared_ptr<RecordingObject> lastCreated;

RequestObjectRef RecordingFactory(std::string_view progId) {
    if (progId != kRequestObjectProgId) {
        return nullptr;
    }
    lastCreated = std::make_shared<RecordingObject>();
    return lastCreated;
}

TEST(WebRequest, CreationFailureAndEmptyObjectsGiveEmptyResults) {
    Text headers = "X: 1";
    Text received = "r";
    Text responseHeaders = "h";
    int status = 7;
    WebRequestArgs args;
    args.headers = &headers;
    args.receivedCookies = &received;
    args.responseHeaders = &responseHeaders;
    args.status = &status;

    const RequestObjectFactory previous = SetRequestObjectFactory(NoObject);
    EXPECT_TRUE(WebRequest(kUrl, args).empty());
    EXPECT_EQ(headers, "X: 1");
    EXPECT_EQ(received, "r");
    EXPECT_EQ(responseHeaders, "h");
    EXPECT_EQ(status, 7);
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
    EXPECT_EQ(received, "");
    EXPECT_EQ(responseHeaders, "");
    EXPECT_EQ(status, 0);
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
    EXPECT_EQ(HeaderName("Host: a:8080"), "Host");
    EXPECT_EQ(HeaderValue("Host: a:8080"), "a:8080");
    EXPECT_EQ(HeaderName("  X-A  :  v  "), "X-A");
    EXPECT_EQ(HeaderValue("  X-A  :  v  "), "v");
    EXPECT_EQ(HeaderName("nocolon"), "");
    EXPECT_EQ(HeaderValue("nocolon"), "");
    EXPECT_EQ(HeaderValue("X:"), "");
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
