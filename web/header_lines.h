// The header texts of WebRequest: lines of the form Name: value, separated by CR LF.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// The trimmed text before the first ":", or "" when there is none.
Text HeaderName(std::string_view line);
// The trimmed text after the first ":", or "" when there is none.
Text HeaderValue(std::string_view line);
// The text before the first separator at or after start (0 or below: 1), or "".
Text TextBefore(std::string_view text, std::string_view separator, int start = 1,
                bool ignoreCase = false);

// Completes a request header text with the default lines whose markers it lacks; a POST also
// gets its "content-type" spelled "Content-Type" and the form Content-Type line.
void CompleteRequestHeaders(Text& headers, std::string_view url, bool post);

// The name=value items of the "Set-Cookie" lines of a response header text, joined by "; ".
Text CollectSetCookies(std::string_view responseHeaders);

}  // namespace tarnwick
