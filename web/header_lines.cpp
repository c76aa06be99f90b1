#include "web/header_lines.h"

#include "text/extract.h"
#include "text/find.h"
#include "text/join.h"
#include "text/spaces.h"

namespace tarnwick {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kCookieSeparator = "; ";

void AddUnlessPresent(Text& headers, std::string_view marker, std::string_view line) {
    if (TextFind(headers, marker) != -1) {
        return;
    }
    if (!headers.empty()) {
        headers.append(kLineBreak);
    }
    headers.append(line);
}

}  // namespace

Text HeaderName(std::string_view line) {
    const int colon = TextFind(line, ":");
    if (colon == -1) {
        return {};
    }
    return TrimSpaces(TextLeft(line, colon - 1));
}

Text HeaderValue(std::string_view line) {
    const int colon = TextFind(line, ":");
    if (colon == -1) {
        return {};
    }
    return TrimSpaces(TextRight(line, TextLength(line) - colon));
}

Text TextBefore(std::string_view text, std::string_view separator, int start, bool ignoreCase) {
    const int found = TextFind(text, separator, start < 1 ? 1 : start, ignoreCase);
    if (found == -1) {
        return {};
    }
    return TextLeft(text, found - 1);
}

void CompleteRequestHeaders(Text& headers, std::string_view url, bool post) {
    AddUnlessPresent(headers, "Accept:", "Accept: */*");
    AddUnlessPresent(headers, "Referer:", Text("Referer: ").append(url));
    AddUnlessPresent(headers, "Accept-Language:", "Accept-Language: zh-cn");
    AddUnlessPresent(
        headers, "User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    if (post) {
        if (TextFind(headers, "content-type") != -1) {
            headers = TextReplace(headers, "content-type", "Content-Type", 1, -1, true);
        }
        AddUnlessPresent(headers,
                         "Content-Type:", "Content-Type: application/x-www-form-urlencoded");
    }
}

Text CollectSetCookies(std::string_view responseHeaders) {
    TextArray cookies;
    for (const Text& line : TextSplit(responseHeaders, kLineBreak)) {
        if (TextBefore(line, ": ") != "Set-Cookie") {
            continue;
        }
        // Only the first name=value pair counts; the attributes behind the first ";" do not.
        const Text item = TextFind(line, ";") != -1
                              ? TrimSpaces(ExtractBetween(line, "Set-Cookie:", ";"))
                              : TrimSpaces(TextReplace(line, "Set-Cookie:", "", 1, -1, false));
        cookies.push_back(item);
    }
    return JoinTexts(cookies, kCookieSeparator);
}

}  // namespace tarnwick
