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
using std::chrono::seconds;

constexpr const char* kDefaultLines =
    "\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT "
    "6.1)\r\n";

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

struct Outcome {
    std::string body;
    Text headers = "unset";
    int status = -1;
    Text cookies = "unset";
    milliseconds elapsed{};
};

Outcome Fetch(std::string_view url, WebRequestArgs args = {}) {
    Outcome outcome;
    args.responseHeaders = &outcome.headers;
    args.status = &outcome.status;
    args.receivedCookies = &outcome.cookies;
    const auto start = std::chrono::steady_clock::now();
    const ByteSet body = WebRequest(url, args);
    outcome.elapsed =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    outcome.body.assign(body.begin(), body.end());
    return outcome;
}

void ExpectFailed(const Outcome& outcome) {
    EXPECT_EQ(outcome.body.size(), 0u);
    EXPECT_EQ(outcome.headers, "");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.cookies, "");
}

std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

std::string BodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

bool Has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
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
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

RequestObjectRef NewObject() {
    RequestObjectRef object;
    EXPECT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    object->SetTimeouts(5000, 5000, 5000, 5000);
    return object;
}

TEST_F(Wire, WebRequestSendsExactlyItsLines) {
    RawServer server(ReplyWith(OkResponse("hello", "Set-Cookie: s=1; path=/\r\n")));
    const std::string host = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
    const std::string url = server.Url("/page?q=1");
    const Outcome outcome = Fetch(url);
    EXPECT_EQ(outcome.body + "|" + std::to_string(outcome.status) + "|" + outcome.cookies,
              "hello|200|s=1");
    EXPECT_EQ(outcome.headers, "Content-Length: 5\r\nSet-Cookie: s=1; path=/");

    Text cookies = "k=v";
    EXPECT_EQ(Fetch(url, {.method = 1, .bodyText = "url=x", .sendCookies = &cookies}).body,
              "hello");
    EXPECT_EQ(cookies, "s=1; k=v");
    // A large body still goes without "Expect: 100-continue".
    EXPECT_EQ(Fetch(url, {.method = 1, .bodyBytes = ByteSet(2 << 20, 'z')}).status, 200);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "GET /page?q=1 HTTP/1.1\r\n" + host + "Accept: */*\r\nReferer: " + url +
                               kDefaultLines + "\r\n");
    EXPECT_EQ(requests[1], "POST /page?q=1 HTTP/1.1\r\n" + host +
                               "Cookie: k=v\r\nAccept: */*\r\nReferer: " + url + kDefaultLines +
                               "Content-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: 5\r\n\r\nurl=x");
    EXPECT_FALSE(Has(requests[2], "Expect"));
    EXPECT_TRUE(Has(requests[2], "\r\nContent-Length: 2097152\r\n"));
    EXPECT_EQ(BodyOf(requests[2]).size(), 2u << 20);
}

