// Base64 decoding of the simulator's own, from the system rather than the product, so that the
// product's encoder is checked against another implementation.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::test {

// The decoded bytes up to the first zero byte; "" for what does not decode.
std::string DecodeBase64(std::string_view text);

}  // namespace tarnwick::test
