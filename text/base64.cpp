#include "text/base64.h"

namespace tarnwick {

Text Base64Encode(const ByteSet& input) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t n = input.size();
    if (n == 0) {
        return {};
    }
    Text out((n + 2) / 3 * 4, '=');
    const std::uint8_t* in = input.data();
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3, o += 4) {
        const std::uint32_t group = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) |
                                    std::uint32_t{in[i + 2]};
        o[0] = kAlphabet[(group >> 18) & 63];
        o[1] = kAlphabet[(group >> 12) & 63];
        o[2] = kAlphabet[(group >> 6) & 63];
        o[3] = kAlphabet[group & 63];
    }
    const std::size_t rest = n - i;
    if (rest > 0) {
        const std::uint32_t b0 = in[i];
        const std::uint32_t b1 = rest == 2 ? in[i + 1] : 0;
        o[0] = kAlphabet[b0 >> 2];
        o[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        if (rest == 2) {
            o[2] = kAlphabet[(b1 & 15) << 2];
        }
    }
    return out;
}

}  // namespace tarnwick
