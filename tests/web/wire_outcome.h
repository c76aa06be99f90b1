// What one WebRequest did, as one string a row can be held against, for the wire suites of both
// request objects.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "web/com.h"
#include "web/web_request.h"

namespace tarnwick::test {

using Wants = std::vector<std::string>;

// The outcome of a request that failed.
inline const Wants kFailed = {"=|0||"};

// The first expectation that text does not meet, or "" when it meets them all. "=x": text is
// x; "^x": starts with x; "$x": ends with x; "!x": holds no x; anything else: holds it.
inline std::string Unmet(std::string_view text, const Wants& wants) {
    for (const std::string& want : wants) {
        const std::string_view x = std::string_view(want).substr(1);
        const bool met = want[0] == '='   ? text == x
                         : want[0] == '^' ? text.starts_with(x)
                         : want[0] == '$' ? text.ends_with(x)
                         : want[0] == '!' ? text.find(x) == std::string_view::npos
                                          : text.find(want) != std::string_view::npos;
        if (!met) {
            return want;
        }
    }
    return "";
}

// "body|status|cookies|headers" of one WebRequest.
inline std::string Fetch(std::string_view url, WebRequestArgs args = {}) {
    Text headers = "unset";
    Text cookies = "unset";
    int status = -1;
    args.responseHeaders = &headers;
    args.status = &status;
    args.receivedCookies = &cookies;
    const ByteSet body = WebRequest(url, args);
    return std::string(body.begin(), body.end()) + "|" + std::to_string(status) + "|" + cookies +
           "|" + headers;
}

// An object of the caller's own, made inside the caller's COM scope.
inline RequestObjectRef NewObject(int timeoutMs = 5000) {
    RequestObjectRef object;
    EXPECT_TRUE(ObjectCreate(object, kRequestObjectProgId));
    if (object) {
        object->SetTimeouts(timeoutMs, timeoutMs, timeoutMs, timeoutMs);
    }
    return object;
}

}  // namespace tarnwick::test
