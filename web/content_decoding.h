// Undoing the Content-Encoding of a response body.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/values.h"

namespace tarnwick {

// Decodes body by the codings listed in contentEncoding (comma-separated, applied last first),
// each of which the request must have offered in acceptEncoding (an Accept-Encoding value).
// gzip, x-gzip and deflate (zlib-wrapped or raw) are decoded, identity is skipped. A coding
// that was not offered or is not known, corrupt data, or a result larger than maxBytes leave
// the body as it came: a server's mistake in the coding must not cost the whole answer.
ByteSet DecodeContent(std::string_view contentEncoding, std::string_view acceptEncoding,
                      const ByteSet& body, std::size_t maxBytes);

}  // namespace tarnwick
