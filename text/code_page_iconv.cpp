// The code-page conversions through glibc's iconv.
#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "text/code_page.h"
#include "text/code_page_system.h"

namespace tarnwick {

namespace {

constexpr int kCodePageUtf16Le = 1200;
// The units of a std::u16string, in the machine's own byte order: iconv writes and reads them
// in place.
constexpr const char* kNativeUnits =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

std::string CharsetName(int codePage) {
    switch (codePage) {
        case kCodePageAnsi:
        case kCodePageGbk:
            return "CP936";
        case kCodePageGb18030:
            return "GB18030";
        case kCodePageUtf8:
            return "UTF-8";
        case kCodePageUtf16Le:
            return "UTF-16LE";
        default:
            return "CP" + std::to_string(codePage);
    }
}

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenConverter(const std::string& to, const std::string& from) {
    iconv_t handle = iconv_open(to.c_str(), from.c_str());
    // iconv_open reports failure as (iconv_t)-1; compare as an integer instead of forging a
    // pointer from -1.
    if (reinterpret_cast<std::intptr_t>(handle) == -1) {
        return nullptr;
    }
    return IconvHandle(handle);
}

// Converts all of `input`; an invalid or incomplete sequence costs `invalidStep` input bytes
// and puts `replacement` into the output, so no input can stop or overrun the conversion.
std::string ConvertAll(iconv_t handle, std::string_view input, std::string_view replacement,
                       std::size_t invalidStep) {
    std::string output(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    while (true) {
        char* out = output.data() + used;
        std::size_t outLeft = output.size() - used;
        const std::size_t result =
            iconv(handle, inLeft > 0 ? &in : nullptr, &inLeft, &out, &outLeft);
        used = output.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                break;
            }
            continue;
        }
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            break;
        }
        if (output.size() - used < replacement.size()) {
            output.resize(output.size() * 2 + replacement.size());
        }
        output.replace(used, replacement.size(), replacement);
        used += replacement.size();
        const std::size_t step = std::min(invalidStep, inLeft);
        in += step;
        inLeft -= step;
        if (inLeft == 0) {
            break;
        }
    }
    output.resize(used);
    return output;
}

constexpr char16_t kReplacementUnit = u'\uFFFD';

}  // namespace

std::u16string DecodeToUtf16(std::string_view text, int codePage) {
    const IconvHandle handle = OpenConverter(kNativeUnits, CharsetName(codePage));
    if (!handle) {
        return {};
    }
    const std::string_view replacement(reinterpret_cast<const char*>(&kReplacementUnit),
                                       sizeof kReplacementUnit);
    const std::string bytes = ConvertAll(static_cast<iconv_t>(handle.get()), text, replacement, 1);
    std::u16string units(bytes.size() / sizeof(char16_t), u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * sizeof(char16_t));
    return units;
}

std::string EncodeFromUtf16(std::u16string_view units, int codePage, std::string_view replacement) {
    const IconvHandle handle = OpenConverter(CharsetName(codePage), kNativeUnits);
    if (!handle) {
        return {};
    }
    const std::string_view bytes(reinterpret_cast<const char*>(units.data()),
                                 units.size() * sizeof(char16_t));
    return ConvertAll(static_cast<iconv_t>(handle.get()), bytes, replacement, sizeof(char16_t));
}

}  // namespace tarnwick
