// WebRequest and the libcurl object against real sockets on 127.0.0.1: the exact bytes on the
// wire, redirects, hostile servers, proxies and certificate checks.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "tests/support/raw_server.h"
#include "tests/support/text_match.h"
#include "tests/support/tls_identity.h"
#include "web/curl_request.h"
#include "web/transfer_abandon.h"
#include "web/web_request.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

using namespace test;
using std::chrono::milliseconds;
using Wants = std::vector<std::string>;

const std::string kDefaultLines =
    "\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT "
    "6.1)\r\n";
const Wants kFailed = {"=|0||"};

class Wire : public ::testing::Test {
  protected:
    // The proxy settings of the machine running the tests must not reroute them.
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe): no request runs yet
        }
    }
};

// "body|status|cookies|headers" of one WebRequest, and how long it took.
struct Outcome {
    std::string text;
    milliseconds elapsed;
};

Outcome Fetch(std::string_view url, WebRequestArgs args = {}) {
    Text headers = "unset";
    Text cookies = "unset";
    int status = -1;
    args.responseHeaders = &headers;
    args.status = &status;
    args.receivedCookies = &cookies;
    const auto start = std::chrono::steady_clock::now();
    const ByteSet body = WebRequest(url, args);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return {std::string(body.begin(), body.end()) + "|" + std::to_string(status) + "|" + cookies +
                "|" + headers,
            std::chrono::duration_cast<milliseconds>(elapsed)};
}

std::string Redirect(const std::string& status, const std::string& location) {
    return "HTTP/1.1 " + status + "\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

// Answers by request path; an unknown path gets a 404.
Responder Routes(std::map<std::string, std::string> replies) {
    return [replies = std::move(replies)](Connection& connection, const std::string& request) {
        const std::size_t start = request.find(' ') + 1;
        const auto reply = replies.find(request.substr(start, request.find(' ', start) - start));
        connection.Send(reply != replies.end() ? reply->second : Redirect("404 Not Found", ""));
        connection.CloseWrite();
    };
}

std::string Compress(std::string_view data, int windowBits) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

RequestObjectRef NewObject(int resolveMs = 5000, int ms = 5000) {
    RequestObjectRef object;
    EXPECT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    object->SetTimeouts(resolveMs, resolveMs, ms, ms);
    return object;
}

TEST_F(Wire, RequestsCarryExactlyTheirLinesAndBody) {
    RawServer server(ReplyWith(OkResponse("hello", "Set-Cookie: s=1; path=/\r\n")));
    const std::string host = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
    const std::string url = server.Url("/page?q=1");
    EXPECT_EQ(Fetch(url).text, "hello|200|s=1|Content-Length: 5\r\nSet-Cookie: s=1; path=/");
    Text cookies = "k=v";
    Fetch(url, {.method = 1, .bodyText = "url=x", .sendCookies = &cookies});
    EXPECT_EQ(cookies, "s=1; k=v");
    // A large body still goes without "Expect: 100-continue".
    Fetch(url, {.method = 1, .bodyBytes = ByteSet(2 << 20, 'z')});
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "GET /page?q=1 HTTP/1.1\r\n" + host + "Accept: */*\r\nReferer: " + url +
                               kDefaultLines + "\r\n");
    EXPECT_EQ(requests[1], "POST /page?q=1 HTTP/1.1\r\n" + host +
                               "Cookie: k=v\r\nAccept: */*\r\nReferer: " + url + kDefaultLines +
                               "Content-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: 5\r\n\r\nurl=x");
    EXPECT_EQ(Unmet(requests[2], {"!Expect", "\r\nContent-Length: 2097152\r\n\r\nzzz",
                                  "$" + std::string(1000, 'z')}),
              "");
    EXPECT_EQ(requests[2].size() - requests[2].find("\r\n\r\n"), (2u << 20) + 4);

    // The object's own header rules: only after Open, in the order given, nothing that would
    // break or forge a line, and none left over for the next request.
    const RequestObjectRef object = NewObject();
    EXPECT_FALSE(object->SetRequestHeader("X-Early", "1"));
    ASSERT_TRUE(object->Open("GET", server.Url("/one"), false));
    // clang-format off
    for (const auto& [name, value, accepted] : {
             std::tuple{"X-Empty", "", true}, {"accept", "text/html", true},
             {"Accept", "*/*", true}, {"User-Agent", "me", true}, {"X-Bytes", "\xD6\xD0", true},
             {"", "v", false},
             {"Bad Name", "v", false}, {"X-Split", "a\r\nEvil: 1", false},
             {"Content-Length", "9", false}, {"Transfer-Encoding", "chunked", false}}) {
        // clang-format on
        EXPECT_EQ(object->SetRequestHeader(name, value), accepted) << name;
    }
    ASSERT_TRUE(object->Send(std::string_view()));
    ASSERT_TRUE(object->Open("GET", server.Url("/two"), false));
    ASSERT_TRUE(object->Send(std::string_view()));
    EXPECT_EQ(server.Requests()[3], "GET /one HTTP/1.1\r\n" + host +
                                        "X-Empty:\r\naccept: text/html\r\nAccept: */*\r\n"
                                        "User-Agent: me\r\nX-Bytes: \xD6\xD0\r\n\r\n");
    EXPECT_EQ(server.Requests()[4], "GET /two HTTP/1.1\r\n" + host + "\r\n");
}

