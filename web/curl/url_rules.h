// The libcurl object's rules for URLs and request header lines: what it accepts, how a URL
// goes on the wire, and which lines follow a redirect.
#pragma once

#include <optional>
#include <string_view>

#include "text/values.h"
#include "web/header_fields.h"

namespace tarnwick::curl {

bool HasHighBytes(std::string_view text);

// A URL without control bytes and without a double-byte character cut off at its end: either
// would break the header lines the URL ends up in (it is the default Referer).
bool IsSafeUrl(std::string_view url);

// The URL as the wire needs it: the tool's code page turned into UTF-8, and every byte that
// may not stand in a URL (controls, spaces, non-ASCII) percent-encoded.
Text EscapeUrl(std::string_view url);

struct UrlParts {
    Text scheme;
    Text host;
    Text port;
};

// An absolute http or https URL with a host; nullopt for anything else.
std::optional<UrlParts> ParseHttpUrl(const Text& url);

// The request target when it is not the URL's path: the authority for CONNECT, "*" for a
// server-wide OPTIONS; "" otherwise.
Text RequestTarget(const Text& method, const Text& url);

bool IsFollowedStatus(long status);
// Credentials and the Host line go on from the first URL of a request only to its own origin:
// the same scheme, host and port.
bool IsSameOrigin(const UrlParts& first, const UrlParts& next);
bool IsCredentialHeader(std::string_view name);
// The lines that describe a request body, dropped with the body when a redirect turns the
// request into a GET.
bool IsBodyHeader(std::string_view name);

}  // namespace tarnwick::curl
