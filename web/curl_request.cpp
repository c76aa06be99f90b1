#include "web/curl_request.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "text/code_page.h"
#include "web/content_decoding.h"
#include "web/transfer_abandon.h"

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

struct CurlEasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;

struct CurlUrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlCleanup>;

struct CurlFree {
    void operator()(char* text) const { curl_free(text); }
};
using CurlString = std::unique_ptr<char, CurlFree>;

constexpr int kAllIgnoreFlags =
    kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreWrongHostName | kIgnoreInvalidDate;
constexpr int kChainIgnoreFlags = kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreInvalidDate;

// Where the certificate flags of a connection travel with its SSL_CTX to the verify callback.
int sslFlagsIndex = -1;
std::once_flag globalSetUp;

// ---- Text helpers -------------------------------------------------------------------------

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

bool IsTokenChar(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return IsTokenChar(static_cast<unsigned char>(c));
    });
}

// A header value may hold any byte but those that would end the line.
bool IsFieldValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string_view TrimOptionalWhitespace(std::string_view value) {
    const std::size_t begin = value.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    const std::size_t end = value.find_last_not_of(" \t");
    return value.substr(begin, end - begin + 1);
}

bool HasHighBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The URL as the wire needs it: the tool's code page turned into UTF-8, and every byte that
// may not stand in a URL (controls, spaces, non-ASCII) percent-encoded.
Text EscapeUrl(std::string_view url) {
    const Text utf8 = HasHighBytes(url) ? AnsiToUtf8(url) : Text(url);
    static constexpr char kHex[] = "0123456789ABCDEF";
    Text escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            escaped.push_back('%');
            escaped.push_back(kHex[byte >> 4]);
            escaped.push_back(kHex[byte & 0x0F]);
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

struct UrlParts {
    Text scheme;
    Text host;
    Text port;
};

Text UrlPart(CURLU* url, CURLUPart part, unsigned int flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK) {
        return {};
    }
    const CurlString owned(raw);
    return Text(owned.get());
}

// An absolute http or https URL with a host; nullopt for anything else.
std::optional<UrlParts> ParseHttpUrl(const Text& url) {
    const CurlUrl handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    UrlParts parts{UrlPart(handle.get(), CURLUPART_SCHEME), UrlPart(handle.get(), CURLUPART_HOST),
                   UrlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT)};
    const bool web =
        EqualsIgnoreCase(parts.scheme, "http") || EqualsIgnoreCase(parts.scheme, "https");
    if (!web || parts.host.empty()) {
        return std::nullopt;
    }
    return parts;
}

// An OPTIONS request for a URL with neither path nor query asks about the server as a whole.
bool WantsAsteriskTarget(std::string_view url) {
    const std::size_t authority = url.find("://");
    if (authority == std::string_view::npos) {
        return false;
    }
    const std::size_t after = url.find_first_of("/?#", authority + 3);
    return after == std::string_view::npos || url[after] == '#';
}

// The request target when it is not the URL's path: the authority for CONNECT, "*" for a
// server-wide OPTIONS.
Text RequestTarget(const Text& method, const Text& url) {
    if (method == "CONNECT") {
        const std::optional<UrlParts> parts = ParseHttpUrl(url);
        return parts ? parts->host + ":" + parts->port : Text();
    }
    if (method == "OPTIONS" && WantsAsteriskTarget(url)) {
        return Text(1, '*');
    }
    return {};
}

bool IsFollowedStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Credentials and the Host line go with a redirect only to the same host, and never from https
// down to plain http.
bool KeepsCredentials(const UrlParts& first, const UrlParts& next) {
    const bool downgrade =
        EqualsIgnoreCase(first.scheme, "https") && EqualsIgnoreCase(next.scheme, "http");
    return EqualsIgnoreCase(first.host, next.host) && !downgrade;
}

bool IsCredentialHeader(std::string_view name) {
    return EqualsIgnoreCase(name, "Cookie") || EqualsIgnoreCase(name, "Authorization") ||
           EqualsIgnoreCase(name, "Host");
}

// ---- Certificates -------------------------------------------------------------------------

