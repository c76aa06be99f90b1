// The code-page conversions through the system's own functions, with the code page always named:
// the same bytes come out on a Windows of any language.
#include <windows.h>

#include <climits>

#include "text/code_page.h"
#include "text/code_page_system.h"

namespace tarnwick {

namespace {

int Count(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? -1 : static_cast<int>(size);
}

}  // namespace

std::u16string DecodeToUtf16(std::string_view text, int codePage) {
    const int inCount = Count(text.size());
    if (inCount <= 0) {
        return {};
    }
    // No MB_ERR_INVALID_CHARS: an invalid sequence becomes U+FFFD instead of failing the call.
    const auto codePageNumber = static_cast<UINT>(codePage);
    const int outCount = MultiByteToWideChar(codePageNumber, 0, text.data(), inCount, nullptr, 0);
    if (outCount <= 0) {
        return {};
    }
    std::u16string units(static_cast<std::size_t>(outCount), u'\0');
    MultiByteToWideChar(codePageNumber, 0, text.data(), inCount,
                        reinterpret_cast<wchar_t*>(units.data()), outCount);
    return units;
}

std::string EncodeFromUtf16(std::u16string_view units, int codePage, std::string_view replacement) {
    const int inCount = Count(units.size());
    if (inCount <= 0) {
        return {};
    }
    const auto codePageNumber = static_cast<UINT>(codePage);
    const auto* in = reinterpret_cast<const wchar_t*>(units.data());
    // UTF-8 takes no default character: the system puts U+FFFD for a lone surrogate itself.
    const std::string defaultChar(replacement.substr(0, 1));
    const char* fallback = codePage == kCodePageUtf8 ? nullptr : defaultChar.c_str();
    const int outCount =
        WideCharToMultiByte(codePageNumber, 0, in, inCount, nullptr, 0, fallback, nullptr);
    if (outCount <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(outCount), '\0');
    WideCharToMultiByte(codePageNumber, 0, in, inCount, bytes.data(), outCount, fallback, nullptr);
    return bytes;
}

}  // namespace tarnwick
