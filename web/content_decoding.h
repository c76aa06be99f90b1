// Undoing the Content-Encoding of a response body.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "text/values.h"

namespace tarnwick {

// Decodes body by the codings listed in contentEncoding (comma-separated, applied last first).
// gzip, x-gzip and deflate (zlib-wrapped or raw) are decoded, identity is skipped; a coding
// that is not known leaves the body as it came. Corrupt data, or a result larger than
// maxBytes, gives nullopt.
std::optional<ByteSet> DecodeContent(std::string_view contentEncoding, const ByteSet& body,
                                     std::size_t maxBytes);

}  // namespace tarnwick
