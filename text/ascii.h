// ASCII-only case folding and hex digits, for protocol texts (header names, schemes, codings,
// ProgIDs) and the tool's case-insensitive searches, which leave every other byte as it is.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

constexpr unsigned char FoldAscii(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

constexpr char FoldAscii(char c) {
    return static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

inline Text LowerAscii(std::string_view text) {
    Text lower(text);
    for (char& c : lower) {
        c = FoldAscii(c);
    }
    return lower;
}

// The upper-case hex digit of the low four bits of value.
constexpr char HexDigit(unsigned int value) {
    return "0123456789ABCDEF"[value & 0x0FU];
}

}  // namespace tarnwick
