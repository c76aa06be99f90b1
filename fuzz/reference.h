// Deliberately naive versions of the text and cookie rules, written byte by byte from the rules
// alone and sharing no code with the library, so a harness can tell a wrong answer from a
// right one. Slow and plain on purpose: no fast paths, no clever stepping.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::fuzz {

std::string RefTextLeft(std::string_view text, long n);
std::string RefTextRight(std::string_view text, long n);
std::string RefTextMid(std::string_view text, long start, long n);
int RefTextFind(std::string_view text, std::string_view search, long start, bool ignoreCase);
std::string RefTextReplace(std::string_view text, std::string_view search,
                           std::string_view replacement, long start, long count,
                           bool caseSensitive);
std::vector<std::string> RefTextSplit(std::string_view text, std::string_view separator,
                                      std::optional<long> maxParts);
std::string RefTrimSpaces(std::string_view text);
std::string RefRemoveAllSpaces(std::string_view text);
std::string RefExtractBetween(std::string_view text, std::string_view leftMarker,
                              std::string_view rightMarker, long start, bool ignoreCase);

// The merge of a sent and a received cookie list; both arguments are rewritten as the rules say.
std::string RefMergeCookies(std::string& older, std::string& newer);
std::string RefCookieName(std::string_view item);
// The cookie list gathered from the Set-Cookie lines of a raw response-header text.
std::string RefCollectSetCookies(std::string_view responseHeaders);

}  // namespace tarnwick::fuzz
