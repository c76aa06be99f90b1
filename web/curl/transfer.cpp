#include "web/curl/transfer.h"

#include <algorithm>
#include <climits>
#include <string>

#include "text/ascii.h"
#include "web/curl/request.h"
#include "web/curl/tls.h"
#include "web/curl/url_rules.h"

namespace tarnwick::curl {

namespace {

struct CurlListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;

// Abandons a transfer that nobody wants any more, or that moves no byte for the send or receive
// time-out. The connection phase is left to the connect time-out.
extern "C" int WatchProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t uploadTotal,
                             curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (transfer.abandon != nullptr && Abandoned(*transfer.abandon)) {
        return 1;  // libcurl closes a connection left in the middle of a transfer
    }
    const Clock::time_point now = Clock::now();
    curl_off_t requestStarted = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_PRETRANSFER_TIME_T, &requestStarted);
    const curl_off_t moved = downloaded + uploaded;
    if (requestStarted == 0 || moved != transfer.bytesMoved) {
        transfer.bytesMoved = moved;
        transfer.lastMove = now;
        return 0;
    }
    const bool sending = uploadTotal > 0 && uploaded < uploadTotal;
    const int limitMs = sending ? transfer.sendMs : transfer.receiveMs;
    if (limitMs > 0 && now - transfer.lastMove >= std::chrono::milliseconds(limitMs)) {
        return 1;
    }
    return 0;
}

CurlList BuildHeaderList(const Hop& hop) {
    CurlList list;
    auto append = [&list](const Text& line) {
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown != nullptr) {
            static_cast<void>(list.release());  // grown is the same list, longer by one
            list.reset(grown);
        }
    };
    for (const auto& [name, value] : hop.headers) {
        if ((!hop.keepCredentials && IsCredentialHeader(name)) ||
            (!hop.keepBodyHeaders && IsBodyHeader(name))) {
            continue;
        }
        // "Name:" would tell libcurl to remove a header; "Name;" sends it empty.
        std::string line = name;
        line += value.empty() ? ";" : ": ";
        line += value;
        append(line);
    }
    // Lines libcurl adds by itself unless told not to; a handed-over line of the same name
    // comes first and is sent, these only suppress the defaults.
    append("Accept:");
    append("Expect:");
    append("Content-Type:");
    return list;
}

CurlList BuildProxyHeaderList(const TransferSettings& settings) {
    if (settings.proxyAuthorization.empty()) {
        return nullptr;
    }
    const Text line = "Proxy-Authorization: " + settings.proxyAuthorization;
    return CurlList(curl_slist_append(nullptr, line.c_str()));
}

// A proxy address without a scheme, or with http://, names an HTTP proxy.
bool IsPlainHttpProxy(std::string_view server) {
    return server.find("://") == std::string_view::npos ||
           StartsWithIgnoringAsciiCase(server, "http://");
}

long DeadlineMs(const TransferSettings& settings) {
    return static_cast<long>(
        std::min<long long>(TransferDeadlineMs(settings.resolveMs, settings.connectMs,
                                               settings.sendMs, settings.receiveMs),
                            LONG_MAX));
}

}  // namespace

bool Abandoned(const AbandonCheck& check) {
    return check && check();
}

namespace {

// Sets options one after another and remembers whether every one was taken.
class Options {
  public:
    explicit Options(CURL* easy) : easy_(easy) {}
    template <typename Value>
    void Set(CURLoption option, Value value) {
        ok_ = ok_ && curl_easy_setopt(easy_, option, value) == CURLE_OK;
    }
    bool Ok() const { return ok_; }

  private:
    CURL* easy_;
    bool ok_ = true;
};

// Where the request goes, the watch over it and where its answer lands.
void SetTransferOptions(Options& set, const TransferSettings& settings, const Hop& hop,
                        Transfer& transfer) {
    set.Set(CURLOPT_URL, hop.url.c_str());
    set.Set(CURLOPT_PROTOCOLS_STR, "http,https");
    set.Set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set.Set(CURLOPT_FOLLOWLOCATION, 0L);
    set.Set(CURLOPT_NOSIGNAL, 1L);
    set.Set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set.Set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(settings.connectMs, 0)));
    set.Set(CURLOPT_TIMEOUT_MS, DeadlineMs(settings));
    set.Set(CURLOPT_NOPROGRESS, 0L);
    set.Set(CURLOPT_XFERINFOFUNCTION, WatchProgress);
    set.Set(CURLOPT_XFERINFODATA, &transfer);
    set.Set(CURLOPT_WRITEFUNCTION, ReceiveBody);
    set.Set(CURLOPT_WRITEDATA, &transfer);
    set.Set(CURLOPT_HEADERFUNCTION, ReceiveHeader);
    set.Set(CURLOPT_HEADERDATA, &transfer);
    set.Set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBodyBytes));
}

