#include "text/url_encode.h"

#include <array>

#include "text/ascii.h"
#include "text/code_page.h"

namespace tarnwick {

namespace {

bool IsUnreserved(unsigned char byte) {
    return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
           (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

Text UrlEncodeUtf8(std::string_view text, bool keepUnreserved, bool toUtf8) {
    if (text.empty()) {
        return {};
    }
    Text utf8;
    if (toUtf8) {
        utf8 = AnsiToUtf8(text);
        text = utf8;
    }
    Text out(text.size() * 3, '%');
    char* o = out.data();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (keepUnreserved && IsUnreserved(byte)) {
            *o++ = c;
            continue;
        }
        o[1] = HexDigit(byte >> 4U);
        o[2] = HexDigit(byte);
        o += 3;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

}  // namespace tarnwick
