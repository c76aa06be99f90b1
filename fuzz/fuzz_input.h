// How a harness reads its arguments out of one fuzz input, in a form that seed files can be
// written by hand: a few leading option bytes, then texts separated by zero bytes (a Text never
// holds a zero byte, so the separator can never be part of a text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::fuzz {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    // The next option byte, 0 once the input is used up.
    std::uint8_t Byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto byte = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }

    // A small signed position or count: mostly near the interesting range of short texts, with
    // the extremes of int reachable as well.
    int Number() {
        const std::uint8_t kind = Byte();
        const std::uint8_t value = Byte();
        switch (kind & 7U) {
            case 0:
                return -2147483647 - 1;
            case 1:
                return 2147483647;
            default:
                return static_cast<int>(static_cast<std::int8_t>(value)) * ((kind >> 3U) + 1);
        }
    }

    // The next text up to a zero byte (or the end); "" once the input is used up.
    std::string_view Text() {
        const std::size_t end = rest_.find('\0');
        const std::string_view text = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return text;
    }

    // Everything not read yet, zero bytes included.
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

// A heap copy of exactly the text's size, so that AddressSanitizer traps a read one byte past
// its end (the fuzzer's own buffer, or a std::string with its terminator, would hide it).
class ExactCopy {
  public:
    explicit ExactCopy(std::string_view text) : bytes_(text.begin(), text.end()) {}
    std::string_view View() const { return {bytes_.data(), bytes_.size()}; }

  private:
    std::vector<char> bytes_;
};

inline std::string Printable(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

// Prints what differs and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] inline void Mismatch(const char* what, std::string_view expected,
                                  std::string_view actual) {
    std::fprintf(stderr, "MISMATCH in %s\n  expected: \"%s\"\n  actual:   \"%s\"\n", what,
                 Printable(expected).c_str(), Printable(actual).c_str());
    std::abort();
}

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "CHECK FAILED: %s\n", what);
        std::abort();
    }
}

// The members of an array as one text for Mismatch, which escapes the bytes.
inline std::string Joined(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "\"" : ", \"") + items[i] + "\"";
    }
    return out + "]";
}

}  // namespace tarnwick::fuzz
