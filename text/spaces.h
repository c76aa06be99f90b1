// ASCII (0x20) and full-width (0xA1 0xA1) spaces.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

Text TrimSpaces(std::string_view text);
Text RemoveAllSpaces(std::string_view text);

}  // namespace tarnwick
