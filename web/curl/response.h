// Reading a response from libcurl: the body and the header lines of the final answer, within
// the size limits.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <string_view>

#include "text/values.h"
#include "web/transfer_abandon.h"

namespace tarnwick::curl {

using Clock = std::chrono::steady_clock;

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

// CURLOPT_WRITEFUNCTION and CURLOPT_HEADERFUNCTION; their data is the Transfer.
extern "C" std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* user);
extern "C" std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* user);

Text JoinHeaderLines(const TextArray& lines);
// Whether the Content-Length lines give more than one value.
bool LengthsDisagree(const TextArray& lines);

}  // namespace tarnwick::curl