void SetProxyOptions(Options& set, const TransferSettings& settings, const CurlList& headers,
                     const CurlList& proxyHeaders) {
    set.Set(CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    set.Set(CURLOPT_HTTPHEADER, headers.get());
    set.Set(CURLOPT_PROXYHEADER, proxyHeaders.get());
    set.Set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (settings.proxySetting == kProxySettingDirect) {
        set.Set(CURLOPT_PROXY, "");
    } else if (settings.proxySetting == kProxySettingNamed) {
        set.Set(CURLOPT_PROXY, settings.proxyServer.c_str());
        set.Set(CURLOPT_NOPROXY, "");  // no environment bypass list
        if (IsPlainHttpProxy(settings.proxyServer)) {
            // Where the address names no port: the HTTP port, not libcurl's SOCKS-like 1080.
            set.Set(CURLOPT_PROXYPORT, 80L);
        }
    }
}

void SetTlsOptions(Options& set, const TransferSettings& settings) {
    set.Set(CURLOPT_SSL_VERIFYPEER, 1L);
    set.Set(CURLOPT_SSL_VERIFYHOST,
            (settings.sslIgnoreFlags & kIgnoreWrongHostName) != 0 ? 0L : 2L);
    set.Set(CURLOPT_SSL_CTX_FUNCTION, PrepareSslContext);
    set.Set(CURLOPT_SSL_CTX_DATA, &settings.sslIgnoreFlags);
    // A resumed session would skip the certificate check under the current flags.
    set.Set(CURLOPT_SSL_SESSIONID_CACHE, 0L);
}

void SetMethodOptions(Options& set, const Hop& hop) {
    const Text& method = hop.method;
    const ByteSet& body = hop.body;
    static const char kNoBody[] = "";
    auto setBody = [&] {
        set.Set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        set.Set(CURLOPT_POSTFIELDS, body.empty() ? static_cast<const void*>(kNoBody)
                                                 : static_cast<const void*>(body.data()));
    };
    if (method == "HEAD") {
        // Bytes a server sends after a HEAD answer would poison a reused connection.
        set.Set(CURLOPT_NOBODY, 1L);
        set.Set(CURLOPT_FORBID_REUSE, 1L);
    } else if (method == "CONNECT") {
        set.Set(CURLOPT_CUSTOMREQUEST, method.c_str());
        set.Set(CURLOPT_NOBODY, 1L);
        set.Set(CURLOPT_FORBID_REUSE, 1L);
    } else if (method == "GET" && body.empty()) {
        set.Set(CURLOPT_HTTPGET, 1L);
    } else if (method == "POST") {
        setBody();
    } else {
        set.Set(CURLOPT_CUSTOMREQUEST, method.c_str());
        if (!body.empty() || method == "PUT") {
            setBody();
        }
    }
}

}  // namespace

bool Perform(CURL* easy, const TransferSettings& settings, const Hop& hop, Transfer& transfer) {
    curl_easy_reset(easy);
    transfer.easy = easy;
    transfer.abandon = &settings.abandon;
    if (Abandoned(settings.abandon)) {
        return false;
    }
    transfer.sendMs = settings.sendMs;
    transfer.receiveMs = settings.receiveMs;
    transfer.lastMove = Clock::now();

    const CurlList headers = BuildHeaderList(hop);
    const CurlList proxyHeaders = BuildProxyHeaderList(settings);
    Options set(easy);
    SetTransferOptions(set, settings, hop, transfer);
    SetProxyOptions(set, settings, headers, proxyHeaders);
    SetTlsOptions(set, settings);
    SetMethodOptions(set, hop);
    const Text target = RequestTarget(hop.method, hop.url);
    if (!target.empty()) {
        set.Set(CURLOPT_REQUEST_TARGET, target.c_str());
    }
    return set.Ok() && curl_easy_perform(easy) == CURLE_OK;
}

}  // namespace tarnwick::curl
