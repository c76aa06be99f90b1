// Base64 of RFC 4648 section 4: standard alphabet, "=" padding, no line breaks.
#pragma once

#include "text/values.h"

namespace tarnwick {

Text Base64Encode(const ByteSet& input);

}  // namespace tarnwick
