#include "text/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

namespace {

const char* CharsetName(int codePage, std::string& storage) {
    switch (codePage) {
        case kCodePageAnsi:
        case kCodePageGbk:
            return "CP936";
        case kCodePageGb18030:
            return "GB18030";
        case kCodePageUtf8:
            return "UTF-8";
        case 1200:
            return "UTF-16LE";
        default:
            storage = "CP" + std::to_string(codePage);
            return storage.c_str();
    }
}

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenConverter(const char* to, const char* from) {
    iconv_t handle = iconv_open(to, from);
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

constexpr std::string_view kUtf16Replacement{"\xFD\xFF", 2};  // U+FFFD, little-endian

std::string DecodeToUtf16(std::string_view text, const char* charset) {
    IconvHandle handle = OpenConverter("UTF-16LE", charset);
    if (!handle) {
        return {};
    }
    return ConvertAll(static_cast<iconv_t>(handle.get()), text, kUtf16Replacement, 1);
}

}  // namespace

ByteSet CodePageToUtf16(std::string_view text, int codePage) {
    if (text.empty()) {
        return {};
    }
    std::string storage;
    const char* charset = CharsetName(codePage, storage);
    const std::string units = DecodeToUtf16(text, charset);
    // The buffer is sized for the text read in the ANSI code page; units that another code page
    // does not need stay zero, and a code page that needs more still gets all of them.
    std::size_t bytes = units.size() + 2;
    if (std::string_view(charset) != "CP936") {
        bytes = std::max(bytes, DecodeToUtf16(text, "CP936").size() + 2);
    }
    ByteSet result(bytes, 0);
    std::copy(units.begin(), units.end(), result.begin());
    return result;
}

Text Utf16ToCodePage(const ByteSet& utf16, int codePage) {
    std::size_t unitBytes = 0;
    while (unitBytes + 1 < utf16.size() && (utf16[unitBytes] != 0 || utf16[unitBytes + 1] != 0)) {
        unitBytes += 2;
    }
    if (unitBytes == 0) {
        return {};
    }
    std::string storage;
    const char* charset = CharsetName(codePage, storage);
    IconvHandle handle = OpenConverter(charset, "UTF-16LE");
    if (!handle) {
        return {};
    }
    const std::string_view replacement =
        std::string_view(charset) == "UTF-8" ? std::string_view("\xEF\xBF\xBD") : "?";
    const std::string_view units(reinterpret_cast<const char*>(utf16.data()), unitBytes);
    return ToText(ConvertAll(static_cast<iconv_t>(handle.get()), units, replacement, 2));
}

Text AnsiToUtf8(std::string_view text) {
    return Utf16ToCodePage(CodePageToUtf16(text, kCodePageGbk), kCodePageUtf8);
}

std::string_view AnsiToUtf8(std::string_view text, std::span<char> buffer) {
    IconvHandle handle = OpenConverter("UTF-8", "GB18030");
    if (!handle) {
        return {};
    }
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* out = buffer.data();
    std::size_t outLeft = buffer.size();
    if (iconv(static_cast<iconv_t>(handle.get()), &in, &inLeft, &out, &outLeft) ==
            static_cast<std::size_t>(-1) ||
        inLeft != 0) {
        return {};
    }
    return {buffer.data(), buffer.size() - outLeft};
}

}  // namespace tarnwick
