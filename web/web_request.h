// WebRequest: the tool's one general-purpose HTTP routine.
#pragma once

#include <optional>
#include <string_view>

#include "text/values.h"
#include "web/request_object.h"

namespace tarnwick {

// WebRequest's method numbers: the names the tool uses of the eight it takes (3 to 7 are PUT,
// OPTIONS, DELETE, TRACE and CONNECT).
inline constexpr int kGetMethod = 0;
inline constexpr int kPostMethod = 1;
inline constexpr int kHeadMethod = 2;

// The optional arguments of WebRequest (all but the URL). A null pointer or an empty optional
// is an argument left out; the pointers are the caller's variables that the call writes.
struct WebRequestArgs {
    int method = kGetMethod;
    Text bodyText;
    Text* sendCookies = nullptr;      // in; in/out when the merge applies
    Text* receivedCookies = nullptr;  // out
    Text* headers = nullptr;          // in/out
    Text* responseHeaders = nullptr;  // out
    int* status = nullptr;            // out
    bool noRedirect = false;
    ByteSet bodyBytes;
    Text proxy;
    int timeoutSeconds = 0;
    Text proxyUser;
    Text proxyPassword;
    std::optional<int> proxyAuthMode;
    const RequestObjectRef* requestObject = nullptr;
    std::optional<bool> mergeCookies;
    // Not one of the settings above but the program's own: gives up the request, once it
    // answers true, on an object that the call creates (a caller's object has its own).
    AbandonCheck abandon;
};

ByteSet WebRequest(std::string_view url, const WebRequestArgs& args = {});

}  // namespace tarnwick