bool IsIgnored(int flags, int error) {
    switch (error) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return (flags & kIgnoreUnknownCa) != 0;
        case X509_V_ERR_INVALID_PURPOSE:
        case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
        case X509_V_ERR_KEYUSAGE_NO_DIGITAL_SIGNATURE:
            return (flags & kIgnoreWrongUsage) != 0;
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
        case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
            return (flags & kIgnoreInvalidDate) != 0;
        case X509_V_ERR_HOSTNAME_MISMATCH:
            return (flags & kIgnoreWrongHostName) != 0;
        default:
            return false;
    }
}

extern "C" int VerifyCertificate(int preverifyOk, X509_STORE_CTX* store) {
    if (preverifyOk == 1) {
        return 1;
    }
    const auto* ssl = static_cast<const SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (ssl == nullptr) {
        return 0;
    }
    const auto flags = static_cast<int>(
        reinterpret_cast<std::intptr_t>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), sslFlagsIndex)));
    if (!IsIgnored(flags, X509_STORE_CTX_get_error(store))) {
        return 0;
    }
    // Cleared, so that the verify result the handshake leaves behind reads as passed.
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

// libcurl only switches peer and host checks as a whole; the finer flags are the verify
// callback's work.
extern "C" CURLcode PrepareSslContext(CURL*, void* sslContext, void* userData) {
    const int flags = *static_cast<const int*>(userData);
    if ((flags & kChainIgnoreFlags) != 0) {
        auto* context = static_cast<SSL_CTX*>(sslContext);
        // OpenSSL's per-context slot holds a pointer; the flags travel in it as a number.
        SSL_CTX_set_ex_data(context, sslFlagsIndex,
                            // NOLINTNEXTLINE(performance-no-int-to-ptr)
                            reinterpret_cast<void*>(static_cast<std::intptr_t>(flags)));
        SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), VerifyCertificate);
    }
    return CURLE_OK;
}

// ---- One transfer ---------------------------------------------------------------------------

// What the callbacks of one libcurl transfer collect and watch.
struct Transfer {
    CURL* easy = nullptr;
    const AbandonCheck* abandon = nullptr;
    int sendMs = 0;
    int receiveMs = 0;
    ByteSet body;
    TextArray headerLines;
    std::size_t headerBytes = 0;
    bool expectStatusLine = true;
    Clock::time_point lastMove = Clock::now();
    curl_off_t bytesMoved = -1;
};

extern "C" std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (bytes > kMaxResponseBodyBytes - transfer.body.size()) {
        return 0;  // a short count ends the transfer as failed
    }
    if (transfer.body.empty()) {
        curl_off_t announced = -1;
        curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0) {
            transfer.body.reserve(
                std::min(static_cast<std::size_t>(announced), kMaxResponseBodyBytes));
        }
    }
    const auto* begin = reinterpret_cast<const std::uint8_t*>(data);
    transfer.body.insert(transfer.body.end(), begin, begin + bytes);
    return bytes;
}

extern "C" std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    transfer.lastMove = Clock::now();
    std::string_view line(data, bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.empty()) {
        transfer.expectStatusLine = true;
        return bytes;
    }
    // Every hop, 1xx reply and proxy answer begins with a status line; only the last counts.
    if (transfer.expectStatusLine && line.substr(0, 5) == "HTTP/") {
        transfer.headerLines.clear();
        transfer.headerBytes = bytes;
        transfer.expectStatusLine = false;
        return bytes;
    }
    transfer.expectStatusLine = false;
    transfer.headerBytes += bytes;
    if (transfer.headerBytes > kMaxResponseHeaderBytes) {
        return 0;
    }
    Text clean;
    clean.reserve(line.size());
    for (const char c : line) {
        if (c != '\0') {
            clean.push_back(c);
        }
    }
    transfer.headerLines.push_back(std::move(clean));
    return bytes;
}

bool Abandoned(const Transfer& transfer) {
    return transfer.abandon != nullptr && *transfer.abandon && (*transfer.abandon)();
}

