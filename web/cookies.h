// Cookie lists: name=value items joined by "; ", kept as one plain text.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// The bytes before the first "=" (the whole item when there is none), spaces trimmed.
Text CookieName(std::string_view item);

// True when some member's cookie name equals name byte for byte.
bool HasCookieNamed(const TextArray& items, std::string_view name);

// 1-based number of the first member equal to text, or -1.
int FindTextInArray(const TextArray& items, std::string_view text);

// Splits text at separator and keeps each item at its first occurrence only.
Text RemoveDuplicateItems(std::string_view text, std::string_view separator);

// Merges the cookies sent (older) with those just received (newer): received items first, in
// their order, then the sent items whose name was not received; "name=deleted" items remove the
// cookie. Both arguments are rewritten: older holds the result, newer loses its spaces.
Text MergeCookies(Text& older, Text& newer);

}  // namespace tarnwick
