// The HTTP client (libcurl and the TLS and protocol libraries beneath it) lives in a module of
// its own that the web layer loads at its first use: a window that is opened and closed
// without a request never maps any of it.
#pragma once

#include "web/request_object.h"

namespace tarnwick {

// Bumped whenever a member changes its meaning, or RequestObject's virtual functions change
// (the module's objects are called through their virtual table), so that a module left over
// from another build is refused instead of misused.
inline constexpr int kHttpModuleVersion = 1;

// What the module hands over through its one C entry point.
struct HttpModuleEntry {
    int version;
    void (*prepareWebAccess)();
    RequestObjectRef (*makeRequest)();
};

// extern "C" const HttpModuleEntry* tarnwick_http_module(void);
inline constexpr const char* kHttpModuleEntryName = "tarnwick_http_module";
using HttpModuleEntryPoint = const HttpModuleEntry* (*)();

// The entry of the module file at path; nullptr when it cannot be loaded or is no module of
// this build. A loaded module is never unloaded: its objects may outlive any caller.
const HttpModuleEntry* LoadHttpModule(const char* path);

// The program's own module, looked for once at the same place relative to the program, in the
// build tree as where it is installed. nullptr when it is missing.
const HttpModuleEntry* ProgramHttpModule();

}  // namespace tarnwick
