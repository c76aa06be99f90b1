// Code-page conversion through UTF-16 (little-endian, with a terminating zero unit).
#pragma once

#include <span>
#include <string_view>

#include "text/values.h"

namespace tarnwick {

inline constexpr int kCodePageAnsi = 0;  // the tool's own ANSI code page, 936
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageGb18030 = 54936;
inline constexpr int kCodePageUtf8 = 65001;

// Invalid input bytes become U+FFFD; the result always ends in a zero unit.
ByteSet CodePageToUtf16(std::string_view text, int codePage = kCodePageUtf8);
// Reads up to the first zero unit; characters the code page lacks become "?".
Text Utf16ToCodePage(const ByteSet& utf16, int codePage = kCodePageAnsi);
Text AnsiToUtf8(std::string_view text);
// The same into buffer, for the fatal path, which has set memory aside for it: empty when
// a byte does not decode or the result does not fit.
std::string_view AnsiToUtf8(std::string_view text, std::span<char> buffer);

}  // namespace tarnwick
