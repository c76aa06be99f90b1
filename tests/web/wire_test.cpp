// WebRequest and the libcurl object against real sockets on 127.0.0.1: the exact bytes on the
// wire, methods, redirects, hostile servers and proxies.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/compress.h"
#include "tests/support/raw_server.h"
#include "tests/web/tls_origin.h"
#include "web/com.h"
#include "web/curl/module.h"
#include "web/curl/request.h"
#include "web/web_request.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

using namespace test;
using std::chrono::milliseconds;
using Wants = std::vector<std::string>;

const Wants kFailed = {"=|0||"};

// The first expectation that text does not meet, or "" when it meets them all. "=x": text is
// x; "^x": starts with x; "$x": ends with x; "!x": holds no x; anything else: holds it.
std::string Unmet(std::string_view text, const Wants& wants) {
    for (const std::string& want : wants) {
        const std::string_view x = std::string_view(want).substr(1);
        const bool met = want[0] == '='   ? text == x
                         : want[0] == '^' ? text.starts_with(x)
                         : want[0] == '$' ? text.ends_with(x)
                         : want[0] == '!' ? text.find(x) == std::string_view::npos
                                          : text.find(want) != std::string_view::npos;
        if (!met) {
            return want;
        }
    }
    return "";
}

// "body|status|cookies|headers" of one WebRequest.
std::string Fetch(std::string_view url, WebRequestArgs args = {}) {
    Text headers = "unset";
    Text cookies = "unset";
    int status = -1;
    args.responseHeaders = &headers;
    args.status = &status;
    args.receivedCookies = &cookies;
    const ByteSet body = WebRequest(url, args);
    return std::string(body.begin(), body.end()) + "|" + std::to_string(status) + "|" + cookies +
           "|" + headers;
}

milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

