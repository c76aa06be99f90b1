// The shared stepping rule of the double-byte-aware scans, with a fast path over ASCII.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/ascii.h"

namespace tarnwick::scan {

inline bool IsLeadByte(unsigned char byte) {
    return byte >= 0x80;
}

// The bytes of the character at pos: 2 for a lead byte and the byte after it, 1 for a plain
// byte, 0 for a lead byte that the end cuts off.
inline std::size_t CharLength(const char* data, std::size_t pos, std::size_t len) {
    if (!IsLeadByte(static_cast<unsigned char>(data[pos]))) {
        return 1;
    }
    return pos + 1 < len ? 2 : 0;
}

inline bool BytesMatch(const char* at, const char* search, std::size_t size, bool ignoreCase) {
    if (!ignoreCase) {
        return std::memcmp(at, search, size) == 0;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (FoldAscii(static_cast<unsigned char>(at[i])) !=
            FoldAscii(static_cast<unsigned char>(search[i]))) {
            return false;
        }
    }
    return true;
}

// The first position at or after pos (pos <= limit) whose byte is a lead byte or could start
// a match of a search beginning with `first` (either case when folding). Every byte skipped is
// a one-byte character that cannot begin a match, so callers step over them as one run.
inline std::size_t SkipPlainRun(const char* data, std::size_t pos, std::size_t limit,
                                unsigned char first, bool ignoreCase) {
    const unsigned char lower = ignoreCase ? FoldAscii(first) : first;
    const unsigned char upper = (ignoreCase && lower >= 'a' && lower <= 'z')
                                    ? static_cast<unsigned char>(lower - 32)
                                    : lower;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const std::uint64_t lowerWord = kOnes * lower;
    const std::uint64_t upperWord = kOnes * upper;
    while (pos + 8 <= limit) {
        std::uint64_t word;
        std::memcpy(&word, data + pos, 8);
        const std::uint64_t a = word ^ lowerWord;
        const std::uint64_t b = word ^ upperWord;
        const std::uint64_t hasZero = ((a - kOnes) & ~a) | ((b - kOnes) & ~b);
        if (((hasZero | word) & kHighs) != 0) {
            break;
        }
        pos += 8;
    }
    while (pos < limit) {
        const auto byte = static_cast<unsigned char>(data[pos]);
        if (IsLeadByte(byte) || byte == lower || byte == upper) {
            break;
        }
        ++pos;
    }
    return pos;
}

}  // namespace tarnwick::scan
