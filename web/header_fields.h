// The fields of an answer's header lines, read alike by every request object.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// value without the spaces and tabs around it.
std::string_view TrimOptionalWhitespace(std::string_view value);

// The values of every line named name (any case), joined by ",".
Text ResponseHeader(const TextArray& lines, std::string_view name);

}  // namespace tarnwick
