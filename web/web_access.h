// How the program gets at the system's HTTP request object, whatever the platform: one file per
// platform defines both.
#pragma once

#include "web/request_object.h"

namespace tarnwick {

// The process-wide set-up of the HTTP client: safe from any thread, any number of times. The
// program calls it at the first Generate click, before that click's worker runs; creating an
// object does it too.
void PrepareWebAccess();

// A new system object; the empty reference when there is none. Inside a ComScope only.
RequestObjectRef CreateSystemRequestObject();

}  // namespace tarnwick
