// The libcurl object's own side of the wire: the proxies it takes from the environment,
// certificates through a tunnel, and the module and calls it refuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/raw_server.h"
#include "tests/web/tls_origin.h"
#include "tests/web/wire_outcome.h"
#include "web/curl/module.h"
#include "web/curl/request.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

using namespace test;

TEST(CurlObject, ProxiesFromTheEnvironmentAndCredentialsForTheProxyOnly) {
    RawServer proxy(ReplyWith(OkResponse("from proxy")));
    ::setenv("http_proxy", proxy.Url("").c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(Unmet(Fetch("http://provider.example/shorten?x=1"), {"^from proxy|200|"}), "");
    // The direct setting goes past it.
    RawServer origin(ReplyWith(OkResponse("direct")));
    const ComScope com;
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
TEST(CurlObject, CertificateFaultsIgnoredAsToldThroughATunnel) {
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
    const ComScope com;
    const RequestObjectRef object = NewObject();
    for (const auto& row : rows) {
        object->SetProxy(kProxySettingNamed, row.server.Proxy());
        object->Option(kOptionSslErrorIgnoreFlags, row.ignored);
        object->Open("GET", "https://origin.test/", false);
        object->Send(std::string_view());
        EXPECT_EQ(object->Status(), row.status) << row.ignored << (&row.server == &expired);
    }
}

TEST(CurlObject, ObjectRefusesWhatItCannotDo) {
    // Only the module of this build loads: a missing file, no library at all, a library
    // without the entry point and the one built here.
    const std::string_view built = TARNWICK_TEST_HTTP_MODULE;
    for (const char* path :
         {"/nonexistent/tarnwick_http.so", "/etc/hostname", "libz.so.1", built.data()}) {
        EXPECT_EQ(LoadHttpModule(path), path == built ? ProgramHttpModule() : nullptr) << path;
    }
    const ComScope com;
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
    // clang-format on
    EXPECT_EQ(refused, std::vector<bool>(refused.size(), false));
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
