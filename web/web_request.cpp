#include "web/web_request.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "text/find.h"
#include "web/com.h"
#include "web/cookies.h"
#include "web/header_lines.h"

namespace tarnwick {

namespace {

constexpr std::array<std::string_view, 8> kMethodNames = {"GET",     "POST",   "HEAD",  "PUT",
                                                          "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kDefaultTimeoutMs = 15000;
constexpr int kKeepObjectTimeouts = -1;
constexpr int kBasicProxyAuth = 1;
constexpr int kIgnoredCertificateErrors =
    kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreWrongHostName | kIgnoreInvalidDate;  // 0x3300

// What an empty object reference does: refuses every call and reads as empty.
class NoRequestObject final : public RequestObject {
  public:
    bool SetTimeouts(int, int, int, int) override { return false; }
    bool SetProxy(int, std::string_view) override { return false; }
    bool SetRequestHeader(std::string_view, std::string_view) override { return false; }
    bool Open(std::string_view, std::string_view, bool) override { return false; }
    bool SetCredentials(std::string_view, std::string_view, int) override { return false; }
    bool Option(int, int) override { return false; }
    bool Send(std::string_view) override { return false; }
    bool Send(const ByteSet&) override { return false; }
    ByteSet ResponseBody() override { return {}; }
    Text GetAllResponseHeaders() override { return {}; }
    int Status() override { return 0; }
    void SetAbandonCheck(AbandonCheck) override {}
};

int TimeoutMs(int timeoutSeconds) {
    if (timeoutSeconds < 1) {
        return kDefaultTimeoutMs;
    }
    return static_cast<int>(std::min<std::int64_t>(std::int64_t{timeoutSeconds} * 1000, INT_MAX));
}

void HandOverHeaders(RequestObject& object, const Text& headers) {
    for (const Text& line : TextSplit(headers, "\r\n")) {
        if (!line.empty()) {
            object.SetRequestHeader(HeaderName(line), HeaderValue(line));
        }
    }
}

int MethodNumber(int method) {
    return (method < 0 || method >= static_cast<int>(kMethodNames.size())) ? kGetMethod : method;
}

// The caller's object, or a new one of our own; false when none could be made.
bool TakeObject(const WebRequestArgs& args, RequestObjectRef& reference) {
    if (args.requestObject == nullptr) {
        return ObjectCreate(reference, kRequestObjectProgId, args.abandon);
    }
    ObjectAssign(reference, *args.requestObject);
    return true;
}

// Time-outs, proxy, the opening of the request and its options.
void OpenRequest(RequestObject& object, std::string_view url, int method,
                 const WebRequestArgs& args) {
    if (args.timeoutSeconds != kKeepObjectTimeouts) {
        const int timeout = TimeoutMs(args.timeoutSeconds);
        object.SetTimeouts(timeout, timeout, timeout, timeout);
    }
    if (!args.proxy.empty()) {
        object.SetProxy(kProxySettingNamed, args.proxy);
    }
    object.Open(kMethodNames[static_cast<std::size_t>(method)], url, false);
    // After Open: the system's object takes no header before it, and Open begins the request's
    // credentials anew.
    if (!args.proxy.empty() && !args.proxyUser.empty() &&
        args.proxyAuthMode.value_or(kBasicProxyAuth) == kBasicProxyAuth) {
        object.SetCredentials(args.proxyUser, args.proxyPassword, kCredentialsForProxy);
    }
    if (args.noRedirect) {
        object.Option(kOptionEnableRedirects, 0);
    }
    object.Option(kOptionSslErrorIgnoreFlags, kIgnoredCertificateErrors);
}

// The completed header lines (written back to the caller), the cookies, then the body.
void SendRequest(RequestObject& object, std::string_view url, int method,
                 const WebRequestArgs& args) {
    Text headers = args.headers != nullptr ? *args.headers : Text();
    CompleteRequestHeaders(headers, url, method == kPostMethod);
    if (args.headers != nullptr) {
        *args.headers = headers;
    }
    if (args.sendCookies != nullptr) {
        object.SetRequestHeader("Cookie", *args.sendCookies);
    }
    HandOverHeaders(object, headers);
    if (args.bodyBytes.empty()) {
        object.Send(std::string_view(args.bodyText));
    } else {
        object.Send(args.bodyBytes);
    }
}

// The answer's headers, status and cookies into the caller's variables.
void StoreAnswer(RequestObject& object, const WebRequestArgs& args) {
    const Text responseHeaders = object.GetAllResponseHeaders();
    const int status = object.Status();
    if (args.responseHeaders != nullptr) {
        *args.responseHeaders = responseHeaders;
    }
    if (args.status != nullptr) {
        *args.status = status;
    }
    // Built apart and stored last, so that a caller may bind both cookie arguments to one
    // variable: the cookies it sent are read before anything is written back.
    Text received = CollectSetCookies(responseHeaders);
    if (args.mergeCookies.value_or(true) && args.sendCookies != nullptr) {
        received = MergeCookies(*args.sendCookies, received);
    }
    if (args.receivedCookies != nullptr) {
        *args.receivedCookies = received;
    }
}

}  // namespace

ByteSet WebRequest(std::string_view url, const WebRequestArgs& args) {
    const ComScope com;
    const int method = MethodNumber(args.method);
    RequestObjectRef reference;
    if (!TakeObject(args, reference)) {
        return {};
    }
    NoRequestObject none;
    RequestObject& object = reference ? *reference : none;
    OpenRequest(object, url, method, args);
    SendRequest(object, url, method, args);
    // An object of our own is released below: its body is taken, not copied.
    ByteSet body =
        args.requestObject == nullptr ? object.TakeResponseBody() : object.ResponseBody();
    StoreAnswer(object, args);
    ObjectRelease(reference);
    return body;
}

}  // namespace tarnwick
