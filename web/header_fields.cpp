#include "web/header_fields.h"

#include <algorithm>

#include "text/ascii.h"
#include "text/find.h"

namespace tarnwick {

namespace {

bool IsTokenChar(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return IsTokenChar(static_cast<unsigned char>(c));
    });
}

bool IsFieldValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::optional<std::string_view> SendableHeaderValue(std::string_view name, std::string_view value) {
    if (!IsToken(name) || !IsFieldValue(value) || EqualsIgnoringAsciiCase(name, "Content-Length") ||
        EqualsIgnoringAsciiCase(name, "Transfer-Encoding")) {
        return std::nullopt;
    }
    return TrimOptionalWhitespace(value);
}

bool IsBodilessStatus(long status) {
    return status == 204 || status == 304;
}

bool IsWholeBody(const TextArray& lines, std::size_t received) {
    const Text announced = ResponseHeader(lines, "Content-Length");
    if (announced.empty()) {
        return true;
    }
    const std::string length = std::to_string(received);
    const TextArray lengths = TextSplit(announced, ",");
    return std::all_of(lengths.begin(), lengths.end(), [&length](const Text& value) {
        return TrimOptionalWhitespace(value) == length;
    });
}

Text HeaderLinesOnly(std::string_view reported) {
    Text lines;
    for (const Text& line : TextSplit(reported, "\r\n")) {
        // A status line has no colon before its first space; the empty line ends the report.
        if (line.empty() || line.find(':') > line.find(' ')) {
            continue;
        }
        lines += (lines.empty() ? "" : "\r\n") + line;
    }
    return lines;
}

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
