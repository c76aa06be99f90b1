// The code-page conversions on arbitrary bytes: no crash or overrun in any code page, the
// result shapes hold, and valid input survives the way there and back.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "text/code_page.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

constexpr std::array<int, 9> kCodePages = {0, 936, 54936, 65001, 1200, 1252, 437, 12345, -1};

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool ValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            extra = 1;
            cp = b0 & 0x1FU;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            extra = 2;
            cp = b0 & 0x0FU;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            extra = 3;
            cp = b0 & 0x07U;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0U) != 0x80) {
                return false;
            }
            cp = (cp << 6U) | (b & 0x3FU);
        }
        const std::uint32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
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
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        if (utf16[i] == 0 && utf16[i + 1] == 0) {
            break;
        }
        units.push_back(static_cast<char>(utf16[i]));
        units.push_back(static_cast<char>(utf16[i + 1]));
    }
    return units;
}

bool HasReplacementUnit(const ByteSet& utf16) {
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        if (utf16[i] == 0xFD && utf16[i + 1] == 0xFF) {
            return true;
        }
    }
    return false;
}

bool WellPairedUnits(std::string_view units) {
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        const auto unit =
            static_cast<std::uint16_t>(static_cast<unsigned char>(units[i]) |
                                       (static_cast<unsigned char>(units[i + 1]) << 8U));
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= units.size()) {
                return false;
            }
            const auto next =
                static_cast<std::uint16_t>(static_cast<unsigned char>(units[i + 2]) |
                                           (static_cast<unsigned char>(units[i + 3]) << 8U));
            if (next < 0xDC00 || next > 0xDFFF) {
                return false;
            }
            i += 2;
        }
    }
    return true;
}

void CheckUtf16Shape(const ByteSet& utf16, std::string_view text) {
    if (text.empty()) {
        Check(utf16.empty(), "the empty text gives the empty ByteSet");
        return;
    }
    Check(utf16.size() >= 2 && utf16.size() % 2 == 0, "whole units");
    Check(utf16[utf16.size() - 1] == 0 && utf16[utf16.size() - 2] == 0, "ends in a zero unit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t pages = input.Byte();
    const int from = kCodePages[(pages & 0x0FU) % kCodePages.size()];
    const int to = kCodePages[(pages >> 4U) % kCodePages.size()];
    const std::string_view raw = input.Rest();

    // Arbitrary bytes, zero bytes included, in any code page: no crash, no overrun. (Without a
    // zero byte they are the Text below, which goes through the same calls.)
    const ExactCopy rawCopy(raw);
    if (raw.find('\0') != std::string_view::npos) {
        (void)CodePageToUtf16(rawCopy.View(), from);
        (void)AnsiToUtf8(rawCopy.View());
    }
    const ByteSet rawUnits(raw.begin(), raw.end());
    const Text back = Utf16ToCodePage(rawUnits, to);
    Check(back.find('\0') == Text::npos, "a Text never holds a zero byte");

    // As a Text (up to the first zero byte).
    const ExactCopy text(raw.substr(0, raw.find('\0')));
    const ByteSet units = CodePageToUtf16(text.View(), from);
    CheckUtf16Shape(units, text.View());
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
    if (!HasReplacementUnit(gbkUnits)) {
        const Text again = Utf16ToCodePage(gbkUnits, kCodePageGbk);
        if (again != text.View()) {
            Mismatch("code page 936 there and back", text.View(), again);
        }
        const Text viaUtf8 = Utf16ToCodePage(CodePageToUtf16(utf8, kCodePageUtf8), kCodePageGbk);
        if (viaUtf8 != text.View()) {
            Mismatch("code page 936 through UTF-8 and back", text.View(), viaUtf8);
        }
    }
    // Units without lone surrogates come back unchanged through UTF-8.
    const std::string rawUnitBytes = UnitsBeforeZero(rawUnits);
    if (WellPairedUnits(rawUnitBytes)) {
        const Text asUtf8 = Utf16ToCodePage(rawUnits, kCodePageUtf8);
        const std::string returned = UnitsBeforeZero(CodePageToUtf16(asUtf8, kCodePageUtf8));
        if (returned != rawUnitBytes) {
            Mismatch("UTF-16 through UTF-8 and back", rawUnitBytes, returned);
        }
    }
    return 0;
}
