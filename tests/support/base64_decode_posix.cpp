#include <openssl/evp.h>

#include "tests/support/base64_decode.h"

namespace tarnwick::test {

std::string DecodeBase64(std::string_view text) {
    std::string out(text.size(), '\0');
    if (EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size())) < 0) {
        return {};
    }
    return out.substr(0, out.find('\0'));
}

}  // namespace tarnwick::test
