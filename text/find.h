// Double-byte-aware searching, replacing and splitting.
#pragma once

#include <optional>
#include <string_view>

#include "text/values.h"

namespace tarnwick {

// 1-based position of the first occurrence at or after start, or -1. A match never
// begins on the second byte of a double-byte character.
int TextFind(std::string_view text, std::string_view search, int start = 1,
             bool ignoreCase = false);

// count < 0 means no limit, 0 leaves the text unchanged.
Text TextReplace(std::string_view text, std::string_view search, std::string_view replacement = "",
                 int start = 1, int count = -1, bool caseSensitive = true);

// maxParts left out means no limit; given and negative counts as 0.
TextArray TextSplit(std::string_view text, std::string_view separator = ",",
                    std::optional<int> maxParts = std::nullopt);

}  // namespace tarnwick
