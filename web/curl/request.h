// The request object over libcurl: a synchronous HTTP/1.1 client that puts on the wire the
// header lines handed to it, in their order, and little else.
#pragma once

#include <cstddef>

#include "web/request_object.h"
#include "web/response_limits.h"

namespace tarnwick {

// Limits that keep a hostile server from holding memory or a worker without end; the body's
// is every object's.
inline constexpr std::size_t kMaxResponseHeaderBytes = std::size_t{300} << 10;
inline constexpr int kMaxRedirects = 10;

// The process-wide set-up of libcurl and TLS, once; every later call returns at once.
void PrepareCurl();

// A new object on its own libcurl easy handle; the empty reference when none can be made.
RequestObjectRef MakeCurlRequest();

}  // namespace tarnwick
