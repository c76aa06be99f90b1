#include "text/values.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "text/ascii.h"

namespace tarnwick {

int TextLength(std::string_view text) {
    return static_cast<int>(text.size());
}

Text TextLeft(std::string_view text, int n) {
    if (n < 1) {
        return {};
    }
    return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text TextRight(std::string_view text, int n) {
    if (n < 1) {
        return {};
    }
    const auto count = std::min(text.size(), static_cast<std::size_t>(n));
    return Text(text.substr(text.size() - count));
}

Text TextMid(std::string_view text, int start, int n) {
    if (start < 1 || n < 1 || static_cast<std::size_t>(start) > text.size()) {
        return {};
    }
    return Text(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

int TextCode(std::string_view text, int position) {
    if (position < 1 || static_cast<std::size_t>(position) > text.size()) {
        return 0;
    }
    return static_cast<signed char>(text[static_cast<std::size_t>(position) - 1]);
}

Text CharFromCode(std::uint8_t code) {
    if (code == 0) {
        return {};
    }
    return Text(1, static_cast<char>(code));
}

Text SpaceText(int n) {
    return n < 1 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}

int ByteSetLength(const ByteSet& bytes) {
    return static_cast<int>(bytes.size());
}

ByteSet ByteSetMid(const ByteSet& bytes, int start, int n) {
    const long long len = static_cast<long long>(bytes.size());
    const long long offset = std::clamp(static_cast<long long>(start) - 1, 0LL, len);
    const long long count = std::min(std::max(static_cast<long long>(n), 0LL), len - offset);
    if (count == 0) {
        return {};
    }
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    return ByteSet(first, first + static_cast<std::ptrdiff_t>(count));
}

ByteSet ZeroByteSet(int n) {
    return n < 1 ? ByteSet() : ByteSet(static_cast<std::size_t>(n), 0);
}

ByteSet ToByteSet(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    return ByteSet(text.begin(), text.end());
}

Text ToText(std::string_view bytes) {
    return Text(bytes.substr(0, bytes.find('\0')));
}

Text ToText(const ByteSet& bytes) {
    if (bytes.empty()) {
        return {};
    }
    return ToText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::uint8_t ToByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

Text ToHexText(int value) {
    auto bits = static_cast<std::uint32_t>(value);
    char buffer[8];
    int used = 0;
    do {
        buffer[7 - used] = HexDigit(bits);
        bits >>= 4;
        ++used;
    } while (bits != 0);
    return Text(buffer + 8 - used, static_cast<std::size_t>(used));
}

}  // namespace tarnwick
