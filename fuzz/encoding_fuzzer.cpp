// Base64, percent-encoding and the code-page conversions on arbitrary bytes. The first byte
// picks the operation. There is no naive copy of these: each output is decoded strictly and
// must give the input back, and the conversions must survive the way there and back.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "text/base64.h"
#include "text/code_page.h"
#include "text/url_encode.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Four characters per group, "=" only as the padding of the last group, and the bits under the
// padding zero; anything else aborts.
std::string DecodeBase64(std::string_view encoded) {
    Check(encoded.size() % 4 == 0, "length is a multiple of four");
    std::string bytes;
    for (std::size_t group = 0; group < encoded.size(); group += 4) {
        std::uint32_t bits = 0;
        std::size_t padding = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = encoded[group + i];
            Check(c == '=' ? group + 4 == encoded.size() && i >= 2 : padding == 0,
                  "padding only at the end of the last group");
            const std::size_t value = c == '=' ? 0 : kAlphabet.find(c);
            Check(value != std::string_view::npos, "only alphabet characters");
            padding += c == '=' ? 1 : 0;
            bits = (bits << 6U) | static_cast<std::uint32_t>(value);
        }
        Check((bits & ((1U << (8 * padding)) - 1)) == 0, "bits under the padding are zero");
        for (std::size_t k = 0; k < 3 - padding; ++k) {
            bytes.push_back(static_cast<char>(bits >> (16 - 8 * k)));
        }
    }
    return bytes;
}

void Base64(std::string_view raw) {
    const Text encoded = Base64Encode(ByteSet(raw.begin(), raw.end()));
    Check(encoded.size() == (raw.size() + 2) / 3 * 4, "length is 4 * ceil(n / 3)");
    const std::size_t padding = (3 - raw.size() % 3) % 3;
    Check(encoded.find('=') == (padding == 0 ? Text::npos : encoded.size() - padding),
          "padding count follows n mod 3");
    if (DecodeBase64(encoded) != raw) {
        Mismatch("Base64Encode decoded back", raw, DecodeBase64(encoded));
    }
}

bool Unreserved(unsigned char byte) {
    return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
           (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

int HexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

void UrlEncode(FuzzInput& input) {
    const std::uint8_t flags = input.Byte();
    const bool keepUnreserved = (flags & 1U) != 0;
    const bool toUtf8 = (flags & 2U) != 0;
    const ExactCopy text(input.Text());
    const Text encoded = UrlEncodeUtf8(text.View(), keepUnreserved, toUtf8);
    const std::string expected = toUtf8 ? AnsiToUtf8(text.View()) : std::string(text.View());
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(encoded[i]);
        if (byte != '%') {
            Check(keepUnreserved && Unreserved(byte), "plain only when unreserved bytes are kept");
            decoded.push_back(encoded[i]);
            continue;
        }
        Check(i + 2 < encoded.size(), "two digits after every %");
        const int high = HexDigit(encoded[i + 1]);
        const int low = HexDigit(encoded[i + 2]);
        Check(high >= 0 && low >= 0, "upper-case hexadecimal digits");
        Check(!(keepUnreserved && Unreserved(static_cast<unsigned char>(high * 16 + low))),
              "kept bytes are never encoded");
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (decoded != expected) {
        Mismatch("UrlEncodeUtf8 decoded back", expected, decoded);
    }
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool ValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        const std::size_t extra = b0 < 0x80   ? 0
                                  : b0 < 0xC2 ? 9
                                  : b0 < 0xE0 ? 1
                                  : b0 < 0xF0 ? 2
                                  : b0 < 0xF5 ? 3
                                              : 9;
        if (extra == 9 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
            return false;
        }
        std::uint32_t cp = extra == 0 ? b0 : b0 & (0x3FU >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0U) != 0x80) {
                return false;
            }
            cp = (cp << 6U) | (b & 0x3FU);
        }
        const std::uint32_t least = extra == 0   ? 0
                                    : extra == 1 ? 0x80
                                    : extra == 2 ? 0x800
                                                 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// The units before the terminating zero unit, as raw little-endian bytes.
std::string UnitsBeforeZero(const ByteSet& utf16) {
    std::string units;
    for (std::size_t i = 0; i + 1 < utf16.size() && (utf16[i] != 0 || utf16[i + 1] != 0); i += 2) {
        units.push_back(static_cast<char>(utf16[i]));
        units.push_back(static_cast<char>(utf16[i + 1]));
    }
    return units;
}

std::uint16_t UnitAt(std::string_view units, std::size_t i) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(units[i]) |
                                      (static_cast<unsigned char>(units[i + 1]) << 8U));
}

