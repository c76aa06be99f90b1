#include "text/spaces.h"

#include "text/scan.h"

namespace tarnwick {

namespace {

constexpr unsigned char kFullWidthSpaceByte = 0xA1;

// Length of the space character at pos (1 or 2), or 0 when none starts there.
std::size_t SpaceAt(std::string_view text, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte == ' ') {
        return 1;
    }
    if (byte == kFullWidthSpaceByte && pos + 1 < text.size() &&
        static_cast<unsigned char>(text[pos + 1]) == kFullWidthSpaceByte) {
        return 2;
    }
    return 0;
}

}  // namespace

Text TrimSpaces(std::string_view text) {
    const std::size_t len = text.size();
    std::size_t begin = 0;
    while (begin < len) {
        const std::size_t space = SpaceAt(text, begin);
        if (space == 0) {
            break;
        }
        begin += space;
    }
    std::size_t end = len;  // where the trailing run of spaces (or a lone lead byte) begins
    bool inRun = false;
    std::size_t pos = begin;
    while (pos < len) {
        const std::size_t space = SpaceAt(text, pos);
        if (space != 0) {
            if (!inRun) {
                end = pos;
                inRun = true;
            }
            pos += space;
            continue;
        }
        inRun = false;
        end = len;
        const std::size_t step = scan::CharLength(text.data(), pos, len);
        if (step == 0) {
            end = pos;  // a lead byte without its second byte
            break;
        }
        pos += step;
    }
    return Text(text.substr(begin, end - begin));
}

Text RemoveAllSpaces(std::string_view text) {
    const std::size_t len = text.size();
    Text result;
    result.reserve(len);
    std::size_t pos = 0;
    while (pos < len) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (!scan::IsLeadByte(byte)) {
            // Copy the run of plain bytes up to the next space or lead byte at once.
            std::size_t run = pos;
            while (run < len && !scan::IsLeadByte(static_cast<unsigned char>(text[run])) &&
                   text[run] != ' ') {
                ++run;
            }
            result.append(text.data() + pos, run - pos);
            pos = run;
            if (pos < len && text[pos] == ' ') {
                ++pos;
            }
            continue;
        }
        if (pos + 1 >= len) {
            break;
        }
        if (SpaceAt(text, pos) == 0) {
            result.append(text.data() + pos, 2);
        }
        pos += 2;
    }
    return result;
}

}  // namespace tarnwick