TEST_F(Wire, ObjectHeaderRulesOnTheWire) {
    RawServer server(ReplyWith(OkResponse("")));
    const std::string host = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
    const RequestObjectRef object = NewObject();
    EXPECT_FALSE(object->SetRequestHeader("X-Early", "1"));  // no request opened yet
    ASSERT_TRUE(object->Open("GET", server.Url("/one"), false));
    for (const auto& [name, value] : {std::pair{"X-Empty", ""},
                                      {"accept", "text/html"},
                                      {"Accept", "*/*"},
                                      {"User-Agent", "me"},
                                      {"X-Bytes", "\xD6\xD0"}}) {
        EXPECT_TRUE(object->SetRequestHeader(name, value)) << name;
    }
    for (const auto& [name, value] : {std::pair{"", "v"},
                                      {"Bad Name", "v"},
                                      {"X-Split", "a\r\nEvil: 1"},
                                      {"Content-Length", "9"},
                                      {"Transfer-Encoding", "chunked"}}) {
        EXPECT_FALSE(object->SetRequestHeader(name, value)) << name;
    }
    ASSERT_TRUE(object->Send(std::string_view()));
    // Open starts a new request: the header lines of the last one are gone.
    ASSERT_TRUE(object->Open("GET", server.Url("/two"), false));
    ASSERT_TRUE(object->Send(std::string_view()));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /one HTTP/1.1\r\n" + host +
                               "X-Empty:\r\naccept: text/html\r\nAccept: */*\r\n"
                               "User-Agent: me\r\nX-Bytes: \xD6\xD0\r\n\r\n");
    EXPECT_EQ(requests[1], "GET /two HTTP/1.1\r\n" + host + "\r\n");
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
    const RequestObjectRef object = NewObject();
    auto send = [&](std::string_view method, const std::string& url, std::string_view body) {
        EXPECT_TRUE(object->Open(method, url, false));
        EXPECT_TRUE(object->Send(body)) << method;
        return server.Requests().back();
    };
    const std::string port = std::to_string(server.Port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RequestLine(send("HEAD", server.Url("/h"), "")), "HEAD /h HTTP/1.1");
    EXPECT_EQ(object->Status(), 200);
    EXPECT_TRUE(object->ResponseBody().empty());
    EXPECT_EQ(RequestLine(send("CONNECT", server.Url("/ignored"), "")),
              "CONNECT 127.0.0.1:" + port + " HTTP/1.1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(4));

    const std::string put = send("PUT", server.Url("/p"), "data");
    EXPECT_EQ(RequestLine(put), "PUT /p HTTP/1.1");
    EXPECT_TRUE(Has(put, "\r\nContent-Length: 4\r\n\r\ndata"));
    EXPECT_EQ(object->ResponseBody(), ByteSet({'o', 'k'}));
    EXPECT_TRUE(Has(send("PUT", server.Url("/p"), ""), "\r\nContent-Length: 0\r\n"));
    EXPECT_EQ(BodyOf(send("DELETE", server.Url("/d"), "gone")), "gone");
    EXPECT_FALSE(Has(send("DELETE", server.Url("/d"), ""), "Content-Length"));
    EXPECT_EQ(RequestLine(send("OPTIONS", "http://127.0.0.1:" + port, "")), "OPTIONS * HTTP/1.1");
    EXPECT_EQ(RequestLine(send("OPTIONS", server.Url("/o"), "")), "OPTIONS /o HTTP/1.1");
    EXPECT_EQ(RequestLine(send("TRACE", server.Url("/t"), "")), "TRACE /t HTTP/1.1");
    EXPECT_TRUE(Has(send("POST", server.Url("/e"), ""), "\r\nContent-Length: 0\r\n\r\n"));
    // No type of its own for a body: only what was handed over.
    EXPECT_FALSE(Has(send("POST", server.Url("/f"), "a=1"), "Content-Type"));
    EXPECT_EQ(BodyOf(send("GET", server.Url("/g"), "q")), "q");

    // Text goes out as UTF-8, and the URL is escaped.
    const std::string text = send("POST", server.Url("/a b/\xD6\xD0?q=\xD6\xD0"), "\xD6\xD0=1");
    EXPECT_EQ(RequestLine(text), "POST /a%20b/%E4%B8%AD?q=%E4%B8%AD HTTP/1.1");
    EXPECT_EQ(BodyOf(text), "\xE4\xB8\xAD=1");
    ASSERT_TRUE(object->Open("POST", server.Url("/b"), false));
    ASSERT_TRUE(object->Send(ByteSet{0xD6, 0x00, 0xD0}));
    EXPECT_EQ(BodyOf(server.Requests().back()), std::string("\xD6\0\xD0", 3));
}

