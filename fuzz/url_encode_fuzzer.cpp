// UrlEncodeUtf8 with every option: the output is "%" and two upper-case digits per byte, plain
// only for the unreserved bytes when they are kept, and decoding it gives the bytes back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "text/code_page.h"
#include "text/url_encode.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

bool Unreserved(unsigned char byte) {
    return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
           (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;  // lower-case digits are wrong too
}

std::string Decode(std::string_view encoded, bool keepUnreserved) {
    std::string bytes;
    std::size_t i = 0;
    while (i < encoded.size()) {
        if (encoded[i] != '%') {
            Check(keepUnreserved && Unreserved(static_cast<unsigned char>(encoded[i])),
                  "a plain byte only when unreserved bytes are kept");
            bytes.push_back(encoded[i]);
            ++i;
            continue;
        }
        Check(i + 2 < encoded.size(), "two digits after every %");
        const int high = HexDigit(encoded[i + 1]);
        const int low = HexDigit(encoded[i + 2]);
        Check(high >= 0 && low >= 0, "upper-case hexadecimal digits");
        const auto byte = static_cast<unsigned char>(high * 16 + low);
        Check(!(keepUnreserved && Unreserved(byte)), "kept bytes are never encoded");
        bytes.push_back(static_cast<char>(byte));
        i += 3;
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const bool keepUnreserved = (flags & 1U) != 0;
    const bool toUtf8 = (flags & 2U) != 0;
    const ExactCopy text(input.Text());
    const Text encoded = UrlEncodeUtf8(text.View(), keepUnreserved, toUtf8);
    const std::string expected = toUtf8 ? AnsiToUtf8(text.View()) : std::string(text.View());
    const std::string decoded = Decode(encoded, keepUnreserved);
    if (decoded != expected) {
        Mismatch("UrlEncodeUtf8 decoded back", expected, decoded);
    }
    Check(keepUnreserved || encoded.size() == expected.size() * 3, "three characters per byte");
    Check(encoded.find('+') == Text::npos, "no byte becomes +");
    return 0;
}
