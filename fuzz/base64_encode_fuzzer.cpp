// Base64Encode on arbitrary bytes (zero bytes included): the shape of the output is exactly the
// standard one, and decoding it gives the input back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "text/base64.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decodes strictly: four characters per group, "=" only as the padding of the last group, and
// the bits that padding leaves over must be zero. An encoding that breaks any of this aborts.
ByteSet Decode(std::string_view encoded) {
    Check(encoded.size() % 4 == 0, "length is a multiple of four");
    ByteSet bytes;
    for (std::size_t group = 0; group < encoded.size(); group += 4) {
        const bool last = group + 4 == encoded.size();
        std::uint32_t bits = 0;
        int padding = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = encoded[group + i];
            if (c == '=') {
                Check(last && i >= 2, "padding only at the end of the last group");
                ++padding;
                bits <<= 6U;
                continue;
            }
            Check(padding == 0, "no character after padding");
            const std::size_t value = kAlphabet.find(c);
            Check(value != std::string_view::npos, "only alphabet characters");
            bits = (bits << 6U) | static_cast<std::uint32_t>(value);
        }
        bytes.push_back(static_cast<std::uint8_t>(bits >> 16U));
        if (padding < 2) {
            bytes.push_back(static_cast<std::uint8_t>(bits >> 8U));
        } else {
            Check((bits & 0xFFFFU) == 0, "bits under two padding characters are zero");
        }
        if (padding < 1) {
            bytes.push_back(static_cast<std::uint8_t>(bits));
        } else {
            Check((bits & 0xFFU) == 0, "bits under the padding character are zero");
        }
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSet input(data, data + size);
    const Text encoded = Base64Encode(input);
    Check(encoded.size() == (size + 2) / 3 * 4, "length is 4 * ceil(n / 3)");
    const std::size_t padding = (3 - size % 3) % 3;
    Check(encoded.size() < padding ||
              encoded.find('=') == (padding == 0 ? Text::npos : encoded.size() - padding),
          "padding count follows n mod 3");
    if (Decode(encoded) != input) {
        Mismatch("Base64Encode decoded back", std::string(input.begin(), input.end()), [&] {
            const ByteSet back = Decode(encoded);
            return std::string(back.begin(), back.end());
        }());
    }
    return 0;
}
