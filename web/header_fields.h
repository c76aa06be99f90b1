// The fields of header lines, written and read alike by every request object.
#pragma once

#include <optional>
#include <string_view>

#include "text/values.h"

namespace tarnwick {

// An HTTP token, as header names and methods must be.
bool IsToken(std::string_view text);
// A header value may hold any byte but those that would end the line.
bool IsFieldValue(std::string_view value);

// The value a request header line goes out with, or nullopt for a line that must not go: a
// name that is no token, a value that would end the line, or a body length of the caller's
// (the object frames the body itself, and a second length would let the two disagree).
std::optional<std::string_view> SendableHeaderValue(std::string_view name, std::string_view value);

// An answer's header lines, "Name: value" each and joined by CR LF, from what an object
// reports: without the status lines and the empty line that end some objects' reports.
Text HeaderLinesOnly(std::string_view reported);

// A status whose answer has no body by rule: bytes after its head belong to no answer.
bool IsBodilessStatus(long status);

// Whether received bytes are the whole body the lines announce. A body cut short, or lengths
// that disagree, would pass a part of an answer for the whole; without a length it is whole.
bool IsWholeBody(const TextArray& lines, std::size_t received);

// value without the spaces and tabs around it.
std::string_view TrimOptionalWhitespace(std::string_view value);

// The values of every line named name (any case), joined by ",".
Text ResponseHeader(const TextArray& lines, std::string_view name);

}  // namespace tarnwick
