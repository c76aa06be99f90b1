// What every request object must do under WebRequest, held against real sockets on 127.0.0.1:
// the libcurl object on Linux, the system's WinHttp.WinHttpRequest.5.1 on Windows. A row where
// the system object differs by design says so, and why.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/compress.h"
#include "tests/support/raw_server.h"
#include "tests/web/wire_outcome.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

using namespace test;
using std::chrono::milliseconds;

constexpr bool kSystemObject = TARNWICK_TEST_SYSTEM_OBJECT;

std::string Redirect(const std::string& status, const std::string& location) {
    return "HTTP/1.1 " + status + "\r\nLocation: " + location +
           "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

std::string RequestPath(const std::string& request) {
    const std::size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
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
    std::optional<std::tuple<int, int, int, int>> objectTimeouts = {};  // on an object of its own
    // The bytes the body must be, where the want does not spell them: made on first use.
    const std::string& (*body)() = nullptr;
};

struct Row {
    const char* name;
    Responder responder;
    Wants want;  // on the outcome
    Options with = {};
    // Where the system object differs by design: why, and what it does instead (nothing: the
    // row is not run there).
    const char* systemDiffers = nullptr;
    Wants systemWant = {};
    Wants systemSent = {};
};

// Sends and holds the connection; an endless body for a chunked head.
Responder Holding(const std::string& sent) {
    return [=](Connection& c, const std::string&) {
        for (bool open = c.Send(sent); open && sent.ends_with("chunked\r\n\r\n");) {
            open = c.Send("10000\r\n" + std::string(std::size_t{64} * 1024, 'e') + "\r\n");
        }
        c.HoldUntilPeerCloses();
    };
}

Responder Coded(const std::string& coding, std::function<std::string()> sent) {
    return [=](Connection& c, const std::string&) {
        c.Send(OkResponse(sent(), "Content-Encoding: " + coding + "\r\n"));
        c.CloseWrite();
    };
}

// Redirects by path; "/away" leads to the same server under another host name.
void Route(Connection& connection, const std::string& request) {
    const std::size_t portAt = request.find("\r\nHost: 127.0.0.1:");
    const std::string port =
        portAt == std::string::npos
            ? ""
            : request.substr(portAt + 18, request.find('\r', portAt + 2) - (portAt + 18));
    const std::map<std::string, std::string> replies = {
        {"/start", Redirect("302 Found\r\nSet-Cookie: hop=1", "/final")},
        {"/final", OkResponse("done", "X-Final: 1\r\n")},
        {"/interim",
         "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" + OkResponse("done", "X-Final: 1\r\n")},
        {"/301", Redirect("301 Moved Permanently", "/final")},
        {"/303", Redirect("303 See Other", "/final")},
        {"/307", Redirect("307 Temporary Redirect", "/final")},
        {"/308", Redirect("308 Permanent Redirect", "/final")},
        {"/away", Redirect("302 Found", "http://localhost:" + port + "/landing")},
        {"/landing", OkResponse("elsewhere")},
        {"/loop", Redirect("302 Found", "/loop")},
        {"/ftp", Redirect("301 Moved", "ftp://127.0.0.1/file")},
        {"/no-url", Redirect("302 Found", "\v\f")},  // blank to libcurl: no URL at all
    };
    const auto reply = replies.find(RequestPath(request));
    connection.Send(reply != replies.end() ? reply->second : Redirect("404 Not Found", ""));
    connection.CloseWrite();
}

// 80 000 bytes that repeat 20 000 back, also across the decoder's 64 KiB steps.
const std::string& Plain() {
    static const std::string text = [] {
        std::string part;
        for (int i = 0; part.size() < 20000; ++i) {
            part += std::to_string(i * 7919 % 10007) + ",";
        }
        return part + part + part + part;
    }();
    return text;
}
const std::string& PlainTwice() {
    static const std::string text = Plain() + Plain();
    return text;
}
const std::string& Gzip() {
    static const std::string gzip = Compress(Plain());
    return gzip;
}
const std::string& Corrupt() {
    static const std::string corrupt("\x1f\x8b\x08\x00garbage", 11);
    return corrupt;
}
// Too large once decoded.
const std::string& Bomb() {
    static const std::string bomb = Compress(std::string(std::size_t{65} << 20, '\0'));
    return bomb;
}

const std::vector<Row>& Rows() {
    const Responder hello = ReplyWith(OkResponse("hello", "Set-Cookie: s=1; path=/\r\n"));
    const Responder ok = Holding(OkResponse("ok"));
    // A head announcing a body that never comes: only a method that expects none returns.
    const Responder head = Holding("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    const Responder slow = [](Connection& c, const std::string&) {
        c.HoldUntilPeerCloses(1200);
        c.Send(OkResponse("slow", "Connection: close\r\n"));
        c.CloseWrite();
    };
    const std::string lines =
        "Accept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE "
        "9.0; Windows NT 6.1)\r\n";
    const std::string referer = "Accept: */*\r\nReferer: http://127.0.0.1:PORT/page?q=1\r\n";
    // Only a coding the request offered is undone; what was not offered, or does not decode
    // (corrupt, or too large once decoded), comes as it came.
    const auto gzip = [] { return Gzip(); };
    const WebRequestArgs post{.method = kPostMethod, .bodyText = "a=1"};
    const WebRequestArgs quick{.timeoutSeconds = 1};  // 1 s idle, 4 s in all
    // Wine's object, once aborted, returns only at the end of its wait's second.
    const int idleBoundMs = kSystemObject ? 6500 : 3000;
    const char* gz = "Accept-Encoding: gzip";
    const Wants coming = {"|200|"};
    // Where the system object differs.
    const char* ownLines =
        "it puts Host, the body's length and its Connection line after the caller's lines";
    const char* postRedirect = "it fails or stops on a redirected POST, or loses its body (Wine)";
    const char* unfollowable = "it asks the first server for a Location it cannot follow (Wine)";
    // clang-format off
    static const std::vector<Row> rows = {
        {"GET", hello, {"=hello|200|s=1|Content-Length: 5\r\nSet-Cookie: s=1; path=/"}, {.path = "/page?q=1",
          .sent = {"=GET /page?q=1 HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n" + referer + lines + "\r\n"}},
         ownLines, {"=hello|200|s=1|Content-Length: 5\r\nSet-Cookie: s=1; path=/"},
         {"^GET /page?q=1 HTTP/1.1\r\n" + referer + lines, "\r\nHost: 127.0.0.1:PORT\r\n"}},
        {"POST", hello, {"^hello|200|s=1; k=v|"}, {.path = "/page?q=1", .args = {.method = kPostMethod, .bodyText = "url=x"},
          .sent = {"=POST /page?q=1 HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nCookie: k=v\r\n" + referer + lines +
                   "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 5\r\n\r\nurl=x"}, .cookies = "k=v"},
         ownLines, {"^hello|200|s=1; k=v|"}, {"^POST /page?q=1 HTTP/1.1\r\nCookie: k=v\r\n" + referer + lines +
          "Content-Type: application/x-www-form-urlencoded\r\n", "\r\nContent-Length: 5\r\n", "$\r\n\r\nurl=x"}},
        // A large body still goes without "Expect: 100-continue".
        {"2 MiB", hello, {"^hello|"}, {.args = {.method = kPostMethod, .bodyBytes = ByteSet(2 << 20, 'z')},
          .sent = {"!Expect", "\r\nContent-Length: 2097152\r\n", "\r\n\r\nzzz", "$" + std::string(999, 'z')}}},
        // The lines handed in go first, in their order; the defaults fill in what they lack.
        // Nothing that would break or forge a line goes out, nor a second body length.
        {"lines", hello, {"^hello|"},
         {.sent = {"=GET / HTTP/1.1\r\nHost: a:8080\r\nCookie:\r\nX-Empty:\r\naccept: text/html\r\nAccept: a/b\r\n"
                   "User-Agent: me\r\nX-Bytes: \xD6\xD0\r\nReferer: x\r\nAccept-Language: zh-cn\r\n\r\n"},
          .headers = "Host: a:8080\r\nX-Empty:\r\n\r\naccept: text/html\r\nAccept: a/b\r\nUser-Agent: me\r\nX-Bytes: "
                     "\xD6\xD0\r\nnocolon\r\n: v\r\nBad Name: v\r\nX-Split: a\nEvil: 1\r\nContent-Length: 9\r\n"
                     "Transfer-Encoding: chunked\r\nReferer: x", .cookies = ""},
         "it puts its own lines among the caller's, keeps one line of a name, and sends a value's "
         "non-ASCII bytes as UTF-8 (Wine)", {"^hello|"}, {"\r\nHost: a:8080\r\n", "\r\nAccept: a/b\r\n",
          "\r\nUser-Agent: me\r\n", "\r\nReferer: x\r\n", "!nocolon", "!Bad", "!Evil", "!chunked", "!: 9"}},
        // The type marker is case-sensitive, but a POST's lower-case one is respelled.
        {"content-type", hello, {"^hello|"}, {.args = {.method = kPostMethod}, .sent = {"\r\nContent-Type: text/plain\r\n",
          "!x-www-form", "!content-type"}, .headers = "content-type: text/plain"}},
        // The bytes win over the text, and go as they are.
        {"bytes", hello, {"^hello|"}, {.args = {.method = kPostMethod, .bodyText = "t", .bodyBytes = {0xD6, 0, 0xD0, 0x0D, 0x0A}},
          .sent = {"$" + std::string("\r\n\r\n\xD6\0\xD0\r\n", 9)}}},
        {"HEAD", head, {"=|200||Content-Length: 100"}, {"/h", {.method = kHeadMethod, .timeoutSeconds = 1}, {"^HEAD /h ", "$\r\n\r\n"}}},
        {"empty POST", ok, {"^ok|"}, {.args = {.method = kPostMethod}, .sent = {"\r\nContent-Length: 0\r\n", "$\r\n\r\n"}}},
        // Text goes out as UTF-8, and the URL is escaped.
        {"UTF-8", ok, {"^ok|"}, {"/a b/\xD6\xD0?q=\xD6\xD0", {.method = kPostMethod, .bodyText = "\xD6\xD0=1"},
          {"^POST /a%20b/%E4%B8%AD?q=%E4%B8%AD HTTP/1.1\r\n", "$\r\n\r\n\xE4\xB8\xAD=1"}}},
        {"printable bytes as they are", ok, {"^ok|"}, {"/!~\x80" "A", {}, {"^GET /!~%E2%82%ACA HTTP"}}},
        // Time-outs of 0 set no limit at all, and a send time-out limits sending only: an answer
        // after more than a second comes. So it does where the object's own time-outs stand,
        // and where the caller asks for the default.
        {"no time-outs", slow, {"^slow|200|"}, {.args = {.timeoutSeconds = -1}, .objectTimeouts = {{0, 0, 1, 0}}}},
        {"the object's own time-outs", slow, {"^slow|200|"}, {.args = {.timeoutSeconds = -1}}},
        {"the default time-out", slow, {"^slow|200|"}, {.args = {.timeoutSeconds = 0}}},
        {"no answer", Holding(""), kFailed, {.args = quick, .withinMs = idleBoundMs}},
        {"stall mid-body", Holding("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), kFailed,
         {.args = quick, .withinMs = idleBoundMs}},
        // Bytes of the body keep it from idling: the overall deadline ends it.
        {"body dripping, a byte each 50 ms", [](Connection& c, const std::string&) {
             for (bool open = c.Send("HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\n"); open; open = c.Send("d")) {
                 c.HoldUntilPeerCloses(50);
             }
         }, kFailed, {.args = quick, .withinMs = idleBoundMs + 3000}},
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
        {"announced body too large", Holding("HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\nabc"), kFailed},
        {"endless chunked body", Holding("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"), kFailed,
         {.withinMs = 30000}},
        {"NUL bytes", ReplyWith(OkResponse(std::string("a\0b\0", 4))), {"=" + std::string("a\0b\0|200||Content-Length: 4", 27)}},
        {"not found", ReplyWith("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"), {"=gone|404||Content-Length: 4"}},
        // Only the first pair of a "Set-Cookie" line, spelled so, is a cookie.
        {"cookies", ReplyWith(OkResponse("", "Set-Cookie: a=1; path=/\r\nset-cookie: z=9\r\nSet-Cookie: b=2\r\n")),
         {"^|200|a=1; b=2|Content-Length: 0\r\nSet-Cookie: a=1; path=/\r\nset-cookie: z=9\r\n"}},
        {"gzip", Coded("gzip", gzip), {"|200||", "Content-Encoding: gzip"}, {.headers = "Accept-Encoding: gzip, deflate", .body = Plain}},
        // Codings named on two lines are undone in turn.
        {"deflate, then gzip", [](Connection& c, const std::string&) {
             c.Send(OkResponse(Compress(Compress(Plain(), 15)), "Content-Encoding: deflate\r\nContent-Encoding: gzip\r\n"));
             c.CloseWrite();
         }, coming, {.headers = "Accept-Encoding: gzip, deflate", .body = Plain}},
        {"zlib deflate", Coded("deflate", [] { return Compress(Plain(), 15); }), coming,
         {.headers = "Accept-Encoding: gzip, deflate", .body = Plain}},
        {"raw deflate", Coded("deflate", [] { return Compress(Plain(), -15); }), coming, {.headers = "Accept-Encoding: deflate", .body = Plain}},
        {"offered, not coded", [](Connection& c, const std::string&) { c.Send(OkResponse(Gzip())); c.CloseWrite(); },
         coming, {.headers = gz, .body = Gzip}},
        {"coded, not offered", Coded("gzip", gzip), coming, {.body = Gzip}},
        {"offered with q=0.5", Coded("gzip", gzip), coming, {.headers = "Accept-Encoding: gzip;q=0.5;level=1", .body = Plain}},
        {"refused with q=0", Coded("gzip", gzip), coming, {.headers = "Accept-Encoding: gzip;q=0.000", .body = Gzip}},
        {"x-gzip is gzip", Coded("x-gzip", gzip), coming, {.headers = gz, .body = Plain}},
        {"identity", Coded("gzip, identity", gzip), coming, {.headers = gz, .body = Plain}},
        // A coding it cannot undo under one it can: the whole comes as it came.
        {"unknown under gzip", Coded("br, gzip", gzip), coming, {.headers = "Accept-Encoding: gzip, br", .body = Gzip}},
        {"two gzip members", Coded("gzip", [] { return Gzip() + Gzip(); }), coming, {.headers = gz, .body = PlainTwice}},
        {"corrupt", Coded("gzip", Corrupt), coming, {.headers = gz, .body = Corrupt}},
        {"65 MiB once decoded", Coded("gzip", Bomb), coming, {.headers = gz, .body = Bomb}},
        {"followed", Route, {"=done|200|k=v|Content-Length: 4\r\nX-Final: 1"}, {.path = "/start",
          .sent = {"^GET /final HTTP/1.1\r\n", "\r\nCookie: k=v\r\n"}, .requests = 2, .cookies = "k=v"}},
        {"an interim answer first", Route, {"=done|200||Content-Length: 4\r\nX-Final: 1"}, {"/interim"},
         "it fails on a 100 Continue before the answer (Wine)"},
        {"not followed", Route, {"=|302|hop=1; k=v|Set-Cookie: hop=1\r\nLocation: /final\r\nContent-Length: 0\r\nConnection: close"},
         {.path = "/start", .args = {.noRedirect = true}, .sent = {"^GET /start "}, .cookies = "k=v"}},
        {"302 turns POST into GET", Route, {"^done|"}, {"/start", post, {"^GET /final HTTP/1.1\r\n", "!Content-"}, 2},
         postRedirect},
        {"301 turns POST into GET", Route, {"^done|"}, {"/301", post, {"^GET /final "}, 2}, postRedirect},
        {"303 turns POST into GET", Route, {"^done|"}, {"/303", post, {"^GET /final ", "!Content-"}, 2}, postRedirect},
        {"307 repeats POST", Route, {"^done|"}, {"/307", post, {"^POST /final ", "Type: application/x-www-form-",
          "$\r\n\r\na=1"}, 2}, postRedirect},
        {"308 repeats POST", Route, {"^done|"}, {"/308", post, {"^POST /final "}, 2}, postRedirect},
        // Cookies are for the origin they were given by, not for another host.
        {"to another host", Route, {"^elsewhere|200|"}, {.path = "/away", .sent = {"^GET /landing ", "!Cookie"},
          .requests = 2, .cookies = "k=v"}, "it keeps the caller's lines, the Cookie line too, on a redirect",
         {"^elsewhere|200|"}, {"^GET /landing "}},
        {"loop", Route, kFailed, {.path = "/loop", .requests = 1 + 10}},  // ten redirects at most
        {"to ftp", Route, kFailed, {"/ftp"}, unfollowable}, {"to no URL", Route, kFailed, {"/no-url"}, unfollowable},
    };
    // clang-format on
    return rows;
}

milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

// The first expectation of the row that is not met, or "".
std::string RunRow(const Row& row) {
    const Options& with = row.with;
    RawServer server(row.responder);
    Text headers = with.headers != nullptr ? with.headers : "";
    Text cookies = with.cookies != nullptr ? with.cookies : "";
    WebRequestArgs args = with.args;
    args.headers = &headers;
    args.sendCookies = with.cookies != nullptr ? &cookies : nullptr;
    const ComScope com;
    RequestObjectRef object;
    if (with.objectTimeouts) {
        object = NewObject();
        std::apply([&object](auto... ms) { object->SetTimeouts(ms...); }, *with.objectTimeouts);
        args.requestObject = &object;
    }
    if (with.body != nullptr) {
        with.body();  // made before the clock starts, and before the object watches the memory
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string outcome = Fetch(server.Url(with.path), args);
    const std::vector<std::string> requests = server.Requests();
    if (Since(start) > milliseconds(with.withinMs) || requests.size() != with.requests) {
        return std::to_string(Since(start).count()) + " ms, " + std::to_string(requests.size()) +
               " requests\n  came: " + outcome.substr(0, 300);
    }
    std::string last = requests.empty() ? "" : requests.back();
    const std::string port = ":" + std::to_string(server.Port());
    for (std::size_t at = 0; (at = last.find(port, at)) != std::string::npos;) {
        last.replace(at, port.size(), ":PORT");
    }
    const bool system = kSystemObject && row.systemDiffers != nullptr;
    if (with.body != nullptr && !outcome.starts_with(with.body() + "|")) {
        return "the body: " + outcome.substr(0, 200);
    }
    const std::string unmet = Unmet(outcome, system ? row.systemWant : row.want) +
                              Unmet(last, system ? row.systemSent : with.sent);
    return unmet.empty() ? "" : unmet + "\n  came: " + outcome.substr(0, 300) + "\n  sent: " + last;
}

class Wire : public testing::TestWithParam<std::size_t> {};

TEST_P(Wire, Row) {
    const Row& row = Rows()[GetParam()];
    if (kSystemObject && row.systemDiffers != nullptr && row.systemWant.empty()) {
        GTEST_SKIP() << row.systemDiffers;
    }
    EXPECT_EQ(RunRow(row), "");
}

// A failure names its row.
std::string RowName(const testing::TestParamInfo<std::size_t>& row) {
    std::string name = Rows()[row.param].name;
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(RequestObject, Wire, testing::Range(std::size_t{0}, Rows().size()),
                         RowName);

// One object, one request after another: nothing of an answer may show in the next, and bytes
// a server sends after an answer without a body are never read as the next answer.
TEST(RequestObject, AnswersStayWithTheirRequest) {
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
    const ComScope com;
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
        EXPECT_EQ(Unmet(once.Requests().back(),
                        {"^GET /two HTTP/1.1\r\n", "\r\nX-Two: 2\r\n", "!X-Once"}),
                  "");
    }
    EXPECT_FALSE(object->Send(std::string_view()));
    EXPECT_EQ(answer(), "00");
}

}  // namespace
}  // namespace tarnwick
