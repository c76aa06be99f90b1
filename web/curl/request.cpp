#include "web/curl/request.h"

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "text/ascii.h"
#include "text/base64.h"
#include "text/code_page.h"
#include "web/content_decoding.h"
#include "web/curl/response.h"
#include "web/curl/tls.h"
#include "web/curl/transfer.h"
#include "web/curl/url_rules.h"
#include "web/transfer_abandon.h"

namespace tarnwick {

namespace {

using namespace curl;

std::once_flag globalSetUp;

// A handle that never raises SIGPIPE handling of its own: without this, libcurl swaps the
// signal's disposition around each cleanup, two system calls per handle and click.
CurlEasy NewEasy() {
    CurlEasy easy(curl_easy_init());
    if (easy && curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L) != CURLE_OK) {
        easy.reset();
    }
    return easy;
}

class CurlRequest final : public RequestObject {
  public:
    explicit CurlRequest(CurlEasy easy) : easy_(std::move(easy)) {}

    bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        settings_.resolveMs = resolveMs;
        settings_.connectMs = connectMs;
        settings_.sendMs = sendMs;
        settings_.receiveMs = receiveMs;
        return true;
    }

    bool SetProxy(int setting, std::string_view server) override {
        if (setting != kProxySettingDefault && setting != kProxySettingDirect &&
            setting != kProxySettingNamed) {
            return false;
        }
        if (setting == kProxySettingNamed && (server.empty() || !IsFieldValue(server))) {
            return false;
        }
        settings_.proxySetting = setting;
        settings_.proxyServer = setting == kProxySettingNamed ? Text(server) : Text();
        // Credentials belong to the proxy they were given for.
        settings_.proxyAuthorization.clear();
        return true;
    }

    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        const std::optional<std::string_view> sendable = SendableHeaderValue(name, value);
        if (!sendable || !opened_) {
            return false;
        }
        if (EqualsIgnoringAsciiCase(name, "Proxy-Authorization")) {
            // Kept apart from the request headers: it goes to the proxy and nowhere else.
            settings_.proxyAuthorization = Text(*sendable);
            return true;
        }
        headers_.emplace_back(Text(name), Text(*sendable));
        return true;
    }

    bool Open(std::string_view method, std::string_view url, bool async) override {
        opened_ = false;
        headers_.clear();
        // Credentials belong to the request they were given for.
        settings_.proxyAuthorization.clear();
        ClearResponse();
        if (async || !IsToken(method) || !IsSafeUrl(url)) {
            return false;
        }
        Text escaped = EscapeUrl(url);
        std::optional<UrlParts> origin = ParseHttpUrl(escaped);
        if (!origin) {
            return false;
        }
        method_ = Text(method);
        url_ = std::move(escaped);
        origin_ = std::move(*origin);
        opened_ = true;
        return true;
    }

    // Basic credentials, for the proxy only: a server's would need its challenge first.
    bool SetCredentials(std::string_view user, std::string_view password, int forWhom) override {
        if (!opened_ || forWhom != kCredentialsForProxy) {
            return false;
        }
        const Text credentials = Text(user) + ":" + Text(password);
        return SetRequestHeader("Proxy-Authorization",
                                "Basic " + Base64Encode(ToByteSet(credentials)));
    }

    bool Option(int index, int value) override {
        if (index == kOptionEnableRedirects) {
            followRedirects_ = value != 0;
            return true;
        }
        if (index == kOptionSslErrorIgnoreFlags) {
            if ((value & ~kAllIgnoreFlags) != 0) {
                return false;
            }
            if (value != settings_.sslIgnoreFlags && used_) {
                // Connections kept from earlier requests were checked under the old flags.
                CurlEasy fresh = NewEasy();
                if (!fresh) {
                    return false;
                }
                easy_ = std::move(fresh);
                used_ = false;
            }
            settings_.sslIgnoreFlags = value;
            return true;
        }
        return false;
    }

    bool Send(std::string_view body) override {
        // A text body goes out as UTF-8, as the Windows object sends a string.
        const Text bytes = HasHighBytes(body) ? AnsiToUtf8(body) : Text(body);
        return Send(ToByteSet(bytes));
    }

    bool Send(const ByteSet& body) override {
        if (!opened_) {
            return false;
        }
        ClearResponse();
        return Exchange(body);
    }

    ByteSet ResponseBody() override { return body_; }
    ByteSet TakeResponseBody() override { return std::exchange(body_, {}); }

    Text GetAllResponseHeaders() override { return JoinHeaderLines(headerLines_); }

    int Status() override { return status_; }

    void SetAbandonCheck(AbandonCheck check) override { settings_.abandon = std::move(check); }

  private:
    void ClearResponse() {
        body_.clear();
        headerLines_.clear();
        status_ = 0;
    }

    // Follows redirects itself, so that each hop's method, body and credentials are decided
    // here, by the object's own rules: which statuses turn a POST into a GET and drop the body
    // and its header lines, and that credentials go only to the first URL's origin.
    bool Exchange(const ByteSet& body) {
        Text method = method_;
        Text url = url_;
        bool withBody = true;
        bool keepCredentials = true;
        for (int redirects = 0;; ++redirects) {
            Transfer transfer;
            const ByteSet noBody;
            const Hop hop{method,          url,     withBody ? body : noBody, headers_,
                          keepCredentials, withBody};
            used_ = true;
            if (!Perform(easy_.get(), settings_, hop, transfer)) {
                return false;
            }
            // Two lengths leave the answer's end unknown (RFC 9112, 6.3), and with it where the
            // next answer on the connection would start.
            if (LengthsDisagree(transfer.headerLines)) {
                DropConnections();
                return false;
            }
            long status = 0;
            curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
            const char* location = nullptr;
            if (followRedirects_ && IsFollowedStatus(status)) {
                curl_easy_getinfo(easy_.get(), CURLINFO_REDIRECT_URL, &location);
                if (location == nullptr &&
                    !ResponseHeader(transfer.headerLines, "Location").empty()) {
                    return false;  // a redirect to somewhere that is no URL
                }
            }
            if (location == nullptr) {
                if (IsBodilessStatus(status)) {
                    DropConnections();
                }
                return Finish(status, std::move(transfer));
            }
            const Text next(location);
            const std::optional<UrlParts> nextParts = ParseHttpUrl(next);
            if (redirects == kMaxRedirects || !nextParts) {
                return false;
            }
            if ((status == 303 && method != "HEAD") ||
                ((status == 301 || status == 302) && method == "POST")) {
                method = "GET";
                withBody = false;
            }
            keepCredentials = IsSameOrigin(origin_, *nextParts);
            url = next;
        }
    }

    // Bytes a server sends after an answer that has no body would be read as the start of the
    // next answer on the same connection, as after a HEAD.
    void DropConnections() {
        CurlEasy fresh = NewEasy();
        if (fresh) {
            easy_ = std::move(fresh);
            used_ = false;
        }
    }

    bool Finish(long status, Transfer transfer) {
        const Text encoding = ResponseHeader(transfer.headerLines, "Content-Encoding");
        body_ = encoding.empty() ? std::move(transfer.body)
                                 : DecodeContent(encoding, OfferedEncodings(), transfer.body,
                                                 kMaxResponseBodyBytes);
        headerLines_ = std::move(transfer.headerLines);
        status_ = static_cast<int>(std::clamp<long>(status, 0, INT_MAX));
        return true;
    }

    // The Accept-Encoding values the caller handed over, joined by ",".
    Text OfferedEncodings() const {
        Text offered;
        for (const auto& [name, value] : headers_) {
            if (EqualsIgnoringAsciiCase(name, "Accept-Encoding")) {
                offered += value + ",";
            }
        }
        return offered;
    }

    CurlEasy easy_;
    bool used_ = false;  // whether easy_ may hold connections
    TransferSettings settings_;
    bool followRedirects_ = true;
    // The opened request.
    bool opened_ = false;
    Text method_;
    Text url_;
    UrlParts origin_;  // of url_
    HeaderLines headers_;
    // The final response.
    ByteSet body_;
    TextArray headerLines_;
    int status_ = 0;
};

}  // namespace

void PrepareCurl() {
    std::call_once(globalSetUp, [] {
        // A peer that closes early must end a write with an error, not the process.
        std::signal(SIGPIPE, SIG_IGN);
        curl_global_init(CURL_GLOBAL_DEFAULT);
        PrepareTls();
    });
}

RequestObjectRef MakeCurlRequest() {
    PrepareCurl();
    CurlEasy easy = NewEasy();
    if (!easy) {
        return nullptr;
    }
    return std::make_shared<CurlRequest>(std::move(easy));
}

}  // namespace tarnwick