// Abandons a transfer that nobody wants any more, or that moves no byte for the send or receive
// time-out. The connection phase is left to the connect time-out.
extern "C" int WatchProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t uploadTotal,
                             curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (Abandoned(transfer)) {
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

// ---- The object -----------------------------------------------------------------------------

class CurlRequest final : public RequestObject {
  public:
    explicit CurlRequest(CurlEasy easy) : easy_(std::move(easy)) {}

    bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        resolveMs_ = resolveMs;
        connectMs_ = connectMs;
        sendMs_ = sendMs;
        receiveMs_ = receiveMs;
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
        proxySetting_ = setting;
        proxyServer_ = setting == kProxySettingNamed ? Text(server) : Text();
        // Credentials belong to the proxy they were given for.
        proxyAuthorization_.clear();
        return true;
    }

    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        if (!IsToken(name) || !IsFieldValue(value)) {
            return false;
        }
        value = TrimOptionalWhitespace(value);
        if (EqualsIgnoreCase(name, "Proxy-Authorization")) {
            // Kept apart from the request headers: it goes to the proxy and nowhere else.
            proxyAuthorization_ = Text(value);
            return true;
        }
        // The object frames the body itself; a second length would let the two disagree.
        if (!opened_ || EqualsIgnoreCase(name, "Content-Length") ||
            EqualsIgnoreCase(name, "Transfer-Encoding")) {
            return false;
        }
        headers_.emplace_back(Text(name), Text(value));
        return true;
    }

    bool Open(std::string_view method, std::string_view url, bool async) override {
        opened_ = false;
        headers_.clear();
        ClearResponse();
        if (async || !IsToken(method)) {
            return false;
        }
        Text escaped = EscapeUrl(url);
        if (!ParseHttpUrl(escaped)) {
            return false;
        }
        method_ = Text(method);
        url_ = std::move(escaped);
        opened_ = true;
        return true;
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
            if (value != sslIgnoreFlags_) {
                // Connections kept from earlier requests were checked under the old flags.
                CurlEasy fresh(curl_easy_init());
                if (!fresh) {
                    return false;
                }
                easy_ = std::move(fresh);
                sslIgnoreFlags_ = value;
            }
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
        if (!Exchange(body)) {
            ClearResponse();
            return false;
        }
        return true;
    }

    ByteSet ResponseBody() override { return body_; }

    Text GetAllResponseHeaders() override {
        Text joined;
        for (std::size_t i = 0; i < headerLines_.size(); ++i) {
            if (i > 0) {
                joined.append("\r\n");
            }
            joined.append(headerLines_[i]);
        }
        return joined;
    }

    int Status() override { return status_; }

    void SetAbandonCheck(AbandonCheck check) override { abandon_ = std::move(check); }

  private:
    void ClearResponse() {
        body_.clear();
        headerLines_.clear();
        status_ = 0;
    }

    Text ResponseHeader(const TextArray& lines, std::string_view name) const {
        Text values;
        for (const Text& line : lines) {
            const std::size_t colon = line.find(':');
            if (colon != Text::npos &&
                EqualsIgnoreCase(TrimOptionalWhitespace(std::string_view(line).substr(0, colon)),
                                 name)) {
                if (!values.empty()) {
                    values.push_back(',');
                }
                values.append(TrimOptionalWhitespace(std::string_view(line).substr(colon + 1)));
            }
        }
        return values;
    }

    // Follows redirects itself, so that each hop's method, body and credentials are decided
    // here: libcurl would keep a custom method after a 303 and leaves the hop count unlimited.
    bool Exchange(const ByteSet& body) {
        const std::optional<UrlParts> first = ParseHttpUrl(url_);
        if (!first) {
            return false;
        }
        Text method = method_;
        Text url = url_;
        bool withBody = true;
        bool keepCredentials = true;
        for (int redirects = 0;; ++redirects) {
            Transfer transfer;
            const ByteSet noBody;
            if (!Perform(method, url, withBody ? body : noBody, keepCredentials, transfer)) {
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
            keepCredentials = KeepsCredentials(*first, *nextParts);
            url = next;
        }
    }

    bool Finish(long status, Transfer transfer) {
        const Text encoding = ResponseHeader(transfer.headerLines, "Content-Encoding");
        std::optional<ByteSet> body =
            encoding.empty() ? std::optional<ByteSet>(std::move(transfer.body))
                             : DecodeContent(encoding, transfer.body, kMaxResponseBodyBytes);
        if (!body) {
            return false;
        }
        body_ = std::move(*body);
        headerLines_ = std::move(transfer.headerLines);
        status_ = static_cast<int>(std::clamp<long>(status, 0, INT_MAX));
        return true;
    }

    CurlList BuildHeaderList(bool keepCredentials) const {
        CurlList list;
        auto append = [&list](const Text& line) {
            curl_slist* grown = curl_slist_append(list.get(), line.c_str());
            if (grown != nullptr) {
                static_cast<void>(list.release());  // grown is the same list, longer by one
                list.reset(grown);
            }
        };
        for (const auto& [name, value] : headers_) {
            if (!keepCredentials && IsCredentialHeader(name)) {
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

    CurlList BuildProxyHeaderList() const {
        if (proxyAuthorization_.empty()) {
            return nullptr;
        }
        const Text line = "Proxy-Authorization: " + proxyAuthorization_;
        return CurlList(curl_slist_append(nullptr, line.c_str()));
    }

    long DeadlineMs() const {
        // A last guard for a server that keeps a transfer alive by dripping bytes.
        if (sendMs_ <= 0 || receiveMs_ <= 0) {
            return 0;
        }
        const long long total = static_cast<long long>(std::max(resolveMs_, 0)) +
                                std::max(connectMs_, 0) + sendMs_ + receiveMs_;
        return static_cast<long>(std::min<long long>(total, LONG_MAX));
    }

    bool Perform(const Text& method, const Text& url, const ByteSet& body, bool keepCredentials,
                 Transfer& transfer) {
        CURL* easy = easy_.get();
        curl_easy_reset(easy);
        transfer.easy = easy;
        transfer.abandon = &abandon_;
        if (Abandoned(transfer)) {
            return false;
        }
        transfer.sendMs = sendMs_;
        transfer.receiveMs = receiveMs_;
        transfer.lastMove = Clock::now();

        const CurlList headers = BuildHeaderList(keepCredentials);
        const CurlList proxyHeaders = BuildProxyHeaderList();
        bool ok = true;
        auto set = [&ok](CURLcode rc) { ok = ok && rc == CURLE_OK; };

        set(curl_easy_setopt(easy, CURLOPT_URL, url.c_str()));
        set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
        set(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
        set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L));
        set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
        set(curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
        set(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                             static_cast<long>(std::max(connectMs_, 0))));
        set(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, DeadlineMs()));
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

        if (proxySetting_ == kProxySettingDirect) {
            set(curl_easy_setopt(easy, CURLOPT_PROXY, ""));
        } else if (proxySetting_ == kProxySettingNamed) {
            set(curl_easy_setopt(easy, CURLOPT_PROXY, proxyServer_.c_str()));
            set(curl_easy_setopt(easy, CURLOPT_NOPROXY, ""));  // no environment bypass list
        }

        set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
        set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                             (sslIgnoreFlags_ & kIgnoreWrongHostName) != 0 ? 0L : 2L));
        set(curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, PrepareSslContext));
        set(curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &sslIgnoreFlags_));
        // A resumed session would skip the certificate check under the current flags.
        set(curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L));

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
        const Text target = RequestTarget(method, url);
        if (!target.empty()) {
            set(curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, target.c_str()));
        }
        return ok && curl_easy_perform(easy) == CURLE_OK;
    }

    CurlEasy easy_;
    // Settings that outlive Open; the defaults are the Windows object's.
    int resolveMs_ = 0;
    int connectMs_ = 60000;
    int sendMs_ = 30000;
    int receiveMs_ = 30000;
    int proxySetting_ = kProxySettingDefault;
    Text proxyServer_;
    Text proxyAuthorization_;
    bool followRedirects_ = true;
    int sslIgnoreFlags_ = 0;
    AbandonCheck abandon_;
    // The opened request.
    bool opened_ = false;
    Text method_;
    Text url_;
    std::vector<std::pair<Text, Text>> headers_;
    // The final response.
    ByteSet body_;
    TextArray headerLines_;
    int status_ = 0;
};

}  // namespace

void PrepareWebAccess() {
    std::call_once(globalSetUp, [] {
        // A peer that closes early must end a write with an error, not the process.
        std::signal(SIGPIPE, SIG_IGN);
        curl_global_init(CURL_GLOBAL_DEFAULT);
        sslFlagsIndex = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    });
}

RequestObjectRef MakeCurlRequest() {
    PrepareWebAccess();
    CurlEasy easy(curl_easy_init());
    if (!easy) {
        return nullptr;
    }
    return std::make_shared<CurlRequest>(std::move(easy));
}

}  // namespace tarnwick