TEST_F(Wire, EachMethodSendsItsTargetAndExactlyItsBody) {
    RawServer server([](Connection& connection, const std::string& request) {
        if (request.starts_with("HEAD ") || request.starts_with("CONNECT ")) {
            // A head announcing a body that never comes: only a method that expects none returns.
            connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
            connection.HoldUntilPeerCloses();
            return;
        }
        connection.Send(OkResponse("ok"));
        connection.CloseWrite();
    });
    const std::string port = std::to_string(server.Port());
    struct Row {
        const char* method;
        std::string path;
        const char* body;
        Wants want;  // on the request, then "|status|body" of the answer
    };
    const std::vector<Row> rows = {
        {"HEAD", "/h", "", {"^HEAD /h HTTP/1.1\r\n", "$\r\n\r\n|200|"}},
        {"CONNECT", "/x", "", {"^CONNECT 127.0.0.1:" + port + " HTTP/1.1\r\n", "$|200|"}},
        {"PUT",
         "/p",
         "data",
         {"^PUT /p HTTP/1.1\r\n", "$\r\nContent-Length: 4\r\n\r\ndata|200|ok"}},
        {"PUT", "/p", "", {"$\r\nContent-Length: 0\r\n\r\n|200|ok"}},
        {"DELETE", "/d", "gone", {"^DELETE /d ", "$\r\n\r\ngone|200|ok"}},
        {"DELETE", "/d", "", {"!Content-Length"}},
        {"OPTIONS", "", "", {"^OPTIONS * HTTP/1.1\r\n"}},
        {"OPTIONS", "/o", "", {"^OPTIONS /o HTTP/1.1\r\n"}},
        {"TRACE", "/t", "", {"^TRACE /t HTTP/1.1\r\n"}},
        {"POST", "/e", "", {"$\r\nContent-Length: 0\r\n\r\n|200|ok"}},
        // No type of its own for a body: only what was handed over.
        {"POST", "/f", "a=1", {"!Content-Type", "$\r\n\r\na=1|200|ok"}},
        {"GET", "/g", "q", {"^GET /g ", "$\r\n\r\nq|200|ok"}},
        // Text goes out as UTF-8, and the URL is escaped.
        {"POST",
         "/a b/\xD6\xD0?q=\xD6\xD0",
         "\xD6\xD0=1",
         {"^POST /a%20b/%E4%B8%AD?q=%E4%B8%AD HTTP/1.1\r\n", "$\r\n\r\n\xE4\xB8\xAD=1|200|ok"}},
    };
    const RequestObjectRef object = NewObject();
    const auto start = std::chrono::steady_clock::now();
    for (const Row& row : rows) {
        EXPECT_TRUE(object->Open(row.method, server.Url(row.path), false));
        EXPECT_TRUE(object->Send(std::string_view(row.body))) << row.method;
        const ByteSet body = object->ResponseBody();
        const std::string seen = server.Requests().back() + "|" + std::to_string(object->Status()) +
                                 "|" + std::string(body.begin(), body.end());
        EXPECT_EQ(Unmet(seen, row.want), "") << seen;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    ASSERT_TRUE(object->Open("POST", server.Url("/b"), false));
    ASSERT_TRUE(object->Send(ByteSet{0xD6, 0x00, 0xD0}));
    EXPECT_TRUE(server.Requests().back().ends_with(std::string("\r\n\r\n\xD6\0\xD0", 7)));
}

// Runs each row against a server of its own, all at once; each must end within its bound.
TEST_F(Wire, AnswersOddHostileAndRedirected) {
    std::string header1MiB = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; header1MiB.size() < (1u << 20); ++i) {
        header1MiB += "X-Fill-" + std::to_string(i) + ": " + std::string(100, 'f') + "\r\n";
    }
    const std::string chunk(std::size_t{64} * 1024, 'e');
    auto endless = [](const std::string& head, const std::string& piece) -> Responder {
        return [=](Connection& c, const std::string&) {
            for (bool open = c.Send(head); open; open = c.Send(piece)) {
            }
        };
    };
    auto holding = [](const std::string& sent) -> Responder {
        return [=](Connection& c, const std::string&) {
            c.Send(sent);
            c.HoldUntilPeerCloses();
        };
    };
    const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + chunk;
    // Only a coding the request offered is undone; what was not offered, or does not decode
    // (corrupt, or too large once decoded), comes as it came. The large one is many gzip
    // members of 1 MiB each.
    const std::string text = "compressed text, compressed text, compressed text";
    const std::string gzip = Compress(text, 16 + MAX_WBITS);
    const std::string corrupt("\x1f\x8b\x08\x00garbage", 11);
    const std::string member = Compress(std::string(1 << 20, '\0'), 16 + MAX_WBITS);
    std::string bomb;
    for (int i = 0; i < 65; ++i) {
        bomb += member;
    }
    auto coded = [](const std::string& coding, const std::string& sent) {
        return ReplyWith(OkResponse(sent, "Content-Encoding: " + coding + "\r\n"));
    };
    std::string cookieLines;
    for (int i = 0; i < 10000; ++i) {
        cookieLines += "Set-Cookie: c" + std::to_string(i) + "=v; path=/\r\n";
    }
    RawServer other(ReplyWith(OkResponse("elsewhere")));
    const Responder routes = Routes({
        {"/start",
         "HTTP/1.1 302 Found\r\nLocation: /final\r\nSet-Cookie: hop=1\r\nContent-Length: "
         "0\r\n\r\n"},
        {"/final",
         "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" + OkResponse("done", "X-Final: 1\r\n")},
        {"/moved", Redirect("301 Moved Permanently", "/final")},
        {"/see-other", Redirect("303 See Other", "/final")},
        {"/temporary", Redirect("307 Temporary Redirect", "/final")},
        {"/permanent", Redirect("308 Permanent Redirect", "/final")},
        {"/away",
         Redirect("302 Found", "http://localhost:" + std::to_string(other.Port()) + "/landing")},
        {"/other-port", Redirect("302 Found", other.Url("/landing"))},
        {"/loop", Redirect("302 Found", "/loop")},
        {"/ftp", Redirect("301 Moved", "ftp://127.0.0.1/file")},
        {"/file", Redirect("302 Found", "file:///etc/passwd")},
        {"/no-url", Redirect("302 Found", "\v\f")},  // blank to libcurl: no URL at all
    });
    struct Row {
        const char* name;
        Responder responder;
        Wants want;  // on the outcome
        std::string path = "/";
        WebRequestArgs args = {};
        Wants sent = {};  // on the last request the server read
        std::size_t requests = 1;
        const char* headers = nullptr;
        std::vector<int> timeouts = {};  // the object's, in place of WebRequest's
        int withinMs = 10000;
    };
    const WebRequestArgs post{.method = 1, .bodyText = "a=1"};
    Text sent = "k=v";  // read by several rows at once, so never merged into
    const WebRequestArgs keep{.sendCookies = &sent, .mergeCookies = false};
    const WebRequestArgs stop{.sendCookies = &sent, .noRedirect = true, .mergeCookies = false};
    const std::vector<int> idle = {3000, 3000, 250, 250};  // 250 ms idle, 6.5 s in all
    const char* gz = "Accept-Encoding: gzip";
    const Wants asText = {"^" + text + "|200|"};
    const Wants asGzip = {"^" + gzip + "|200|"};
    // clang-format off
    const std::vector<Row> rows = {
        {"no answer", holding(""), kFailed, "/", {}, {}, 1, nullptr, idle, 3000},
        {"stall mid-body", holding("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), kFailed,
         "/", {}, {}, 1, nullptr, idle, 3000},
        // Bytes of the body keep it from idling: the overall deadline ends it.
        {"body dripping, a byte each 20 ms", [](Connection& c, const std::string&) {
             c.Send("HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\n");
             c.Drip(std::string(200, 'd'), milliseconds(20));
         }, kFailed, "/", {}, {}, 1, nullptr, {100, 100, 300, 300}, 3000},
        {"empty reply", [](Connection& c, const std::string&) { c.CloseWrite(); }, kFailed},
        {"garbage status line", ReplyWith("GARBAGE\r\n\r\nmore garbage"), kFailed},
        {"reset mid-body", [&](Connection& c, const std::string&) {
             c.Send(partial.substr(0, 100));
             c.Reset();
         }, kFailed},
        {"closed mid-body", ReplyWith(partial.substr(0, 100)), kFailed},
        {"1 MiB header block", ReplyWith(header1MiB + "Content-Length: 2\r\n\r\nok"), kFailed},
        {"bad chunked body", ReplyWith("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                       "ZZZ\r\nhello\r\n0\r\n\r\n"), kFailed},
        {"announced body too large",
         holding("HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\nabc"), kFailed},
        {"endless chunked body", endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                                         "10000\r\n" + chunk + "\r\n"), kFailed, "/", {}, {}, 1,
         nullptr, {}, 30000},
        {"NUL bytes", ReplyWith(OkResponse(std::string("a\0b\0", 4))),
         {"=" + std::string("a\0b\0|200||Content-Length: 4", 27)}},
        {"10000 cookies", ReplyWith(OkResponse("", cookieLines)),
         {"^|200|c0=v; c1=v; c2=v", "; c9999=v|Content-Length: 0\r\nSet-Cookie: c0=v;"}, "/", {},
         {}, 1, nullptr, {}, 5000},
        {"gzip", coded("gzip", gzip), {"^" + text + "|200||", "Content-Encoding: gzip"}, "/", {},
         {}, 1, "Accept-Encoding: gzip, deflate"},
        {"two gzip members", coded("gzip", gzip + gzip), {"^" + text + text + "|"}, "/", {}, {},
         1, gz},
        {"zlib deflate", coded("deflate", Compress(text, MAX_WBITS)), asText, "/", {}, {}, 1,
         "Accept-Encoding: gzip, deflate"},
        {"raw deflate", coded("deflate", Compress(text, -MAX_WBITS)), asText, "/", {}, {}, 1,
         "Accept-Encoding: deflate"},
        {"offered, not coded", ReplyWith(OkResponse(gzip)), asGzip, "/", {}, {}, 1, gz},
        {"coded, not offered", coded("gzip", gzip), asGzip},
        {"offered, other coding", coded("gzip", gzip), asGzip, "/", {}, {}, 1,
         "Accept-Encoding: deflate"},
        {"corrupt", coded("gzip", corrupt), {"^" + corrupt + "|200|"}, "/", {}, {}, 1, gz},
        {"65 MiB once decoded", coded("gzip", bomb), {"^" + bomb + "|200|"}, "/", {}, {}, 1, gz},
        {"followed", routes, {"=done|200||Content-Length: 4\r\nX-Final: 1"}, "/start", keep,
         {"^GET /final HTTP/1.1\r\n", "\r\nCookie: k=v\r\n"}, 2},
        {"not followed", routes,
         {"=|302|hop=1|Location: /final\r\nSet-Cookie: hop=1\r\nContent-Length: 0"}, "/start",
         stop, {"^GET /start "}},
        {"302 turns POST into GET", routes, {"^done|"}, "/start", post,
         {"^GET /final HTTP/1.1\r\n", "!Content-"}, 2},
        {"301 turns POST into GET", routes, {"^done|"}, "/moved", post, {"^GET /final "}, 2},
        {"303 turns POST into GET", routes, {"^done|"}, "/see-other", post,
         {"^GET /final ", "!Content-"}, 2},
        {"307 repeats POST", routes, {"^done|"}, "/temporary", post,
         {"^POST /final ", "\r\nContent-Type: application/x-www-form-", "$\r\n\r\na=1"}, 2},
        {"308 repeats POST", routes, {"^done|"}, "/permanent", post, {"^POST /final "}, 2},
        {"to another host", routes, {"^elsewhere|200|"}, "/away", keep},
        {"to another port", routes, {"^elsewhere|200|"}, "/other-port", keep},
        {"loop", routes, kFailed, "/loop", {}, {}, 1 + kMaxRedirects},
        {"to ftp", routes, kFailed, "/ftp"},
        {"to file", routes, kFailed, "/file"},
        {"to no URL", routes, kFailed, "/no-url"},
    };
    // clang-format on
    std::vector<std::future<std::string>> results;
    for (const Row& row : rows) {
        results.push_back(std::async(std::launch::async, [&row] {
            RawServer server(row.responder);
            Text headers = row.headers != nullptr ? row.headers : "";
            WebRequestArgs args = row.args;
            args.headers = &headers;
            const RequestObjectRef object = NewObject();
            if (!row.timeouts.empty()) {
                object->SetTimeouts(row.timeouts[0], row.timeouts[1], row.timeouts[2],
                                    row.timeouts[3]);
                args.timeoutSeconds = -1;
                args.requestObject = &object;
            }
            const Outcome outcome = Fetch(server.Url(row.path), args);
            const std::vector<std::string> requests = server.Requests();
            if (outcome.elapsed > milliseconds(row.withinMs) || requests.size() != row.requests) {
                return std::to_string(outcome.elapsed.count()) + " ms, " +
                       std::to_string(requests.size()) + " requests";
            }
            if (getenv("SHOWT"))
                fprintf(stderr, "%s %ld\n", row.name, (long)outcome.elapsed.count());
            return Unmet(outcome.text, row.want) + Unmet(requests.back(), row.sent);
        }));
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(results[i].get(), "") << rows[i].name;
    }
    // Cookies are for the origin they were given by, not for another host or port.
    ASSERT_EQ(other.Requests().size(), 2u);
    EXPECT_EQ(Unmet(other.Requests()[0] + other.Requests()[1], {"!Cookie"}), "");
}

// One object, several requests: nothing of one answer may show in the next.
TEST_F(Wire, AnswersStayWithTheirRequest) {
    // An answer that may carry no body but does (to a HEAD, a 204): the bytes are not read and
    // do not spill into the next request on the same object.
    RawServer stray([](Connection& c, const std::string& request) {
        if (request.find(" /none ") == std::string::npos) {
            c.Send(OkResponse(request.starts_with("HEAD") ? "stray" : "real"));
        } else if (c.Send("HTTP/1.1 204 No Content\r\n\r\n") && c.ReadRequest()) {
            c.Send("stray" + OkResponse("real"));  // late, in front of the next answer
        }
    });
    for (const auto& [method, path, first] :
         {std::tuple{2, "/", "|200||Content-Length: 5"}, {0, "/none", "|204||"}}) {
        const RequestObjectRef object = NewObject();
        EXPECT_EQ(Fetch(stray.Url(path), {.method = method, .requestObject = &object}).text, first);
        EXPECT_EQ(Fetch(stray.Url(), {.timeoutSeconds = 2, .requestObject = &object}).text,
                  "real|200||Content-Length: 4")
            << path;
    }
    // A failed Send after a good one on the same opened request reports nothing of the good one.
    const RequestObjectRef object = NewObject();
    {
        RawServer once(ReplyWith(OkResponse("real")));
        ASSERT_TRUE(object->Open("GET", once.Url(), false));
        ASSERT_TRUE(object->Send(std::string_view()));
    }
    EXPECT_FALSE(object->Send(std::string_view()));
    EXPECT_EQ(object->GetAllResponseHeaders() + std::to_string(object->Status()) +
                  std::to_string(object->ResponseBody().size()),
              "00");
}

TEST_F(Wire, AbandonedTransfersEndAtOnceAndCloseTheirConnection) {
    std::atomic<bool> received{false};
    std::promise<void> closed;
    RawServer server([&](Connection& c, const std::string&) {
        received = true;
        c.HoldUntilPeerCloses();
        closed.set_value();
    });
    SetThreadAbandonCheck([&received] { return received.load(); });
    const Outcome outcome = Fetch(server.Url(), {.timeoutSeconds = 60});
    EXPECT_EQ(Unmet(outcome.text, kFailed), "");
    EXPECT_LT(outcome.elapsed, std::chrono::seconds(10));
    EXPECT_EQ(closed.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    // Given up before it starts, a transfer sends nothing.
    EXPECT_EQ(Unmet(Fetch(server.Url()).text, kFailed), "");
    SetThreadAbandonCheck({});
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(Wire, ProxiesFromTheEnvironmentAndCredentialsForTheProxyOnly) {
    RawServer proxy(ReplyWith(OkResponse("from proxy")));
    const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.Port());
    ::setenv("http_proxy", ("http://" + proxyAddress).c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(Unmet(Fetch("http://provider.example/shorten?x=1").text, {"^from proxy|200|"}), "");
    RawServer origin(ReplyWith(OkResponse("from origin")));
    ::setenv("no_proxy", "127.0.0.1", 1);  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(Unmet(Fetch(origin.Url("/direct")).text, {"^from origin|"}), "");
    // A named proxy is used even for hosts that the environment would send direct.
    ::setenv("no_proxy", "*", 1);  // NOLINT(concurrency-mt-unsafe)
    WebRequestArgs args{.proxy = proxyAddress, .proxyUser = "user", .proxyPassword = "pass"};
    EXPECT_EQ(Unmet(Fetch("http://provider.example/a", args).text, {"^from proxy|"}), "");
    const std::string credentials = "\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n";
    ASSERT_EQ(proxy.Requests().size(), 2u);
    EXPECT_EQ(Unmet(proxy.Requests()[0], {"^GET http://provider.example/shorten?x=1 HTTP/1.1\r\n"}),
              "");
    EXPECT_EQ(Unmet(proxy.Requests()[1], {credentials}), "");

    // Through a CONNECT tunnel the origin reads the decrypted request: it must not hold the
    // credentials, and the proxy gets none of the request's own lines.
    const TlsIdentity identity = TlsIdentity::SelfSigned();
    RawServer tlsOrigin(ReplyWith(OkResponse("secret")), &identity);
    RawServer tunnel(TunnelTo(tlsOrigin.Port()));
    args.proxy = "127.0.0.1:" + std::to_string(tunnel.Port());
    EXPECT_EQ(Fetch("https://provider.example/b", args).text, "secret|200||Content-Length: 6");
    ASSERT_EQ(tunnel.Requests().size(), 1u);
    EXPECT_EQ(Unmet(tunnel.Requests()[0], {"^CONNECT provider.example:443 HTTP/1.1\r\n",
                                           credentials, "!Referer", "!User-Agent: Mozilla"}),
              "");
    ASSERT_EQ(tlsOrigin.Requests().size(), 1u);
    EXPECT_EQ(Unmet(tlsOrigin.Requests()[0],
                    {"^GET /b HTTP/1.1\r\nHost: provider.example\r\n", "!Proxy-Authorization"}),
              "");

    // A named proxy without a port is on the HTTP port (binding it needs the right to).
    RawServer port80(ReplyWith(OkResponse("from port 80")), nullptr, 80);
    if (port80.Port() == 80) {
        EXPECT_EQ(Unmet(Fetch("http://provider.example/c", {.proxy = "127.0.0.1"}).text,
                        {"^from port 80|"}),
                  "");
    }
}

TEST_F(Wire, CertificateFlagsIgnoreOnlyWhatTheyName) {
    struct Case {
        CertificateSpec spec;
        int tooFew;
        int enough;
    };
    const int ca = kIgnoreUnknownCa;
    // clang-format off
    const std::vector<Case> cases = {
        {{}, 0, ca},
        {{.altName = "DNS:wrong.example"}, ca, ca | kIgnoreWrongHostName},
        {{.validFromDays = -10, .validUntilDays = -1}, ca, ca | kIgnoreInvalidDate},
        {{.validFromDays = 5, .validUntilDays = 10}, ca | kIgnoreWrongUsage | kIgnoreWrongHostName,
         ca | kIgnoreInvalidDate},
        {{.serverUsage = false}, ca, ca | kIgnoreWrongUsage},
    };
    // clang-format on
    std::vector<std::future<void>> done;
    for (const Case& c : cases) {
        done.push_back(std::async(std::launch::async, [&c] {
            const TlsIdentity identity = TlsIdentity::SelfSigned(c.spec);
            ASSERT_NE(identity.Context(), nullptr);
            RawServer server(ReplyWith(OkResponse("tls")), &identity);
            const RequestObjectRef object = NewObject();
            // Back to strict at the end: a connection accepted under the lenient flags is not
            // reused.
            for (const auto& [flags, accepted] :
                 {std::pair{c.tooFew, false}, {c.enough, true}, {c.tooFew, false}}) {
                EXPECT_TRUE(object->Option(kOptionSslErrorIgnoreFlags, flags));
                ASSERT_TRUE(object->Open("GET", server.Url(), false));
                EXPECT_EQ(object->Send(std::string_view()), accepted) << c.enough;
                EXPECT_EQ(object->Status(), accepted ? 200 : 0);
            }
            // WebRequest ignores all four kinds.
            EXPECT_EQ(Unmet(Fetch(server.Url()).text, {"^tls|200|"}), "");
        }));
    }
    done.clear();  // each future waits for its case
    EXPECT_FALSE(NewObject()->Option(kOptionSslErrorIgnoreFlags, 0x0001));
}

TEST_F(Wire, ObjectRefusesWhatItCannotDo) {
    const RequestObjectRef object = NewObject();
    EXPECT_FALSE(object->Send(std::string_view("x")));
    EXPECT_FALSE(object->Open("GET", "ftp://127.0.0.1/file", false));
    EXPECT_FALSE(object->Send(std::string_view("x")));
    EXPECT_FALSE(object->Open("GET", "no url at all", false));
    EXPECT_FALSE(object->Open("GET", "http://127.0.0.1/", true));
    EXPECT_FALSE(object->Open("BAD METHOD", "http://127.0.0.1/", false));
    EXPECT_FALSE(object->Option(99, 1));
    EXPECT_FALSE(object->SetProxy(5, "p:1"));
    EXPECT_FALSE(object->SetProxy(kProxySettingNamed, ""));
    EXPECT_EQ(object->GetAllResponseHeaders() + std::to_string(object->Status()), "0");
    EXPECT_TRUE(object->ResponseBody().empty());
    // Control bytes or a cut double-byte character would become or break header lines (the URL
    // is the default Referer): nothing of such a call goes out.
    RawServer server(ReplyWith(OkResponse("sent")));
    for (const char* tail :
         {"\r\nX-Evil: 1", "\n", "\t", "\x01", "\x7F", "\xD6", "a\xD6\xD0\x81"}) {
        EXPECT_FALSE(object->Open("GET", server.Url("/") + tail, false)) << tail;
        EXPECT_EQ(Unmet(Fetch(server.Url("/") + tail).text, kFailed), "");
    }
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace tarnwick
