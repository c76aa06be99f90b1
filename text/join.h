// Items joined into one text with a separator between them.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// items: any range of texts or string views; nothing around the ends, "" for no items.
template <typename Items>
Text JoinTexts(const Items& items, std::string_view separator) {
    std::size_t size = 0;
    for (const auto& item : items) {
        size += std::string_view(item).size() + separator.size();
    }
    Text joined;
    joined.reserve(size);
    bool first = true;
    for (const auto& item : items) {
        if (!first) {
            joined.append(separator);
        }
        joined.append(std::string_view(item));
        first = false;
    }
    return joined;
}

}  // namespace tarnwick
