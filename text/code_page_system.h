// The system's two conversions beneath code_page.h, one file per platform. Code pages are
// numbered as Windows numbers them (936, 54936, 65001, 1200 for UTF-16LE).
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Every byte of text decoded; an invalid or incomplete sequence becomes U+FFFD. Empty when the
// system has no such code page.
std::u16string DecodeToUtf16(std::string_view text, int codePage);
// Every unit encoded; one the code page cannot hold (a lone surrogate among them) becomes
// replacement. Empty when the system has no such code page.
std::string EncodeFromUtf16(std::u16string_view units, int codePage, std::string_view replacement);

}  // namespace tarnwick
