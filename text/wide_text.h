// Code-page-936 Text to and from the wide strings of the Win32 API (UTF-16 there), with 936
// always named: the same text whatever the system's own code page is.
#pragma once

#include <string>
#include <string_view>

#include "text/code_page.h"
#include "text/code_page_system.h"
#include "text/values.h"

namespace tarnwick {

inline std::wstring WideFromText(std::string_view text) {
    const std::u16string units = DecodeToUtf16(text, kCodePageGbk);
    return {units.begin(), units.end()};
}

// For Windows, where wchar_t is a UTF-16 unit.
inline Text TextFromWide(std::wstring_view wide) {
    const std::u16string_view units(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
    return ToText(EncodeFromUtf16(units, kCodePageGbk, "?"));
}

}  // namespace tarnwick
