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
    // A last guard for a server that keeps a transfer alive by dripping bytes.
    if (settings.sendMs <= 0 || settings.receiveMs <= 0) {
        return 0;
    }
    const long long total = static_cast<long long>(std::max(settings.resolveMs, 0)) +
                            std::max(settings.connectMs, 0) + settings.sendMs + settings.receiveMs;
    return static_cast<long>(std::min<long long>(total, LONG_MAX));
}

}  // namespace

bool Abandoned(const AbandonCheck& check) {
    return check && check();
}

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
    bool ok = true;
    auto set = [&ok](CURLcode rc) { ok = ok && rc == CURLE_OK; };

    set(curl_easy_setopt(easy, CURLOPT_URL, hop.url.c_str()));
    set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L));
    set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
    set(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(std::max(settings.connectMs, 0))));
    set(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, DeadlineMs(settings)));
    set(curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L));
    set(curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, WatchProgress));
    set(curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer));
    set(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, ReceiveBody));
    set(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer));
    set(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReceiveHeader));
    set(curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer));
    set(curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(kMaxResponseBodyBytes)));
    set(curl_easy_setopt(easy, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE));
    set(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get()));
    set(curl_easy_setopt(easy, CURLOPT_PROXYHEADER, proxyHeaders.get()));
    set(curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L));

    if (settings.proxySetting == kProxySettingDirect) {
        set(curl_easy_setopt(easy, CURLOPT_PROXY, ""));
    } else if (settings.proxySetting == kProxySettingNamed) {
        set(curl_easy_setopt(easy, CURLOPT_PROXY, settings.proxyServer.c_str()));
        set(curl_easy_setopt(easy, CURLOPT_NOPROXY, ""));  // no environment bypass list
        if (IsPlainHttpProxy(settings.proxyServer)) {
            // Where the address names no port: the HTTP port, not libcurl's SOCKS-like 1080.
            set(curl_easy_setopt(easy, CURLOPT_PROXYPORT, 80L));
        }
    }

    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                         (settings.sslIgnoreFlags & kIgnoreWrongHostName) != 0 ? 0L : 2L));
    set(curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, PrepareSslContext));
    set(curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &settings.sslIgnoreFlags));
    // A resumed session would skip the certificate check under the current flags.
    set(curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L));

    const Text& method = hop.method;
    const ByteSet& body = hop.body;
    static const char kNoBody[] = "";
    auto setBody = [&] {
        set(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body.size())));
        set(curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                             body.empty() ? static_cast<const void*>(kNoBody)
                                          : static_cast<const void*>(body.data())));
    };
    if (method == "HEAD") {
        // Bytes a server sends after a HEAD answer would poison a reused connection.
        set(curl_easy_setopt(easy, CURLOPT_NOBODY, 1L));
        set(curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L));
    } else if (method == "CONNECT") {
        set(curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str()));
        set(curl_easy_setopt(easy, CURLOPT_NOBODY, 1L));
        set(curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L));
    } else if (method == "GET" && body.empty()) {
        set(curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L));
    } else if (method == "POST") {
        setBody();
    } else {
        set(curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str()));
        if (!body.empty() || method == "PUT") {
            setBody();
        }
    }
    const Text target = RequestTarget(method, hop.url);
    if (!target.empty()) {
        set(curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, target.c_str()));
    }
    return ok && curl_easy_perform(easy) == CURLE_OK;
}

}  // namespace tarnwick::curl
