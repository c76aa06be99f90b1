#include "web/curl/response.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "text/ascii.h"
#include "text/find.h"
#include "text/join.h"
#include "web/curl/request.h"
#include "web/curl/url_rules.h"
#include "web/header_fields.h"

namespace tarnwick::curl {

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

bool LengthsDisagree(const TextArray& lines) {
    const TextArray values = TextSplit(ResponseHeader(lines, "Content-Length"), ",");
    return std::any_of(values.begin(), values.end(), [&values](const Text& value) {
        return TrimOptionalWhitespace(value) != TrimOptionalWhitespace(values.front());
    });
}

Text JoinHeaderLines(const TextArray& lines) {
    return JoinTexts(lines, "\r\n");
}

}  // namespace tarnwick::curl
