#include "web/header_fields.h"

#include "text/ascii.h"

namespace tarnwick {

std::string_view TrimOptionalWhitespace(std::string_view value) {
    const std::size_t begin = value.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    const std::size_t end = value.find_last_not_of(" \t");
    return value.substr(begin, end - begin + 1);
}

Text ResponseHeader(const TextArray& lines, std::string_view name) {
    Text values;
    for (const Text& line : lines) {
        const std::size_t colon = line.find(':');
        if (colon != Text::npos &&
            EqualsIgnoringAsciiCase(TrimOptionalWhitespace(std::string_view(line).substr(0, colon)),
                                    name)) {
            if (!values.empty()) {
                values.push_back(',');
            }
            values.append(TrimOptionalWhitespace(std::string_view(line).substr(colon + 1)));
        }
    }
    return values;
}

}  // namespace tarnwick
