#include "text/find.h"

#include "text/scan.h"

namespace tarnwick {

namespace {

std::size_t StartOffset(int start) {
    return start > 1 ? static_cast<std::size_t>(start) - 1 : 0;
}

}  // namespace

int TextFind(std::string_view text, std::string_view search, int start, bool ignoreCase) {
    const std::size_t len = text.size();
    std::size_t pos = StartOffset(start);
    if (pos >= len) {
        return -1;
    }
    if (search.empty()) {
        return 1;
    }
    const std::size_t size = search.size();
    const char* data = text.data();
    const auto first = static_cast<unsigned char>(search[0]);
    while (len - pos >= size) {
        pos = scan::SkipPlainRun(data, pos, len - size + 1, first, ignoreCase);
        if (len - pos < size) {
            break;
        }
        if (scan::BytesMatch(data + pos, search.data(), size, ignoreCase)) {
            return static_cast<int>(pos) + 1;
        }
        const std::size_t step = scan::CharLength(data, pos, len);
        if (step == 0) {
            return -1;
        }
        pos += step;
    }
    return -1;
}

Text TextReplace(std::string_view text, std::string_view search, std::string_view replacement,
                 int start, int count, bool caseSensitive) {
    const std::size_t len = text.size();
    const std::size_t offset = StartOffset(start);
    if (text.empty() || search.empty() || offset >= len || count == 0) {
        return Text(text);
    }
    const bool ignoreCase = !caseSensitive;
    const std::size_t size = search.size();
    const char* data = text.data();
    const auto first = static_cast<unsigned char>(search[0]);
    Text result;
    result.reserve(len);
    result.append(data, offset);
    std::size_t pos = offset;
    int replaced = 0;
    while (len - pos >= size) {
        const std::size_t run = scan::SkipPlainRun(data, pos, len - size + 1, first, ignoreCase);
        result.append(data + pos, run - pos);
        pos = run;
        if (len - pos < size) {
            break;
        }
        if (scan::BytesMatch(data + pos, search.data(), size, ignoreCase)) {
            result.append(replacement);
            pos += size;
            if (count > 0 && ++replaced == count) {
                break;
            }
        } else {
            const std::size_t step = scan::CharLength(data, pos, len);
            if (step == 0) {
                return result;  // a lone lead byte at the very end is dropped and ends the scan
            }
            result.append(data + pos, step);
            pos += step;
        }
    }
    result.append(data + pos, len - pos);
    return result;
}

TextArray TextSplit(std::string_view text, std::string_view separator,
                    std::optional<int> maxParts) {
    const bool limited = maxParts.has_value();
    const std::size_t limit = limited && *maxParts > 0 ? static_cast<std::size_t>(*maxParts) : 0;
    TextArray parts;
    if (text.empty() || (limited && limit == 0)) {
        return parts;
    }
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    const std::size_t len = text.size();
    const std::size_t size = separator.size();
    const char* data = text.data();
    const auto first = static_cast<unsigned char>(separator[0]);
    std::size_t pieceStart = 0;
    std::size_t pos = 0;
    while (len - pos >= size) {
        pos = scan::SkipPlainRun(data, pos, len - size + 1, first, false);
        if (len - pos < size) {
            break;
        }
        if (std::memcmp(data + pos, separator.data(), size) == 0) {
            parts.emplace_back(data + pieceStart, pos - pieceStart);
            pos += size;
            pieceStart = pos;
            if (limited && parts.size() == limit) {
                return parts;
            }
        } else {
            const std::size_t step = scan::CharLength(data, pos, len);
            if (step == 0) {
                break;
            }
            pos += step;
        }
    }
    if (pieceStart < len) {
        parts.emplace_back(data + pieceStart, len - pieceStart);
    }
    return parts;
}

}  // namespace tarnwick
