// The proxy the Windows program takes from the current user's settings, for one URL.
#include <gtest/gtest.h>

#include <string>

#include "web/win32/user_proxy.h"

namespace tarnwick {
namespace {

TEST(UserProxy, ChoiceFromTheSettingsAndTheAutomaticAnswer) {
    const UserProxySettings manual{false, "", "p:8080", "*.intra.example;10.*;<local>"};
    const UserProxySettings perScheme{false, "", "https=s:443;http=h:3128", ""};
    const UserProxySettings automatic{true, "http://wpad/proxy.pac", "p:8080", ""};
    const AutomaticProxy none;
    const AutomaticProxy viaScript{true, "pac:81", "<local>"};
    const AutomaticProxy scriptSaysDirect{true, "", ""};
    const ProxyChoice leave;
    const ProxyChoice direct{ProxyKind::Direct, "", ""};
    const auto named = [](Text server, Text bypass) {
        return ProxyChoice{ProxyKind::Named, std::move(server), std::move(bypass)};
    };
    struct Row {
        UserProxySettings settings;
        AutomaticProxy answer;
        std::string url;
        ProxyChoice want;
    };
    // clang-format off
    const Row rows[] = {
        {{}, none, "http://a.test/", leave},  // nothing set: WinHTTP's machine-wide setting holds
        {manual, none, "http://a.test/x", named("p:8080", manual.bypass)},
        {manual, none, "http://WWW.Intra.Example:81/", direct},
        {manual, none, "http://intra.example/", named("p:8080", manual.bypass)},
        {manual, none, "https://10.1.2.3/", direct},
        {manual, none, "http://user@printer/", direct},  // <local>: a host without a dot
        {manual, none, "http://[::1]:8/", direct},
        {{false, "", "p:1", "a.test:8080"}, none, "http://me@a.test:8080/", direct},
        {{false, "", "p:1", "a.test:8080"}, none, "http://a.test/", named("p:1", "a.test:8080")},
        {{false, "", "p:1", "https://a.test"}, none, "http://a.test/", named("p:1", "https://a.test")},
        {{false, "", "p:1", "https://a.test"}, none, "https://a.test/", direct},
        {perScheme, none, "http://a.test/", named("h:3128", "")},
        {perScheme, none, "HTTPS://a.test/", named("s:443", "")},
        {{false, "", "ftp=f:21", ""}, none, "http://a.test/", direct},
        {{false, "", "ftp=f:21 all:1", ""}, none, "http://a.test/", named("all:1", "")},
        {automatic, viaScript, "http://a.test/", named("pac:81", "<local>")},
        {automatic, scriptSaysDirect, "http://a.test/", direct},
        {automatic, none, "http://a.test/", named("p:8080", "")},  // detection failed: the manual one
    };
    // clang-format on
    for (const Row& row : rows) {
        const ProxyChoice got = ChooseProxy(row.settings, row.answer, row.url);
        EXPECT_EQ(got, row.want) << row.url << " -> " << static_cast<int>(got.kind) << " "
                                 << got.server << " " << got.bypass;
    }
    EXPECT_FALSE(WantsAutomaticProxy(manual));
    EXPECT_TRUE(WantsAutomaticProxy({false, "http://wpad/p.pac", "", ""}));
    EXPECT_TRUE(WantsAutomaticProxy({true, "", "", ""}));
}

}  // namespace
}  // namespace tarnwick
