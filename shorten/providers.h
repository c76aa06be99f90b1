// The three shortening services, numbered after the radio buttons that choose them.
#pragma once

#include <array>
#include <string_view>

#include "shorten/hosts.h"
#include "web/web_request.h"

namespace tarnwick {

enum class ShortLinkProvider { kProvider1 = 1, kProvider2 = 2, kProvider3 = 3 };

// How the long address travels to the service.
enum class AddressEncoding {
    kBase64,            // Base64 of its bytes; "+", "/" and "=" go into the query unescaped
    kAsTyped,           // the bytes exactly as typed
    kPercentEveryByte,  // every byte as "%" and two upper-case hex digits, in the local code page
};

// Provider 1's shortening request carries a browser's XMLHttpRequest header block, so the
// defaults of WebRequest add nothing to it. No CR LF after the last line.
// clang-format off
inline constexpr std::string_view kProvider1HeaderBlock =
    "Host: " TARNWICK_PROVIDER1_HOST "\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/52.0.2743.82 Safari/537.36\r\n"
    "Accept: application/json, text/javascript, */*; q=0.01\r\n"
    "Accept-Language: en-US,en;q=0.8\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "X-Requested-With: XMLHttpRequest\r\n"
    "Referer: http://" TARNWICK_PROVIDER1_HOST "/\r\n"
    "DNT: 1\r\n"
    "Connection: close";
// clang-format on

struct ProviderInfo {
    std::string_view host;     // served over plain http
    std::string_view caption;  // the radio button's text: the service's domain name
    // Visited first, only for the cookies it sets.
    std::string_view homePage;
    AddressEncoding encoding;
    // WebRequest's method number of the shortening request, GET or POST. A GET carries the
    // encoded address in its query, between shortenAddress and queryAfter; a POST carries it in
    // its form body, between formBefore and formAfter, and shortenAddress is the whole address.
    int method;
    std::string_view shortenAddress;
    std::string_view queryAfter;
    std::string_view formBefore;
    std::string_view formAfter;
    std::string_view headerBlock;  // empty: no header lines of our own
    // The link sits between these markers; an empty left marker means the whole answer is it.
    std::string_view leftMarker;
    std::string_view rightMarker;
    bool removeBackslashes;  // the JSON answers escape their slashes
};

// Host names chosen at build time; the services behind them answer in the formats the jobs
// expect.
inline constexpr std::array<ProviderInfo, 3> kProviders{{
    {TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER1_CAPTION, "http://" TARNWICK_PROVIDER1_HOST "/",
     AddressEncoding::kBase64, kGetMethod, "http://" TARNWICK_PROVIDER1_HOST "/api.php?from=w&url=",
     "&site=sina", "", "", kProvider1HeaderBlock, "short_url\":\"", "\"", true},
    {TARNWICK_PROVIDER2_HOST, TARNWICK_PROVIDER2_CAPTION, "http://" TARNWICK_PROVIDER2_HOST "/",
     AddressEncoding::kAsTyped, kGetMethod, "http://" TARNWICK_PROVIDER2_HOST "/api.php?url=", "",
     "", "", "", "", "", false},
    // This service's home page is asked for without the trailing slash.
    {TARNWICK_PROVIDER3_HOST, TARNWICK_PROVIDER3_CAPTION, "http://" TARNWICK_PROVIDER3_HOST,
     AddressEncoding::kPercentEveryByte, kPostMethod,
     "http://" TARNWICK_PROVIDER3_HOST "/index.php?m=index&a=create", "",
     "url=", "&alias=&pwd=&access_type=web", "", "tinyurl\":\"", "\"", true},
}};

inline constexpr const ProviderInfo& Provider(ShortLinkProvider provider) {
    return kProviders[static_cast<std::size_t>(provider) - 1];
}

}  // namespace tarnwick
