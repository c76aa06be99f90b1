// Percent-encoding: "%" and two upper-case hex digits per byte; never "+".
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// "%XX" for every byte that keep turns down; the bytes it keeps stay as they are.
using KeepByte = bool (*)(unsigned char byte);
Text PercentEncode(std::string_view bytes, KeepByte keep);

Text UrlEncodeUtf8(std::string_view text, bool keepUnreserved = false, bool toUtf8 = false);

}  // namespace tarnwick
