// Percent-encoding: "%" and two upper-case hex digits per byte; never "+".
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

Text UrlEncodeUtf8(std::string_view text, bool keepUnreserved = false, bool toUtf8 = false);

}  // namespace tarnwick
