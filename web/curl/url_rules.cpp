#include "web/curl/url_rules.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "text/ascii.h"
#include "text/code_page.h"
#include "text/scan.h"
#include "text/url_encode.h"

namespace tarnwick::curl {

namespace {

struct CurlUrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlCleanup>;

struct CurlFree {
    void operator()(char* text) const { curl_free(text); }
};
using CurlString = std::unique_ptr<char, CurlFree>;

Text UrlPart(CURLU* url, CURLUPart part, unsigned int flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK) {
        return {};
    }
    const CurlString owned(raw);
    return Text(owned.get());
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

}  // namespace

bool HasHighBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool IsSafeUrl(std::string_view url) {
    const auto isControl = [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F;
    };
    for (std::size_t i = 0; i < url.size();) {
        // A lead byte needs its trail byte, and neither byte may be a control.
        const std::size_t length = scan::CharLength(url.data(), i, url.size());
        if (length == 0 || isControl(url[i]) || (length == 2 && isControl(url[i + 1]))) {
            return false;
        }
        i += length;
    }
    return true;
}

Text EscapeUrl(std::string_view url) {
    // Spaces, control bytes and everything outside ASCII; the rest is the URL's own syntax.
    return PercentEncode(HasHighBytes(url) ? AnsiToUtf8(url) : Text(url),
                         [](unsigned char byte) { return byte > 0x20 && byte < 0x7F; });
}

std::optional<UrlParts> ParseHttpUrl(const Text& url) {
    const CurlUrl handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    UrlParts parts{UrlPart(handle.get(), CURLUPART_SCHEME), UrlPart(handle.get(), CURLUPART_HOST),
                   UrlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT)};
    const bool web = EqualsIgnoringAsciiCase(parts.scheme, "http") ||
                     EqualsIgnoringAsciiCase(parts.scheme, "https");
    if (!web || parts.host.empty()) {
        return std::nullopt;
    }
    return parts;
}

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

bool IsSameOrigin(const UrlParts& first, const UrlParts& next) {
    return EqualsIgnoringAsciiCase(first.scheme, next.scheme) &&
           EqualsIgnoringAsciiCase(first.host, next.host) && first.port == next.port;
}

bool IsCredentialHeader(std::string_view name) {
    return EqualsIgnoringAsciiCase(name, "Cookie") ||
           EqualsIgnoringAsciiCase(name, "Authorization") || EqualsIgnoringAsciiCase(name, "Host");
}

bool IsBodyHeader(std::string_view name) {
    return EqualsIgnoringAsciiCase(name, "Content-Type") ||
           EqualsIgnoringAsciiCase(name, "Content-Encoding") ||
           EqualsIgnoringAsciiCase(name, "Content-Language") ||
           EqualsIgnoringAsciiCase(name, "Content-Location");
}

}  // namespace tarnwick::curl
