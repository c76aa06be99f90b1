// The one symbol the HTTP module exports; everything else in it stays private to it.
#include "web/curl/module.h"
#include "web/curl/request.h"

namespace {

constexpr tarnwick::HttpModuleEntry kEntry{tarnwick::kHttpModuleVersion, &tarnwick::PrepareCurl,
                                           &tarnwick::MakeCurlRequest};

}  // namespace

extern "C" __attribute__((visibility("default"))) const tarnwick::HttpModuleEntry*
tarnwick_http_module() {
    return &kEntry;
}
