// The three providers' jobs through the system's own WinHttp.WinHttpRequest.5.1, with the
// provider simulator as the proxy. A program of its own: Wine reads the proxy variable once,
// at the first request of a process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shorten/hosts.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"
#include "text/find.h"
#include "web/web_request.h"

namespace tarnwick {
namespace {

using Sim = ProviderSimulator;

// What the stand-in of the services saw of each job ("@" is the provider's host): the long
// address is Chinese, sent as its code-page-936 bytes where the protocol sends bytes.
TEST(WinHttpObject, EachProviderThroughTheLoopbackProxy) {
    Sim simulator;
    // Windows honours the object's SetProxy; Wine 8 leaves a request's own proxy unimplemented
    // and takes only the default setting, from http_proxy, which the test sets for itself.
    struct ProxyVariable {
        explicit ProxyVariable(const std::string& value) {
            ::SetEnvironmentVariableA("http_proxy", value.c_str());
        }
        ~ProxyVariable() { ::SetEnvironmentVariableA("http_proxy", nullptr); }
    } const proxyVariable(simulator.ProxyAddress());
    const std::string proxy = simulator.ProxyAddress().substr(std::string("http://").size());
    const WebRequestFunction throughProxy = [&proxy](std::string_view url,
                                                     const WebRequestArgs& args) {
        WebRequestArgs proxied = args;
        proxied.proxy = proxy;
        return WebRequest(url, proxied);
    };
    const std::string hosts[] = {TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER2_HOST,
                                 TARNWICK_PROVIDER3_HOST};
    // "http://例.test/文?q=中" in code page 936.
    const std::string chinese = "http://\xC0\xFD.test/\xCE\xC4?q=\xD6\xD0";
    // What the service decoded (provider 2 takes the address into its URL, which the object
    // sends in UTF-8, escaped), then lines that must be in the two requests.
    const std::string escaped = "http://%E4%BE%8B.test/%E6%96%87?q=%E4%B8%AD";
    // clang-format off
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {chinese, {"GET http://@/ HTTP/1.1", "GET http://@/api.php?from=w&url=aHR0cDovL8D9LnRlc3QvzsQ/cT3W0A==&site=sina",
         "Cookie: SID=7f3a", "X-Requested-With: XMLHttpRequest"}},
        {escaped, {"GET http://@/api.php?url=" + escaped + " HTTP/1.1", "Cookie: SID=7f3a",
         "Referer: http://@/api.php?url="}},
        {chinese, {"POST http://@/index.php?m=index&a=create HTTP/1.1", "Cookie: SID=7f3a",
         "Content-Type: application/x-www-form-urlencoded",
         "url=%68%74%74%70%3A%2F%2F%C0%FD%2E%74%65%73%74%2F%CE%C4%3F%71%3D%D6%D0&alias=&pwd="}}};
    // clang-format on
    for (int p = 1; p <= 3; ++p) {
        FakeShortenHost host;
        host.SetLongLink(chinese);
        const ShortenJob job = ShortenVia(static_cast<ShortLinkProvider>(p), host, throughProxy);
        const std::string& name = hosts[p - 1];
        EXPECT_TRUE(job.succeeded) << p;
        EXPECT_EQ(job.answerText, simulator.ShortLinkFor(name, rows[p - 1].first)) << p;
        EXPECT_EQ(job.providerCookies, "last=ok; SID=7f3a") << p;
        const std::vector<std::string> requests = simulator.Requests();
        ASSERT_GE(requests.size(), 2u);
        // The object names the default port in what it asks the proxy for.
        const std::string sent = TextReplace(requests.end()[-2] + requests.back(), ":80/", "/");
        for (std::string line : rows[p - 1].second) {
            for (std::size_t at; (at = line.find('@')) != std::string::npos;) {
                line.replace(at, 1, name);
            }
            EXPECT_NE(sent.find(line), std::string::npos) << line << " not in\n" << sent;
        }
    }
}

}  // namespace
}  // namespace tarnwick
