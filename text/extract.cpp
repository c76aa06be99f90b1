#include "text/extract.h"

#include "text/find.h"

namespace tarnwick {

Text ExtractBetween(std::string_view text, std::string_view leftMarker,
                    std::string_view rightMarker, int start, bool ignoreCase) {
    const Text left = TextReplace(leftMarker, kQuoteToken, "\"");
    const Text right = TextReplace(rightMarker, kQuoteToken, "\"");
    const int found = TextFind(text, left, start, ignoreCase);
    if (found == -1) {
        return {};
    }
    const int p = found + TextLength(left);
    const int q = TextFind(text, right, p, ignoreCase);
    if (q == -1) {
        return {};
    }
    return TextMid(text, p, q - p);
}

}  // namespace tarnwick
