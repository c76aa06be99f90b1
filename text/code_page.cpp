// The rules of the conversions, the same on every system: how the UTF-16 buffer is sized and
// terminated, and what stands in for what a code page cannot hold. The system's own
// conversions (code_page_system.h) do the rest.
#include "text/code_page.h"

#include <algorithm>
#include <cstring>

#include "text/code_page_system.h"

namespace tarnwick {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

int SystemCodePage(int codePage) {
    return codePage == kCodePageAnsi ? kCodePageGbk : codePage;
}

}  // namespace

ByteSet CodePageToUtf16(std::string_view text, int codePage) {
    if (text.empty()) {
        return {};
    }
    const int system = SystemCodePage(codePage);
    const std::u16string units = DecodeToUtf16(text, system);
    // The buffer is sized for the text read in the ANSI code page; units that another code page
    // does not need stay zero, and a code page that needs more still gets all of them.
    std::size_t count = units.size() + 1;
    if (system != kCodePageGbk) {
        count = std::max(count, DecodeToUtf16(text, kCodePageGbk).size() + 1);
    }
    ByteSet result(count * 2, 0);
    for (std::size_t i = 0; i < units.size(); ++i) {
        result[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
        result[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
    }
    return result;
}

Text Utf16ToCodePage(const ByteSet& utf16, int codePage) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const auto unit = static_cast<char16_t>(utf16[i] | utf16[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    if (units.empty()) {
        return {};
    }
    const int system = SystemCodePage(codePage);
    const std::string_view replacement = system == kCodePageUtf8 ? kReplacementUtf8 : "?";
    return ToText(EncodeFromUtf16(units, system, replacement));
}

// Straight from the units to UTF-8, on every URL and body the requests send: the UTF-16 buffer
// of the two steps above, built and read again, would give the same text.
Text AnsiToUtf8(std::string_view text) {
    std::u16string units = DecodeToUtf16(text, kCodePageGbk);
    // A zero unit ends the text, as it ends that buffer.
    units.resize(std::min(units.size(), units.find(u'\0')));
    if (units.empty()) {
        return {};
    }
    return ToText(EncodeFromUtf16(units, kCodePageUtf8, kReplacementUtf8));
}

std::string_view AnsiToUtf8(std::string_view text, std::span<char> buffer) {
    const Text converted = AnsiToUtf8(text);
    // Code page 936 has no U+FFFD: where it shows, a byte did not decode.
    if (converted.empty() || converted.size() > buffer.size() ||
        converted.find(kReplacementUtf8) != Text::npos) {
        return {};
    }
    std::memcpy(buffer.data(), converted.data(), converted.size());
    return {buffer.data(), converted.size()};
}

}  // namespace tarnwick
