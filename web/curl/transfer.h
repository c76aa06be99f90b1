// One HTTP exchange on a libcurl easy handle: the options of a request and the watch over its
// progress (time-outs and abandonment).
#pragma once

#include <curl/curl.h>

#include <memory>
#include <utility>
#include <vector>

#include "text/values.h"
#include "web/curl/response.h"
#include "web/request_object.h"
#include "web/transfer_abandon.h"

namespace tarnwick::curl {

struct CurlEasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

// The request header lines handed to the object, as name and value, in their order.
using HeaderLines = std::vector<std::pair<Text, Text>>;

// What the object keeps from call to call and applies to every transfer; the defaults are the
// Windows object's.
struct TransferSettings {
    int resolveMs = 0;
    int connectMs = 60000;
    int sendMs = 30000;
    int receiveMs = 30000;
    int proxySetting = kProxySettingDefault;
    Text proxyServer;
    Text proxyAuthorization;
    int sslIgnoreFlags = 0;
    AbandonCheck abandon;
};

// One request of the exchange: a redirect hop may change the method, drop the body and the
// credentials.
struct Hop {
    const Text& method;
    const Text& url;
    const ByteSet& body;
    const HeaderLines& headers;
    bool keepCredentials = true;
    bool keepBodyHeaders = true;
};

// Whether the check of settings has given the transfer up.
bool Abandoned(const AbandonCheck& check);

// Runs one request on easy (reset first) and fills transfer; false when it failed or was
// given up. settings must outlive the call.
bool Perform(CURL* easy, const TransferSettings& settings, const Hop& hop, Transfer& transfer);

}  // namespace tarnwick::curl
