// WebRequest against a recording object: what the wire cannot show (the time-outs and proxy
// calls it makes, its hold on COM, and what it writes back on every path).
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "web/com.h"

// Designated initializers name only the arguments a case sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tarnwick {
namespace {

constexpr const char* kUrl = "http://short.example/api";

// Records the calls that set the request up as "Name(arg,arg)|", "!" where COM is not held,
// and answers with scripted headers.
class RecordingObject final : public RequestObject {
  public:
    std::string trace;

    using V = std::string_view;
    bool SetTimeouts(int a, int b, int c, int d) override { return Log("SetTimeouts", a, b, c, d); }
    bool SetProxy(int setting, V server) override { return Log("SetProxy", setting, server); }
    bool SetRequestHeader(V name, V value) override { return Log("Header", name, value); }
    bool Open(V method, V, bool) override { return Log("Open", method); }
    bool SetCredentials(V user, V password, int forWhom) override {
        return Log("Credentials", user, password, forWhom);
    }
    bool Option(int index, int value) override { return Log("Option", index, value); }
    bool Send(V) override { return Log("Send"); }
    bool Send(const ByteSet&) override { return Log("Send"); }
    ByteSet ResponseBody() override { return Log("Body") ? ByteSet{'x'} : ByteSet{}; }
    Text GetAllResponseHeaders() override {
        return Log("Headers") ? "X: a\r\nSet-Cookie: b=2" : "";
    }
    int Status() override { return Log("Status") ? 200 : 0; }
    void SetAbandonCheck(AbandonCheck) override {}

  private:
    template <typename... Args>
    bool Log(std::string_view name, const Args&... args) {
        std::ostringstream call;
        call << (ComHeldOnThisThread() ? "" : "!") << name << '(';
        [[maybe_unused]] const char* separator = "";
        ((call << separator << args, separator = ","), ...);
        trace += call.str() + ")|";
        return true;
    }
};

TEST(WebRequest, CallsOnTheObjectAndWhatComesBack) {
    // Each row ends in the cookies sent and received: merged into both unless switched off.
    Text sent;
    Text received;
    // clang-format off
    const std::vector<std::pair<WebRequestArgs, std::string>> rows = {
        {{}, "SetTimeouts(15000,15000,15000,15000)|Open(GET)|Option(4,13056)|Header(Cookie,a=1)|"
             "Header(Accept,*/*)|Header(Referer,http://short.example/api)|"},
        {{.timeoutSeconds = -1}, "Open(GET)|"}, {{.timeoutSeconds = -5}, "SetTimeouts(15000,15000,"},
        {{.timeoutSeconds = 30}, "SetTimeouts(30000,30000,30000,30000)|"},
        {{.timeoutSeconds = 3000000}, "SetTimeouts(2147483647,2147483647,"},
        {{.method = -1}, "|Open(GET)|"}, {{.method = 8}, "|Open(GET)|"}, {{.method = 7}, "|Open(CONNECT)|"},
        {{.noRedirect = true, .proxy = "p:1", .proxyUser = "u", .proxyPassword = "p"},
         "|SetProxy(2,p:1)|Open(GET)|Credentials(u,p,1)|Option(6,0)|"},
        // Credentials need a named proxy and the Basic mode.
        {{.proxyUser = "user"}, "|Open(GET)|"}, {{.proxy = "p:1", .proxyUser = "u", .proxyAuthMode = 0},
         "|SetProxy(2,p:1)|Open(GET)|"}, {{.proxy = "p:1", .proxyUser = "u", .proxyAuthMode = 1},
         "|Open(GET)|Credentials(u,,1)|Option"},
        {{.receivedCookies = &received}, "|Send()|Body()|Headers()|Status()|b=2; a=1|b=2; a=1"},
        {{.receivedCookies = &received, .mergeCookies = false}, "|a=1|b=2"},
        {{.receivedCookies = &sent}, "|b=2; a=1|-"},
    };
    // clang-format on
    for (const auto& [args, want] : rows) {
        auto object = std::make_shared<RecordingObject>();
        const RequestObjectRef reference = object;
        WebRequestArgs given = args;
        given.requestObject = &reference;
        given.sendCookies = &sent;
        sent = "a=1";
        received = "-";
        EXPECT_EQ(WebRequest(kUrl, given), ByteSet{'x'});
        const std::string trace = object->trace + sent + "|" + received;
        EXPECT_NE(trace.find(want), std::string::npos) << trace;
        EXPECT_EQ(trace.find('!'), std::string::npos) << trace;
        EXPECT_EQ(object.use_count(), 2);  // the call's own reference is gone
    }
    EXPECT_FALSE(ComHeldOnThisThread());
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
    // A given reference that holds no object: every call is refused and every read is empty.
    const RequestObjectRef empty;
    args.requestObject = &empty;
    EXPECT_TRUE(WebRequest(kUrl, args).empty());
    EXPECT_EQ(received + responseHeaders + std::to_string(status), "0");
    // Another ProgID, or a thread outside COM: no object.
    const ComScope com;
    RequestObjectRef object;
    EXPECT_FALSE(ObjectCreate(object, "MSXML2.XMLHTTP") || object);
    EXPECT_TRUE(ObjectCreate(object, "winhttp.winhttprequest.5.1") && object);
    std::thread([&object] { EXPECT_FALSE(ObjectCreate(object, kRequestObjectProgId)); }).join();
}

}  // namespace
}  // namespace tarnwick
