// The system's own WinHttp.WinHttpRequest.5.1 under WebRequest: the answers of a loopback
// server, and an object used twice.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/raw_server.h"
#include "web/com.h"
#include "web/web_request.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

struct Answer {
    std::string body;
    int status;
    std::string headers;  // must be among the response headers
    std::string cookies;  // sent "a=1; b=2": what comes back merged
};

// One server's answers, each to a request of its own and then to one object used twice.
TEST(WinHttpObject, AnswersOnTheWire) {
    using std::string_literals::operator""s;
    // clang-format off
    const std::pair<std::string, Answer> rows[] = {
        {test::OkResponse("\x01\x00\xFF\xC0\xFD"s, "X-Test: 1\r\n"), {"\x01\x00\xFF\xC0\xFD"s, 200, "X-Test: 1", "a=1; b=2"}},
        {test::OkResponse("", "Set-Cookie: b=3; path=/\r\nSet-Cookie: c=4\r\n"), {"", 200, "", "b=3; c=4; a=1"}},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", {"gone", 404, "", "a=1; b=2"}},
        {"HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n",
         {"", 302, "Location: /elsewhere", "a=1; b=2"}},
    };
    // clang-format on
    for (const auto& [reply, want] : rows) {
        test::RawServer server(test::ReplyWith(reply));
        Text cookies = "a=1; b=2";
        Text headers;
        int status = -1;
        const ByteSet body = WebRequest(server.Url("/"), {.sendCookies = &cookies,
                                                          .responseHeaders = &headers,
                                                          .status = &status,
                                                          .noRedirect = true});
        EXPECT_EQ(std::string(body.begin(), body.end()), want.body);
        EXPECT_EQ(status, want.status);
        EXPECT_NE(headers.find(want.headers), std::string::npos) << headers;
        EXPECT_EQ(cookies, want.cookies);
    }
    // A byte body goes out as it is; a closed port gives empty results and status 0.
    int status = -1;
    std::string url;
    {
        test::RawServer server(test::ReplyWith(test::OkResponse("ok")));
        url = server.Url("/post");
        const ByteSet sent = {0x00, 0xFF, 0x25, 0x0D, 0x0A};
        EXPECT_EQ(WebRequest(url, {.method = kPostMethod, .bodyBytes = sent}), ByteSet({'o', 'k'}));
        ASSERT_EQ(server.Requests().size(), 1u);
        EXPECT_TRUE(server.Requests()[0].ends_with("\r\n\r\n\x00\xFF%\r\n"s));
    }
    EXPECT_TRUE(WebRequest(url, {.status = &status, .timeoutSeconds = 2}).empty());
    EXPECT_EQ(status, 0);
    // An answer that takes its time still comes, also on an object whose own time-outs stand.
    // The server says it closes: Wine's object would otherwise keep the first connection for
    // the second request and, where it reads the close too late, fail it without a retry.
    test::RawServer slow([](test::Connection& c, const std::string&) {
        c.HoldUntilPeerCloses(300);
        c.Send(test::OkResponse("slow", "Connection: close\r\n"));
        c.CloseWrite();
    });
    for (const int timeoutSeconds : {0, -1}) {
        EXPECT_EQ(WebRequest(slow.Url("/"), {.timeoutSeconds = timeoutSeconds}),
                  ByteSet({'s', 'l', 'o', 'w'}))
            << timeoutSeconds;
    }
    // A body that drips a byte now and then never idles long enough for a time-out: the deadline
    // of the whole transfer, the four time-outs added up, ends it as failed.
    test::RawServer dripping([](test::Connection& c, const std::string&) {
        for (bool open = c.Send("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n"); open;
             open = c.Send("d")) {
            c.HoldUntilPeerCloses(50);
        }
    });
    status = -1;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(WebRequest(dripping.Url("/"), {.status = &status, .timeoutSeconds = 1}).empty());
    EXPECT_EQ(status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
}

// An object the caller holds, used for two answers: the second call sees only the second.
TEST(WinHttpObject, ACallersObjectUsedTwice) {
    test::RawServer first(test::ReplyWith(test::OkResponse("one", "X-First: 1\r\n")));
    test::RawServer second(test::ReplyWith("HTTP/1.1 201 Created\r\nContent-Length: 3\r\n\r\ntwo"));
    const ComScope com;
    RequestObjectRef object;
    ASSERT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    EXPECT_EQ(WebRequest(first.Url("/"), {.requestObject = &object}), ByteSet({'o', 'n', 'e'}));
    Text headers;
    int status = 0;
    EXPECT_EQ(
        WebRequest(second.Url("/"),
                   {.responseHeaders = &headers, .status = &status, .requestObject = &object}),
        ByteSet({'t', 'w', 'o'}));
    EXPECT_EQ(status, 201);
    EXPECT_EQ(headers.find("X-First"), std::string::npos) << headers;
}

}  // namespace
}  // namespace tarnwick