TEST_F(Wire, RedirectsReportTheFinalResponseOnly) {
    RawServer other(ReplyWith(OkResponse("elsewhere")));
    RawServer server(Routes({
        {"/start",
         "HTTP/1.1 302 Found\r\nLocation: /final\r\nSet-Cookie: hop=1\r\n"
         "Content-Length: 0\r\n\r\n"},
        {"/final",
         "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" + OkResponse("done", "X-Final: 1\r\n")},
        {"/see-other", Redirect("303 See Other", "/final")},
        {"/temporary", Redirect("307 Temporary Redirect", "/final")},
        {"/away",
         Redirect("302 Found", "http://localhost:" + std::to_string(other.Port()) + "/landing")},
    }));
    Text cookies = "k=v";
    const Outcome followed =
        Fetch(server.Url("/start"), {.sendCookies = &cookies, .mergeCookies = false});
    EXPECT_EQ(followed.body + "|" + std::to_string(followed.status) + "|" + followed.cookies,
              "done|200|");
    EXPECT_EQ(followed.headers, "Content-Length: 4\r\nX-Final: 1");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(RequestLine(server.Requests()[1]), "GET /final HTTP/1.1");
    EXPECT_TRUE(Has(server.Requests()[1], "\r\nCookie: k=v\r\n"));

    const Outcome stopped = Fetch(
        server.Url("/start"), {.sendCookies = &cookies, .noRedirect = true, .mergeCookies = false});
    EXPECT_EQ(stopped.status, 302);
    EXPECT_EQ(stopped.headers, "Location: /final\r\nSet-Cookie: hop=1\r\nContent-Length: 0");
    EXPECT_EQ(stopped.cookies, "hop=1");
    EXPECT_EQ(server.Requests().size(), 3u);

    // 303 turns a POST into a GET without a body; 307 repeats it.
    const WebRequestArgs post{.method = 1, .bodyText = "a=1"};
    EXPECT_EQ(Fetch(server.Url("/see-other"), post).body, "done");
    EXPECT_EQ(RequestLine(server.Requests().back()), "GET /final HTTP/1.1");
    EXPECT_FALSE(Has(server.Requests().back(), "Content-Length"));
    EXPECT_EQ(Fetch(server.Url("/temporary"), post).body, "done");
    EXPECT_EQ(RequestLine(server.Requests().back()), "POST /final HTTP/1.1");
    EXPECT_EQ(BodyOf(server.Requests().back()), "a=1");

    // Cookies are for the host they were given by, not for wherever a redirect points.
    EXPECT_EQ(Fetch(server.Url("/away"), {.sendCookies = &cookies}).body, "elsewhere");
    ASSERT_EQ(other.Requests().size(), 1u);
    EXPECT_FALSE(Has(other.Requests()[0], "Cookie"));
}

