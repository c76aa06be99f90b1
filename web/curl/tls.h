// Certificate checks of the libcurl object: which verification errors each ignore flag of
// option 4 lets pass.
#pragma once

#include <curl/curl.h>

#include "web/request_object.h"

namespace tarnwick::curl {

inline constexpr int kAllIgnoreFlags =
    kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreWrongHostName | kIgnoreInvalidDate;

// Once per process, before any transfer.
void PrepareTls();

// The CURLOPT_SSL_CTX_FUNCTION of every transfer; its data is the int of ignore flags, which
// must outlive the transfer.
extern "C" CURLcode PrepareSslContext(CURL* easy, void* sslContext, void* userData);

}  // namespace tarnwick::curl