std::string Redirect(const std::string& status, const std::string& location) {
    return "HTTP/1.1 " + status + "\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

std::string RequestPath(const std::string& request) {
    const std::size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

RequestObjectRef NewObject() {
    const ComScope com;
    RequestObjectRef object;
    EXPECT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    object->SetTimeouts(5000, 5000, 5000, 5000);
    return object;
}

// One WebRequest against a server of its own: what the row sets beyond the answer.
struct Options {
    std::string path = "/";
    WebRequestArgs args = {};
    Wants sent = {};  // on the last request the server read, its port written as PORT
    std::size_t requests = 1;
    const char* headers = nullptr;  // handed in
    const char* cookies = nullptr;  // sent
    int withinMs = 10000;
};

struct Row {
    const char* name;
    Responder responder;
    Wants want;  // on the outcome
    Options with = {};
};

// The first expectation of the row that is not met, or "".
std::string RunRow(const Row& row) {
    const Options& with = row.with;
    RawServer server(row.responder);
    Text headers = with.headers != nullptr ? with.headers : "";
    Text cookies = with.cookies != nullptr ? with.cookies : "";
    WebRequestArgs args = with.args;
    args.headers = &headers;
    args.sendCookies = with.cookies != nullptr ? &cookies : nullptr;
    const auto start = std::chrono::steady_clock::now();
    const std::string outcome = Fetch(server.Url(with.path), args);
    const std::vector<std::string> requests = server.Requests();
    if (Since(start) > milliseconds(with.withinMs) || requests.size() != with.requests) {
        return std::to_string(Since(start).count()) + " ms, " + std::to_string(requests.size());
    }
    std::string last = requests.empty() ? "" : requests.back();
    const std::string port = ":" + std::to_string(server.Port());
    for (std::size_t at = 0; (at = last.find(port, at)) != std::string::npos;) {
        last.replace(at, port.size(), ":PORT");
    }
    return Unmet(outcome, row.want) + Unmet(last, with.sent);
}

// Every row at once against a server of its own; each must end within its bound.
TEST(Wire, RequestsAndAnswersOddHostileAndRedirected) {
    const Responder hello = ReplyWith(OkResponse("hello", "Set-Cookie: s=1; path=/\r\n"));
    // Sends and holds the connection; an endless body for a chunked head.
    auto holding = [](const std::string& sent) -> Responder {
        return [=](Connection& c, const std::string&) {
            for (bool open = c.Send(sent); open && sent.ends_with("chunked\r\n\r\n");) {
                open = c.Send("10000\r\n" + std::string(std::size_t{64} * 1024, 'e') + "\r\n");
            }
            c.HoldUntilPeerCloses();
        };
    };
    const Responder ok = holding(OkResponse("ok"));
    // A head announcing a body that never comes: only a method that expects none returns.
    const Responder head = holding("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    const std::string lines =
        "Accept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE "
        "9.0; Windows NT 6.1)\r\n";
    const std::string referer = "Accept: */*\r\nReferer: http://127.0.0.1:PORT/page?q=1\r\n";
    // Only a coding the request offered is undone; what was not offered, or does not decode
    // (corrupt, or too large once decoded), comes as it came.
    // Repeats 20 000 bytes back, also across the decoder's 64 KiB steps: they need the whole
    // window.
    std::string text;
    for (int i = 0; text.size() < 20000; ++i) {
        text += std::to_string(i * 7919 % 10007) + ",";
    }
    text += text + text + text;
    const std::string gzip = Compress(text);
    const std::string corrupt("\x1f\x8b\x08\x00garbage", 11);
    const std::string bomb = Compress(std::string(std::size_t{65} << 20, '\0'));
    auto coded = [](const std::string& coding, const std::string& sent) {
        return ReplyWith(OkResponse(sent, "Content-Encoding: " + coding + "\r\n"));
    };
    RawServer other(ReplyWith(OkResponse("elsewhere")));
    const std::map<std::string, std::string> replies = {
        {"/start", Redirect("302 Found\r\nSet-Cookie: hop=1", "/final")},
        {"/final",
         "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" + OkResponse("done", "X-Final: 1\r\n")},
        {"/301", Redirect("301 Moved Permanently", "/final")},
        {"/303", Redirect("303 See Other", "/final")},
        {"/307", Redirect("307 Temporary Redirect", "/final")},
        {"/308", Redirect("308 Permanent Redirect", "/final")},
        {"/away",
         Redirect("302 Found", "http://localhost:" + std::to_string(other.Port()) + "/landing")},
        {"/loop", Redirect("302 Found", "/loop")},
        {"/ftp", Redirect("301 Moved", "ftp://127.0.0.1/file")},
        {"/no-url", Redirect("302 Found", "\v\f")},  // blank to libcurl: no URL at all
    };
    const Responder routes = [&replies](Connection& connection, const std::string& request) {
        const auto reply = replies.find(RequestPath(request));
        connection.Send(reply != replies.end() ? reply->second : Redirect("404 Not Found", ""));
        connection.CloseWrite();
    };
    const WebRequestArgs post{.method = kPostMethod, .bodyText = "a=1"};
    const WebRequestArgs quick{.timeoutSeconds = 1};  // 1 s idle, 4 s in all
    // Time-outs of 0 set no limit at all: an answer after more than a second comes. A
    // send time-out limits sending only.
    const RequestObjectRef patient = NewObject();
    patient->SetTimeouts(0, 0, 1, 0);
    const Responder slow = [](Connection& c, const std::string&) {
        c.HoldUntilPeerCloses(1200);
        c.Send(OkResponse("slow"));
        c.CloseWrite();
    };
    const char* gz = "Accept-Encoding: gzip";
    const Wants asText = {"^" + text + "|200|"};
    const Wants asGzip = {"^" + gzip + "|200|"};
    // clang-format off
    const std::vector<Row> rows = {
        {"GET", hello, {"=hello|200|s=1|Content-Length: 5\r\nSet-Cookie: s=1; path=/"}, {.path = "/page?q=1",
          .sent = {"=GET /page?q=1 HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n" + referer + lines + "\r\n"}}},
        {"POST", hello, {"^hello|200|s=1; k=v|"}, {.path = "/page?q=1", .args = {.method = kPostMethod, .bodyText = "url=x"},
          .sent = {"=POST /page?q=1 HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nCookie: k=v\r\n" + referer + lines +
                   "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 5\r\n\r\nurl=x"}, .cookies = "k=v"}},
        // A large body still goes without "Expect: 100-continue".
        {"2 MiB", hello, {"^hello|"}, {.args = {.method = kPostMethod, .bodyBytes = ByteSet(2 << 20, 'z')},
          .sent = {"!Expect", "\r\nContent-Length: 2097152\r\n\r\nzzz", "$" + std::string(999, 'z')}}},
        // The lines handed in go first, in their order; the defaults fill in what they lack.
        // Nothing that would break or forge a line goes out, nor a second body length.
        {"lines", hello, {"^hello|"},
         {.sent = {"=GET / HTTP/1.1\r\nHost: a:8080\r\nCookie:\r\nX-Empty:\r\naccept: text/html\r\nAccept: a/b\r\n"
                   "User-Agent: me\r\nX-Bytes: \xD6\xD0\r\nReferer: x\r\nAccept-Language: zh-cn\r\n\r\n"},
          .headers = "Host: a:8080\r\nX-Empty:\r\n\r\naccept: text/html\r\nAccept: a/b\r\nUser-Agent: me\r\nX-Bytes: "
                     "\xD6\xD0\r\nnocolon\r\n: v\r\nBad Name: v\r\nX-Split: a\nEvil: 1\r\nContent-Length: 9\r\n"
                     "Transfer-Encoding: chunked\r\nReferer: x", .cookies = ""}},
        // The type marker is case-sensitive, but a POST's lower-case one is respelled.
        {"content-type", hello, {"^hello|"}, {.args = {.method = kPostMethod}, .sent = {"\r\nContent-Type: text/plain\r\n",
          "!x-www-form", "!content-type"}, .headers = "content-type: text/plain"}},
        // The bytes win over the text, and go as they are.
        {"bytes", hello, {"^hello|"}, {.args = {.method = kPostMethod, .bodyText = "t", .bodyBytes = {0xD6, 0, 0xD0}},
          .sent = {"$" + std::string("\r\n\r\n\xD6\0\xD0", 7)}}},
        {"HEAD", head, {"=|200||Content-Length: 100"}, {"/h", {.method = kHeadMethod, .timeoutSeconds = 1}, {"^HEAD /h ", "$\r\n\r\n"}}},
        {"CONNECT", head, {"^|200|"}, {"/", {.method = 7, .timeoutSeconds = 1}, {"^CONNECT 127.0.0.1:PORT HTTP/1.1\r\n"}}},
        {"PUT", ok, {"^ok|200|"}, {"/p", {.method = 3, .bodyText = "data"}, {"^PUT /p ", "!Content-Type",
          "$\r\nContent-Length: 4\r\n\r\ndata"}}},
        {"empty PUT", ok, {"^ok|"}, {.args = {.method = 3}, .sent = {"$\r\nContent-Length: 0\r\n\r\n"}}},
        {"DELETE", ok, {"^ok|"}, {"/d", {.method = 5, .bodyText = "gone"}, {"^DELETE /d ", "$\r\n\r\ngone"}}},
        {"OPTIONS *", ok, {"^ok|"}, {"", {.method = 4}, {"^OPTIONS * HTTP/1.1\r\n"}}},
        {"OPTIONS * before a fragment", ok, {"^ok|"}, {"#f", {.method = 4}, {"^OPTIONS * "}}},
        {"OPTIONS of a path", ok, {"^ok|"}, {"/o", {.method = 4}, {"^OPTIONS /o "}}},
        {"empty POST", ok, {"^ok|"}, {.args = {.method = kPostMethod}, .sent = {"$\r\nContent-Length: 0\r\n\r\n"}}},
        {"GET with body", ok, {"^ok|"}, {"/g", {.bodyText = "q"}, {"^GET /g ", "$\r\n\r\nq"}}},
        // Text goes out as UTF-8, and the URL is escaped.
        {"UTF-8", ok, {"^ok|"}, {"/a b/\xD6\xD0?q=\xD6\xD0", {.method = kPostMethod, .bodyText = "\xD6\xD0=1"},
          {"^POST /a%20b/%E4%B8%AD?q=%E4%B8%AD HTTP/1.1\r\n", "$\r\n\r\n\xE4\xB8\xAD=1"}}},
        {"printable bytes as they are", ok, {"^ok|"}, {"/!~\x80" "A", {}, {"^GET /!~%E2%82%ACA HTTP"}}},
        {"no time-outs", slow, {"^slow|200|"}, {.args = {.timeoutSeconds = -1, .requestObject = &patient}}},
        {"no answer", holding(""), kFailed, {.args = quick, .withinMs = 3000}},
        {"stall mid-body", holding("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), kFailed,
         {.args = quick, .withinMs = 3000}},
        // Bytes of the body keep it from idling: the overall deadline ends it.
        {"body dripping, a byte each 50 ms", [](Connection& c, const std::string&) {
             for (bool open = c.Send("HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\n"); open; open = c.Send("d")) {
                 c.HoldUntilPeerCloses(50);
             }
         }, kFailed, {.args = quick, .withinMs = 6000}},
        // Header lines keep it from idling too.
        {"head dripping, a line each 50 ms", [](Connection& c, const std::string&) {
             bool open = c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n");
             for (int line = 0; open && line < 30; ++line) {
                 c.HoldUntilPeerCloses(50);
                 open = c.Send("X-Drip: 1\r\n");
             }
             c.Send("\r\nok");
             c.CloseWrite();
         }, {"^ok|200|"}, {.args = quick}},
        {"bare line feeds", ReplyWith("HTTP/1.1 200 OK\nContent-Length: 2\nX-Lf: ab\n\nok"), {"=ok|200||Content-Length: 2\r\nX-Lf: ab"}},
        {"empty reply", [](Connection& c, const std::string&) { c.CloseWrite(); }, kFailed},
        {"closed mid-body", ReplyWith(OkResponse(std::string(1000, 'e')).substr(0, 100)), kFailed},
        {"two lengths", ReplyWith("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 5\r\n\r\nhello"), kFailed},
        {"announced body too large", holding("HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\nabc"), kFailed},
        {"endless chunked body", holding("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"), kFailed,
         {.withinMs = 30000}},
        {"NUL bytes", ReplyWith(OkResponse(std::string("a\0b\0", 4))), {"=" + std::string("a\0b\0|200||Content-Length: 4", 27)}},
        // Only the first pair of a "Set-Cookie" line, spelled so, is a cookie.
        {"cookies", ReplyWith(OkResponse("", "Set-Cookie: a=1; path=/\r\nset-cookie: z=9\r\nSet-Cookie: b=2\r\n")),
         {"^|200|a=1; b=2|Content-Length: 0\r\nSet-Cookie: a=1; path=/\r\nset-cookie: z=9\r\n"}},
        {"gzip", coded("gzip", gzip), {"^" + text + "|200||", "Content-Encoding: gzip"},
         {.headers = "Accept-Encoding: gzip, deflate"}},
        // Codings named on two lines are undone in turn.
        {"deflate, then gzip", ReplyWith(OkResponse(Compress(Compress(text, MAX_WBITS)),
                                                      "Content-Encoding: deflate\r\nContent-Encoding: gzip\r\n")),
         asText, {.headers = "Accept-Encoding: gzip, deflate"}},
        {"zlib deflate", coded("deflate", Compress(text, MAX_WBITS)), asText, {.headers = "Accept-Encoding: gzip, deflate"}},
        {"raw deflate", coded("deflate", Compress(text, -MAX_WBITS)), asText, {.headers = "Accept-Encoding: deflate"}},
        {"offered, not coded", ReplyWith(OkResponse(gzip)), asGzip, {.headers = gz}}, {"coded, not offered", coded("gzip", gzip), asGzip},
        {"offered with q=0.5", coded("gzip", gzip), asText, {.headers = "Accept-Encoding: gzip;q=0.5;level=1"}},
        {"refused with q=0", coded("gzip", gzip), asGzip, {.headers = "Accept-Encoding: gzip;q=0.000"}},
        {"x-gzip is gzip", coded("x-gzip", gzip), asText, {.headers = gz}},
        {"identity", coded("gzip, identity", gzip), asText, {.headers = gz}},
        {"two gzip members", coded("gzip", gzip + gzip), {"^" + text + text + "|"}, {.headers = gz}},
        {"corrupt", coded("gzip", corrupt), {"^" + corrupt + "|200|"}, {.headers = gz}},
        {"65 MiB once decoded", coded("gzip", bomb), {"^" + bomb + "|200|"}, {.headers = gz}},
        {"followed", routes, {"=done|200|k=v|Content-Length: 4\r\nX-Final: 1"}, {.path = "/start",
          .sent = {"^GET /final HTTP/1.1\r\n", "\r\nCookie: k=v\r\n"}, .requests = 2, .cookies = "k=v"}},
        {"not followed", routes, {"=|302|hop=1; k=v|Set-Cookie: hop=1\r\nLocation: /final\r\nContent-Length: 0"},
         {.path = "/start", .args = {.noRedirect = true}, .sent = {"^GET /start "}, .cookies = "k=v"}},
        {"302 turns POST into GET", routes, {"^done|"}, {"/start", post, {"^GET /final HTTP/1.1\r\n", "!Content-"}, 2}},
        {"301 turns POST into GET", routes, {"^done|"}, {"/301", post, {"^GET /final "}, 2}},
        {"303 turns POST into GET", routes, {"^done|"}, {"/303", post, {"^GET /final ", "!Content-"}, 2}},
        {"307 repeats POST", routes, {"^done|"}, {"/307", post, {"^POST /final ", "Type: application/x-www-form-",
          "$\r\n\r\na=1"}, 2}},
        {"308 repeats POST", routes, {"^done|"}, {"/308", post, {"^POST /final "}, 2}},
        {"to another host", routes, {"^elsewhere|200|"}, {.path = "/away", .cookies = "k=v"}},
        {"loop", routes, kFailed, {.path = "/loop", .requests = 1 + 10}},  // ten redirects at most
        {"to ftp", routes, kFailed, {"/ftp"}}, {"to no URL", routes, kFailed, {"/no-url"}},
    };
    // clang-format on
    std::vector<std::future<std::string>> results;
    for (const Row& row : rows) {
        results.push_back(std::async(std::launch::async, RunRow, std::cref(row)));
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(results[i].get(), "") << rows[i].name;
    }
    // Cookies are for the origin they were given by, not for another host.
    ASSERT_EQ(other.Requests().size(), 1u);
    EXPECT_EQ(Unmet(other.Requests()[0], {"!Cookie"}), "");
}

// One object, one request after another: nothing of an answer may show in the next, and bytes
// a server sends after an answer without a body are never read as the next answer.
TEST(Wire, AnswersStayWithTheirRequest) {
    // The body an answer without one must not have comes late, once the next request is on its
    // way.
    const std::map<std::string, std::pair<std::string, bool>> replies = {
        {"/first", {OkResponse("first", "X-First: 1\r\n"), false}},
        {"/404", {"HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nother", false}},
        {"/next", {OkResponse("next"), false}},
        {"/head", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", true}},
        {"/204", {"HTTP/1.1 204 No Content\r\n\r\n", true}},
        {"/304", {"HTTP/1.1 304 Not Modified\r\n\r\n", true}}};
    RawServer server([&replies](Connection& connection, const std::string& request) {
        const auto& [answer, bodyComesLate] = replies.at(RequestPath(request));
        if (connection.Send(answer) && bodyComesLate && connection.ReadRequest()) {
            connection.Send(OkResponse("stray"));
        }
    });
    const RequestObjectRef object = NewObject();
    const std::string next = "next|200||Content-Length: 4";
    const std::vector<std::tuple<std::string, int, std::string>> steps = {
        {"/first", kGetMethod, "first|200||Content-Length: 5\r\nX-First: 1"},
        {"/404", kGetMethod, "other|404||Content-Length: 5"},
        {"/head", kHeadMethod, "|200||Content-Length: 5"},
        {"/next", kGetMethod, next},
        {"/204", kGetMethod, "|204||"},
        {"/next", kGetMethod, next},
        {"/304", kGetMethod, "|304||"},
        {"/next", kGetMethod, next},
    };
    for (const auto& [path, method, want] : steps) {
        EXPECT_EQ(Fetch(server.Url(path), {.method = method, .requestObject = &object}), want)
            << path;
    }
    // Open forgets the last answer and the lines set for it; a failed Send after a good one
    // reports nothing of the good one.
    auto answer = [&object] {
        return object->GetAllResponseHeaders() + std::to_string(object->Status()) +
               std::to_string(object->ResponseBody().size());
    };
    {
        RawServer once(ReplyWith(OkResponse("real")));
        Text headers = "X-Once: 1";
        EXPECT_EQ(Fetch(once.Url(), {.headers = &headers, .requestObject = &object}),
                  "real|200||Content-Length: 4");
        ASSERT_TRUE(object->Open("GET", once.Url("/two"), false));
        EXPECT_EQ(answer(), "00");
        object->SetRequestHeader("X-Two", " \t2 ");
        ASSERT_TRUE(object->Send(std::string_view()));
        EXPECT_EQ(once.Requests().back(), "GET /two HTTP/1.1\r\nHost: 127.0.0.1:" +
                                              std::to_string(once.Port()) + "\r\nX-Two: 2\r\n\r\n");
    }
    EXPECT_FALSE(object->Send(std::string_view()));
    EXPECT_EQ(answer(), "00");
}

TEST(Wire, ProxiesFromTheEnvironmentAndCredentialsForTheProxyOnly) {
    RawServer proxy(ReplyWith(OkResponse("from proxy")));
    ::setenv("http_proxy", proxy.Url("").c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(Unmet(Fetch("http://provider.example/shorten?x=1"), {"^from proxy|200|"}), "");
    // The direct setting goes past it.
    RawServer origin(ReplyWith(OkResponse("direct")));
    const RequestObjectRef direct = NewObject();
    direct->SetProxy(kProxySettingDirect, "");
    EXPECT_EQ(Unmet(Fetch(origin.Url(), {.requestObject = &direct}), {"^direct|200|"}), "");
    // A named proxy is used even for hosts that the environment would send direct. Its
    // credentials go to it alone, and to no later request on the object; a CONNECT carries
    // none of the request's own lines.
    ::setenv("no_proxy", "*", 1);  // NOLINT(concurrency-mt-unsafe)
    const RequestObjectRef object = NewObject();
    WebRequestArgs args{.proxy = proxy.Url("").substr(7),
                        .proxyUser = "user",
                        .proxyPassword = "pass",
                        .requestObject = &object};
    EXPECT_EQ(Unmet(Fetch("http://provider.example/a", args), {"^from proxy|"}), "");
    EXPECT_EQ(Unmet(Fetch("https://provider.example/b", args), kFailed), "");
    args.proxyUser.clear();
    EXPECT_EQ(Unmet(Fetch("http://provider.example/c", args), {"^from proxy|"}), "");
    const std::string credentials = "\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n";
    const std::vector<std::string> sent = proxy.Requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(Unmet(sent[0], {"^GET http://provider.example/shorten?x=1 HTTP/1.1\r\n"}), "");
    EXPECT_EQ(Unmet(sent[1], {"^GET http://provider.example/a ", credentials}), "");
    EXPECT_EQ(Unmet(sent[2], {"^CONNECT provider.example:443 HTTP/1.1\r\n", credentials, "!Referer",
                              "!User-Agent: Mozilla"}),
              "");
    EXPECT_EQ(Unmet(sent[3], {"^GET http://provider.example/c ", "!Proxy-Authorization"}), "");
}

// A self-signed certificate for another name, behind a proxy: the object takes it only when told
// to ignore each of its faults, and the proxy hears nothing of the request in the tunnel.
TEST(Wire, CertificateFaultsIgnoredAsToldThroughATunnel) {
    const TlsOrigin origin;
    const TlsOrigin expired(TlsOrigin::kExpired);
    const TlsOrigin strange(TlsOrigin::kUnknownCriticalExtension);
    Text headers = "X-Secret: 1";
    EXPECT_EQ(Fetch("https://origin.test/p", {.headers = &headers, .proxy = origin.Proxy()}),
              "over tls|200||Content-Length: 8\r\nX-Origin: 1");
    ASSERT_EQ(origin.ProxyRequests().size(), 1u);
    EXPECT_EQ(Unmet(origin.ProxyRequests()[0],
                    {"^CONNECT origin.test:443 HTTP/1.1\r\n", "!X-Secret", "!Referer", "!Mozilla"}),
              "");
    ASSERT_EQ(origin.OriginRequests().size(), 1u);
    EXPECT_EQ(Unmet(origin.OriginRequests()[0],
                    {"^GET /p HTTP/1.1\r\nHost: origin.test\r\n", "\r\nX-Secret: 1\r\n"}),
              "");
    const int unknownCaAndName = kIgnoreUnknownCa | kIgnoreWrongHostName;
    const struct {
        int ignored;
        const TlsOrigin& server;
        int status;
    } rows[] = {
        {unknownCaAndName, origin, 200},
        {kIgnoreUnknownCa, origin, 0},
        {kIgnoreWrongHostName | kIgnoreInvalidDate, origin, 0},
        {0, origin, 0},
        {unknownCaAndName, expired, 0},
        {unknownCaAndName | kIgnoreInvalidDate, expired, 200},
        {unknownCaAndName | kIgnoreInvalidDate | kIgnoreWrongUsage, strange, 0},  // not a flag's
    };
    // One object throughout: a connection checked under flags that no longer hold is not used
    // again.
    const RequestObjectRef object = NewObject();
    for (const auto& row : rows) {
        object->SetProxy(kProxySettingNamed, row.server.Proxy());
        object->Option(kOptionSslErrorIgnoreFlags, row.ignored);
        object->Open("GET", "https://origin.test/", false);
        object->Send(std::string_view());
        EXPECT_EQ(object->Status(), row.status) << row.ignored << (&row.server == &expired);
    }
}

TEST(Wire, ObjectRefusesWhatItCannotDo) {
    // Only the module of this build loads: a missing file, no library at all, a library
    // without the entry point and the one built here.
    const std::string_view built = TARNWICK_TEST_HTTP_MODULE;
    for (const char* path :
         {"/nonexistent/tarnwick_http.so", "/etc/hostname", "libz.so.1", built.data()}) {
        EXPECT_EQ(LoadHttpModule(path), path == built ? ProgramHttpModule() : nullptr) << path;
    }
    const RequestObjectRef object = NewObject();
    // In the order called: the list's own order of evaluation is fixed.
    // clang-format off
    const std::vector<bool> refused = {
        object->Status() != 0, object->Send(std::string_view("x")), object->Open("GET", "ftp://127.0.0.1/file", false),
        object->Send(std::string_view("x")), object->Open("GET", "no url at all", false),
        object->Open("GET", "http://127.0.0.1/", true), object->Open("BAD METHOD", "http://127.0.0.1/", false),
        object->Option(99, 1), object->Option(kOptionSslErrorIgnoreFlags, 0x0001), object->SetProxy(5, "p:1"),
        object->SetProxy(kProxySettingNamed, ""), object->Status() != 0,
        !object->GetAllResponseHeaders().empty() || !object->ResponseBody().empty()};
    const std::vector<bool> accepted = {
        object->SetTimeouts(1, 1, 1, 1), object->Open("GET", "http://127.0.0.1/", false),
        object->SetRequestHeader("X", "1"), !object->SetRequestHeader("Bad Name", "1"),
        object->SetRequestHeader("Proxy-Authorization", "x"), object->Option(kOptionEnableRedirects, 0),
        object->Option(kOptionSslErrorIgnoreFlags, kIgnoreUnknownCa)};
    // clang-format on
    EXPECT_EQ(refused, std::vector<bool>(refused.size(), false));
    EXPECT_EQ(accepted, std::vector<bool>(accepted.size(), true));
    // Control bytes or a cut double-byte character would become or break header lines (the URL
    // is the default Referer): nothing of such a call goes out.
    RawServer server(ReplyWith(OkResponse("sent")));
    for (const char* tail :
         {"\r\nX-Evil: 1", "\n", "\t", "\x01", "\x1F", "\x7F", "\xD6", "a\xD6\xD0\x81"}) {
        EXPECT_FALSE(object->Open("GET", server.Url("/") + tail, false)) << tail;
        EXPECT_EQ(Unmet(Fetch(server.Url("/") + tail), kFailed), "");
    }
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace tarnwick
