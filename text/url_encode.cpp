#include "text/url_encode.h"

#include "text/ascii.h"
#include "text/code_page.h"

namespace tarnwick {

namespace {

bool IsUnreserved(unsigned char byte) {
    return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
           (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

Text PercentEncode(std::string_view bytes, KeepByte keep) {
    Text out(bytes.size() * 3, '%');
    char* o = out.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (keep(byte)) {
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

Text UrlEncodeUtf8(std::string_view text, bool keepUnreserved, bool toUtf8) {
    const KeepByte keep = keepUnreserved ? &IsUnreserved : [](unsigned char) { return false; };
    return toUtf8 && !text.empty() ? PercentEncode(AnsiToUtf8(text), keep)
                                   : PercentEncode(text, keep);
}

}  // namespace tarnwick
