// Tests as data: a text (a call trace, a raw request) checked against a row of expectations.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::test {

// The first expectation that text does not meet, or "" when it meets them all. "=x": text is
// x; "^x": starts with x; "$x": ends with x; "!x": holds no x; anything else: holds it.
inline std::string Unmet(std::string_view text, const std::vector<std::string>& wants) {
    for (const std::string& want : wants) {
        const std::string_view x = std::string_view(want).substr(want.empty() ? 0 : 1);
        const char kind = want.empty() ? ' ' : want[0];
        const bool met = kind == '='   ? text == x
                         : kind == '^' ? text.starts_with(x)
                         : kind == '$' ? text.ends_with(x)
                         : kind == '!' ? text.find(x) == std::string_view::npos
                                       : text.find(want) != std::string_view::npos;
        if (!met) {
            return want;
        }
    }
    return "";
}

}  // namespace tarnwick::test
