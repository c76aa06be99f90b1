// Cutting a value out of an answer by the markers around it.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// Stands for one double quote inside a marker, so markers can be written without escapes.
inline constexpr std::string_view kQuoteToken = "#\xD2\xFD\xBA\xC5";  // "#引号" in code page 936

// The text between the first leftMarker at or after start and the next rightMarker after it.
Text ExtractBetween(std::string_view text, std::string_view leftMarker,
                    std::string_view rightMarker, int start = 0, bool ignoreCase = false);

}  // namespace tarnwick
