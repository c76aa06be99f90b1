#include <windows.h>

#include <wincrypt.h>

#include "tests/support/base64_decode.h"

namespace tarnwick::test {

std::string DecodeBase64(std::string_view text) {
    DWORD size = static_cast<DWORD>(text.size());
    std::string out(text.size(), '\0');
    if (!::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                                reinterpret_cast<BYTE*>(out.data()), &size, nullptr, nullptr)) {
        return {};
    }
    out.resize(size);
    return out.substr(0, out.find('\0'));
}

}  // namespace tarnwick::test
