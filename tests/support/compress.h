// Bytes compressed as a server's Content-Encoding would have them: gzip by default, zlib-wrapped
// deflate with 15 window bits, raw deflate with -15.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::test {

std::string Compress(std::string_view bytes, int windowBits = 15 + 16);

}  // namespace tarnwick::test