bool WellPairedUnits(std::string_view units) {
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        const std::uint16_t unit = UnitAt(units, i);
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= units.size() || UnitAt(units, i + 2) < 0xDC00 ||
                UnitAt(units, i + 2) > 0xDFFF) {
                return false;
            }
            i += 2;
        }
    }
    return true;
}

void CodePages(FuzzInput& input) {
    constexpr std::array<int, 9> kCodePages = {0, 936, 54936, 65001, 1200, 1252, 437, 12345, -1};
    const std::uint8_t pages = input.Byte();
    const int from = kCodePages[(pages & 0x0FU) % kCodePages.size()];
    const int to = kCodePages[(pages >> 4U) % kCodePages.size()];
    const std::string_view raw = input.Rest();

    // Arbitrary bytes, zero bytes included, in any code page: no crash, no overrun.
    const ExactCopy rawCopy(raw);
    if (raw.find('\0') != std::string_view::npos) {
        (void)CodePageToUtf16(rawCopy.View(), from);
        (void)AnsiToUtf8(rawCopy.View());
    }
    const ByteSet rawUnits(raw.begin(), raw.end());
    Check(Utf16ToCodePage(rawUnits, to).find('\0') == Text::npos, "a Text holds no zero byte");

    const ExactCopy text(raw.substr(0, raw.find('\0')));
    const ByteSet units = CodePageToUtf16(text.View(), from);
    Check(text.View().empty() ? units.empty()
                              : units.size() >= 2 && units.size() % 2 == 0 &&
                                    units[units.size() - 1] == 0 && units[units.size() - 2] == 0,
          "whole units ending in a zero unit; nothing for the empty text");
    const Text utf8 = AnsiToUtf8(text.View());
    Check(ValidUtf8(utf8), "AnsiToUtf8 gives well-formed UTF-8");
    if (ValidUtf8(text.View())) {
        const Text again =
            Utf16ToCodePage(CodePageToUtf16(text.View(), kCodePageUtf8), kCodePageUtf8);
        if (again != text.View()) {
            Mismatch("UTF-8 there and back", text.View(), again);
        }
    }
    const ByteSet gbkUnits = CodePageToUtf16(text.View(), kCodePageGbk);
    const std::string gbkUnitBytes = UnitsBeforeZero(gbkUnits);
    bool replaced = false;
    for (std::size_t i = 0; i + 1 < gbkUnitBytes.size(); i += 2) {
        replaced = replaced || UnitAt(gbkUnitBytes, i) == 0xFFFD;
    }
    if (!replaced) {
        const Text again = Utf16ToCodePage(gbkUnits, kCodePageGbk);
        if (again != text.View()) {
            Mismatch("code page 936 there and back", text.View(), again);
        }
        const Text viaUtf8 = Utf16ToCodePage(CodePageToUtf16(utf8, kCodePageUtf8), kCodePageGbk);
        if (viaUtf8 != text.View()) {
            Mismatch("code page 936 through UTF-8 and back", text.View(), viaUtf8);
        }
    }
    const std::string rawUnitBytes = UnitsBeforeZero(rawUnits);
    if (WellPairedUnits(rawUnitBytes)) {
        const Text asUtf8 = Utf16ToCodePage(rawUnits, kCodePageUtf8);
        const std::string returned = UnitsBeforeZero(CodePageToUtf16(asUtf8, kCodePageUtf8));
        if (returned != rawUnitBytes) {
            Mismatch("UTF-16 through UTF-8 and back", rawUnitBytes, returned);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    switch (input.Byte() % 3U) {
        case 0:
            Base64(input.Rest());
            break;
        case 1:
            UrlEncode(input);
            break;
        default:
            CodePages(input);
            break;
    }
    return 0;
}