TEST_F(Wire, HostileServersGiveEmptyResultsInTime) {
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
    struct Case {
        const char* name;
        Responder responder;
        seconds within;
    };
    const std::vector<Case> cases = {
        {"no answer", holding(""), seconds(3)},
        {"stall mid-body", holding("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), seconds(3)},
        {"drip, a byte a second",
         [](Connection& c, const std::string&) {
             c.Drip("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", milliseconds(1000));
         },
         seconds(6)},
        {"empty reply", [](Connection& c, const std::string&) { c.CloseWrite(); }, seconds(10)},
        {"garbage status line", ReplyWith("GARBAGE\r\n\r\nmore garbage"), seconds(10)},
        {"reset mid-body",
         [&](Connection& c, const std::string&) {
             c.Send(partial.substr(0, 100));
             c.Reset();
         },
         seconds(10)},
        {"closed mid-body", ReplyWith(partial.substr(0, 100)), seconds(10)},
        {"1 MiB header block", ReplyWith(header1MiB + "Content-Length: 2\r\n\r\nok"), seconds(10)},
        {"bad chunked body",
         ReplyWith(
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nZZZ\r\nhello\r\n0\r\n\r\n"),
         seconds(10)},
        {"announced body too large",
         holding("HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\nabc"), seconds(10)},
        {"corrupt gzip",
         ReplyWith(OkResponse("\x1f\x8b\x08\x00garbage", "Content-Encoding: gzip\r\n")),
         seconds(10)},
        {"endless body", endless("HTTP/1.1 200 OK\r\n\r\n", chunk), seconds(30)},
        {"endless chunked body",
         endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                 "10000\r\n" + chunk + "\r\n"),
         seconds(30)},
        // Decoded, a small body may grow past the limit too.
        {"gzip bomb",
         ReplyWith(OkResponse(Compress(std::string(100 << 20, '\0'), 16 + MAX_WBITS),
                              "Content-Encoding: gzip\r\n")),
         seconds(30)},
        {"redirect to ftp", ReplyWith(Redirect("301 Moved", "ftp://127.0.0.1/file")), seconds(10)},
        {"redirect to file", ReplyWith(Redirect("302 Found", "file:///etc/passwd")), seconds(10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.responder);
        const Outcome outcome = Fetch(server.Url(), {.timeoutSeconds = 1});
        ExpectFailed(outcome);
        // Ended by a rule or the time-out; the looser bounds leave room for sanitizer builds.
        EXPECT_LT(outcome.elapsed, c.within);
        EXPECT_EQ(server.Requests().size(), 1u);
    }
    RawServer loop(ReplyWith(Redirect("302 Found", "/loop")));
    ExpectFailed(Fetch(loop.Url("/loop")));
    EXPECT_EQ(loop.Requests().size(), 1u + kMaxRedirects);
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
    ExpectFailed(outcome);
    EXPECT_LT(outcome.elapsed, seconds(10));
    EXPECT_EQ(closed.get_future().wait_for(seconds(10)), std::future_status::ready);
    // Given up before it starts, a transfer sends nothing.
    ExpectFailed(Fetch(server.Url()));
    SetThreadAbandonCheck({});
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(Wire, OddButValidAnswers) {
    const std::string nulBody("a\0b\0", 4);
    RawServer nul(ReplyWith(OkResponse(nulBody)));
    EXPECT_EQ(Fetch(nul.Url()).body, nulBody);

    const std::string text = "compressed text, compressed text, compressed text";
    for (const int windowBits : {16 + MAX_WBITS, MAX_WBITS, -MAX_WBITS}) {
        const std::string coding = windowBits > MAX_WBITS ? "gzip" : "deflate";
        RawServer server(ReplyWith(
            OkResponse(Compress(text, windowBits), "Content-Encoding: " + coding + "\r\n")));
        const Outcome outcome = Fetch(server.Url());
        EXPECT_EQ(outcome.body, text) << windowBits;
        EXPECT_TRUE(Has(outcome.headers, coding));
    }
    // Without Content-Encoding, compressed bytes are just bytes.
    const std::string raw = Compress(text, 16 + MAX_WBITS);
    RawServer plain(ReplyWith(OkResponse(raw)));
    EXPECT_EQ(Fetch(plain.Url()).body, raw);

    std::string cookieLines;
    for (int i = 0; i < 10000; ++i) {
        cookieLines += "Set-Cookie: c" + std::to_string(i) + "=v; path=/\r\n";
    }
    RawServer many(ReplyWith(OkResponse("", cookieLines)));
    Text sent = "c5=old; mine=1";
    const Outcome manyCookies = Fetch(many.Url(), {.sendCookies = &sent});
    EXPECT_EQ(manyCookies.status, 200);
    EXPECT_TRUE(manyCookies.cookies.starts_with("c0=v; c1=v; c2=v"));
    EXPECT_TRUE(manyCookies.cookies.ends_with("c9999=v; mine=1"));
    EXPECT_EQ(sent, manyCookies.cookies);
    EXPECT_LT(manyCookies.elapsed, seconds(5));

    // A HEAD answer that carries a body anyway: the body is not read and does not spill into
    // the next request on the same object.
    RawServer headWithBody([](Connection& c, const std::string& request) {
        c.Send(OkResponse(request.starts_with("HEAD") ? "stray" : "real"));
    });
    const RequestObjectRef object = NewObject();
    const Outcome head = Fetch(headWithBody.Url(), {.method = 2, .requestObject = &object});
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(Fetch(headWithBody.Url(), {.requestObject = &object}).body, "real");
}

TEST_F(Wire, ProxiesFromTheEnvironmentAndCredentialsForTheProxyOnly) {
    RawServer proxy(ReplyWith(OkResponse("from proxy")));
    const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.Port());
    ::setenv("http_proxy", ("http://" + proxyAddress).c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(Fetch("http://provider.example/shorten?x=1").body, "from proxy");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(proxy.Requests()[0]), "GET http://provider.example/shorten?x=1 HTTP/1.1");
    RawServer origin(ReplyWith(OkResponse("from origin")));
    ::setenv("no_proxy", "127.0.0.1", 1);  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(Fetch(origin.Url("/direct")).body, "from origin");
    EXPECT_EQ(proxy.Requests().size(), 1u);

    // A named proxy is used even for hosts that the environment would send direct.
    ::setenv("no_proxy", "*", 1);  // NOLINT(concurrency-mt-unsafe)
    const std::string credentials = "\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n";
    WebRequestArgs args{.proxy = proxyAddress, .proxyUser = "user", .proxyPassword = "pass"};
    EXPECT_EQ(Fetch("http://provider.example/a", args).body, "from proxy");
    ASSERT_EQ(proxy.Requests().size(), 2u);
    EXPECT_TRUE(Has(proxy.Requests()[1], credentials));

    // Through a CONNECT tunnel the origin reads the decrypted request: it must not hold them.
    const TlsIdentity identity = TlsIdentity::SelfSigned();
    RawServer tlsOrigin(ReplyWith(OkResponse("secret")), &identity);
    RawServer tunnel(TunnelTo(tlsOrigin.Port()));
    args.proxy = "127.0.0.1:" + std::to_string(tunnel.Port());
    const Outcome tunnelled = Fetch("https://provider.example/b", args);
    EXPECT_EQ(tunnelled.body, "secret");
    EXPECT_EQ(tunnelled.headers, "Content-Length: 6");
    ASSERT_EQ(tunnel.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(tunnel.Requests()[0]), "CONNECT provider.example:443 HTTP/1.1");
    EXPECT_TRUE(Has(tunnel.Requests()[0], credentials));
    ASSERT_EQ(tlsOrigin.Requests().size(), 1u);
    EXPECT_TRUE(
        tlsOrigin.Requests()[0].starts_with("GET /b HTTP/1.1\r\nHost: provider.example\r\n"));
    EXPECT_FALSE(Has(tlsOrigin.Requests()[0], "Proxy-Authorization"));
}

TEST_F(Wire, CertificateFlagsIgnoreOnlyWhatTheyName) {
    struct Case {
        const char* name;
        CertificateSpec spec;
        int tooFew;
        int enough;
    };
    const std::vector<Case> cases = {
        {"self-signed", {}, 0, kIgnoreUnknownCa},
        {"wrong host",
         {.altName = "DNS:wrong.example"},
         kIgnoreUnknownCa,
         kIgnoreUnknownCa | kIgnoreWrongHostName},
        {"expired",
         {.validFromDays = -10, .validUntilDays = -1},
         kIgnoreUnknownCa,
         kIgnoreUnknownCa | kIgnoreInvalidDate},
        {"not yet valid",
         {.validFromDays = 5, .validUntilDays = 10},
         kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreWrongHostName,
         kIgnoreUnknownCa | kIgnoreInvalidDate},
        {"client usage",
         {.serverUsage = false},
         kIgnoreUnknownCa,
         kIgnoreUnknownCa | kIgnoreWrongUsage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TlsIdentity identity = TlsIdentity::SelfSigned(c.spec);
        ASSERT_NE(identity.Context(), nullptr);
        RawServer server(ReplyWith(OkResponse("tls")), &identity);
        const RequestObjectRef object = NewObject();
        // Back to strict at the end: a connection accepted under the lenient flags is not reused.
        for (const auto& [flags, accepted] :
             {std::pair{c.tooFew, false}, {c.enough, true}, {c.tooFew, false}}) {
            EXPECT_TRUE(object->Option(kOptionSslErrorIgnoreFlags, flags));
            ASSERT_TRUE(object->Open("GET", server.Url(), false));
            EXPECT_EQ(object->Send(std::string_view()), accepted);
            EXPECT_EQ(object->Status(), accepted ? 200 : 0);
        }
        // WebRequest ignores all four kinds.
        EXPECT_EQ(Fetch(server.Url()).body, "tls");
    }
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
    EXPECT_EQ(object->Status(), 0);
    EXPECT_EQ(object->GetAllResponseHeaders(), "");
    EXPECT_TRUE(object->ResponseBody().empty());
    // A port nobody listens on any more: refused at once.
    const std::string gone = RawServer(ReplyWith("")).Url();
    ASSERT_TRUE(object->Open("GET", gone, false));
    EXPECT_FALSE(object->Send(std::string_view()));
}

TEST_F(Wire, ConcurrentRequestsOnSeveralThreads) {
    RawServer server(ReplyWith(OkResponse("same")));
    std::vector<std::future<std::string>> results;
    results.reserve(4);
    for (int i = 0; i < 4; ++i) {
        results.push_back(std::async(std::launch::async, [&server] {
            std::string bodies;
            for (int j = 0; j < 5; ++j) {
                bodies += Fetch(server.Url()).body;
            }
            return bodies;
        }));
    }
    for (auto& result : results) {
        EXPECT_EQ(result.get(), "samesamesamesamesame");
    }
    EXPECT_EQ(server.Requests().size(), 20u);
}

}  // namespace
}  // namespace tarnwick
