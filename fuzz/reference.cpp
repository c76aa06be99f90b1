#include "fuzz/reference.h"

#include <cstddef>

namespace tarnwick::fuzz {

namespace {

bool IsLead(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameAt(std::string_view text, long pos, std::string_view search, bool ignoreCase) {
    for (std::size_t i = 0; i < search.size(); ++i) {
        const char a = text[static_cast<std::size_t>(pos) + i];
        const char b = search[i];
        if (ignoreCase ? Fold(a) != Fold(b) : a != b) {
            return false;
        }
    }
    return true;
}

long Len(std::string_view text) {
    return static_cast<long>(text.size());
}

// One character of a walk: its bytes, and whether it is a lead byte with nothing after it.
struct Char {
    std::string bytes;
    bool lone = false;
};

std::vector<Char> Characters(std::string_view text) {
    std::vector<Char> chars;
    long i = 0;
    while (i < Len(text)) {
        if (IsLead(text[static_cast<std::size_t>(i)])) {
            if (i + 1 == Len(text)) {
                chars.push_back({std::string(1, text[static_cast<std::size_t>(i)]), true});
                break;
            }
            chars.push_back({std::string(text.substr(static_cast<std::size_t>(i), 2)), false});
            i += 2;
        } else {
            chars.push_back({std::string(1, text[static_cast<std::size_t>(i)]), false});
            i += 1;
        }
    }
    return chars;
}

bool IsSpace(const Char& c) {
    return c.bytes == " " || c.bytes == "\xA1\xA1";
}

}  // namespace

std::string RefTextLeft(std::string_view text, long n) {
    if (n < 1) {
        return "";
    }
    if (n > Len(text)) {
        return std::string(text);
    }
    return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string RefTextRight(std::string_view text, long n) {
    if (n < 1) {
        return "";
    }
    if (n > Len(text)) {
        return std::string(text);
    }
    return std::string(text.substr(text.size() - static_cast<std::size_t>(n)));
}

std::string RefTextMid(std::string_view text, long start, long n) {
    if (start < 1 || start > Len(text) || n < 1) {
        return "";
    }
    if (n > Len(text) - start + 1) {
        n = Len(text) - start + 1;
    }
    return std::string(
        text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

int RefTextFind(std::string_view text, std::string_view search, long start, bool ignoreCase) {
    long offset = start - 1;
    if (offset < 0) {
        offset = 0;
    }
    const long len = Len(text);
    if (offset >= len) {
        return -1;
    }
    if (search.empty()) {
        return 1;
    }
    long pos = offset;
    while (len - pos >= Len(search)) {
        if (SameAt(text, pos, search, ignoreCase)) {
            return static_cast<int>(pos + 1);
        }
        if (IsLead(text[static_cast<std::size_t>(pos)])) {
            if (pos + 1 == len) {
                return -1;
            }
            pos += 2;
        } else {
            pos += 1;
        }
    }
    return -1;
}

std::string RefTextReplace(std::string_view text, std::string_view search,
                           std::string_view replacement, long start, long count,
                           bool caseSensitive) {
    if (text.empty() || search.empty()) {
        return std::string(text);
    }
    long offset = start - 1;
    if (offset < 0) {
        offset = 0;
    }
    const long len = Len(text);
    if (offset >= len || count == 0) {
        return std::string(text);
    }
    std::string result(text.substr(0, static_cast<std::size_t>(offset)));
    long pos = offset;
    long replaced = 0;
    while (len - pos >= Len(search)) {
        if (SameAt(text, pos, search, !caseSensitive)) {
            result += replacement;
            pos += Len(search);
            replaced += 1;
            if (count > 0 && replaced == count) {
                break;
            }
        } else if (IsLead(text[static_cast<std::size_t>(pos)])) {
            if (pos + 1 == len) {
                return result;  // the lone lead byte is dropped and the scan ends
            }
            result += text.substr(static_cast<std::size_t>(pos), 2);
            pos += 2;
        } else {
            result += text[static_cast<std::size_t>(pos)];
            pos += 1;
        }
    }
    result += text.substr(static_cast<std::size_t>(pos));
    return result;
}

std::vector<std::string> RefTextSplit(std::string_view text, std::string_view separator,
                                      std::optional<long> maxParts) {
    std::optional<long> limit = maxParts;
    if (limit && *limit < 0) {
        limit = 0;
    }
    std::vector<std::string> parts;
    if (text.empty() || (limit && *limit == 0)) {
        return parts;
    }
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    const long len = Len(text);
    long pieceStart = 0;
    long pos = 0;
    bool limitReached = false;
    while (len - pos >= Len(separator)) {
        if (SameAt(text, pos, separator, false)) {
            parts.emplace_back(text.substr(static_cast<std::size_t>(pieceStart),
                                           static_cast<std::size_t>(pos - pieceStart)));
            pos += Len(separator);
            pieceStart = pos;
            if (limit && static_cast<long>(parts.size()) == *limit) {
                limitReached = true;
                break;
            }
        } else if (IsLead(text[static_cast<std::size_t>(pos)])) {
            if (pos + 1 == len) {
                break;
            }
            pos += 2;
        } else {
            pos += 1;
        }
    }
    if (pieceStart < len && !limitReached) {
        parts.emplace_back(text.substr(static_cast<std::size_t>(pieceStart)));
    }
    return parts;
}

std::string RefTrimSpaces(std::string_view text) {
    const std::vector<Char> chars = Characters(text);
    std::size_t first = 0;
    while (first < chars.size() && IsSpace(chars[first])) {
        ++first;
    }
    std::size_t end = chars.size();
    if (end > first && chars[end - 1].lone) {
        --end;
    } else {
        while (end > first && IsSpace(chars[end - 1])) {
            --end;
        }
    }
    std::string result;
    for (std::size_t i = first; i < end; ++i) {
        result += chars[i].bytes;
    }
    return result;
}

std::string RefRemoveAllSpaces(std::string_view text) {
    std::string result;
    for (const Char& c : Characters(text)) {
        if (!IsSpace(c) && !c.lone) {
            result += c.bytes;
        }
    }
    return result;
}

std::string RefExtractBetween(std::string_view text, std::string_view leftMarker,
                              std::string_view rightMarker, long start, bool ignoreCase) {
    const std::string_view token = "#\xD2\xFD\xBA\xC5";  // "#引号"
    const std::string left = RefTextReplace(leftMarker, token, "\"", 1, -1, true);
    const std::string right = RefTextReplace(rightMarker, token, "\"", 1, -1, true);
    if (start < 1) {
        start = 1;
    }
    long p = RefTextFind(text, left, start, ignoreCase);
    if (p == -1) {
        return "";
    }
    p += Len(left);
    const long q = RefTextFind(text, right, p, ignoreCase);
    if (q == -1) {
        return "";
    }
    return RefTextMid(text, p, q - p);
}

std::string RefCookieName(std::string_view item) {
    const int eq = RefTextFind(item, "=", 1, false);
    const std::string_view before =
        eq == -1 ? item : item.substr(0, static_cast<std::size_t>(eq - 1));
    return RefTrimSpaces(before);
}

std::string RefMergeCookies(std::string& older, std::string& newer) {
    older = RefRemoveAllSpaces(older);
    newer = RefRemoveAllSpaces(newer);
    const std::vector<std::string> olderItems = RefTextSplit(older, ";", std::nullopt);
    std::vector<std::string> newerItems = RefTextSplit(newer, ";", std::nullopt);
    const std::size_t olderCount = olderItems.size();
    for (std::size_t i = 0; i < olderCount; ++i) {
        const std::string name = RefCookieName(olderItems[i]);
        bool present = false;
        for (const std::string& item : newerItems) {
            if (RefCookieName(item) == name) {
                present = true;
                break;
            }
        }
        if (!present) {
            newerItems.push_back(olderItems[i]);
        }
    }
    older = "";
    const std::size_t newerCount = newerItems.size();
    for (std::size_t i = 0; i < newerCount; ++i) {
        if (RefTextRight(newerItems[i], 8) != "=deleted") {
            older += newerItems[i];
            older += "; ";
        }
    }
    older = RefTextLeft(older, Len(older) - 2);
    // Keep each item at its first occurrence only.
    std::vector<std::string> kept;
    for (const std::string& item : RefTextSplit(older, "; ", std::nullopt)) {
        bool seen = false;
        for (const std::string& k : kept) {
            if (k == item) {
                seen = true;
                break;
            }
        }
        if (!seen) {
            kept.push_back(item);
        }
    }
    std::string joined;
    for (const std::string& item : kept) {
        joined += item;
        joined += "; ";
    }
    older = RefTextLeft(joined, Len(joined) - 2);
    return older;
}

std::string RefCollectSetCookies(std::string_view responseHeaders) {
    std::string received;
    for (const std::string& line : RefTextSplit(responseHeaders, "\r\n", std::nullopt)) {
        const int p = RefTextFind(line, ": ", 1, false);
        const std::string name = p == -1 ? "" : RefTextLeft(line, p - 1);
        if (name != "Set-Cookie") {
            continue;
        }
        std::string item;
        if (RefTextFind(line, ";", 1, false) != -1) {
            item = RefTrimSpaces(RefExtractBetween(line, "Set-Cookie:", ";", 0, false));
        } else {
            item = RefTrimSpaces(RefTextReplace(line, "Set-Cookie:", "", 1, -1, false));
        }
        received += item;
        received += "; ";
    }
    return RefTextLeft(received, Len(received) - 2);
}

}  // namespace tarnwick::fuzz
