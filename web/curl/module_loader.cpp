#include "web/curl/module.h"
#include "web/web_access.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace tarnwick {

namespace {

// Where the running program lives, or the empty path when the system will not say.
std::filesystem::path ProgramFile() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// The build tree lays out its programs and the module as an installation does, so one relative
// path serves both, and neither looks anywhere but beside itself: an installed program never
// reaches into a build tree, and nothing absolute about the build machine is compiled in.
std::filesystem::path ProgramModulePath() {
    const std::filesystem::path program = ProgramFile();
    if (program.empty()) {
        return {};
    }
    return program.parent_path() / TARNWICK_HTTP_MODULE_FROM_BINDIR;
}

}  // namespace

const HttpModuleEntry* LoadHttpModule(const char* path) {
    void* const handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return nullptr;
    }
    const auto entryPoint =
        reinterpret_cast<HttpModuleEntryPoint>(::dlsym(handle, kHttpModuleEntryName));
    const HttpModuleEntry* const entry = entryPoint != nullptr ? entryPoint() : nullptr;
    if (entry == nullptr || entry->version != kHttpModuleVersion ||
        entry->prepareWebAccess == nullptr || entry->makeRequest == nullptr) {
        ::dlclose(handle);
        return nullptr;
    }
    return entry;
}

const HttpModuleEntry* ProgramHttpModule() {
    static const HttpModuleEntry* const module = [] {
        const std::filesystem::path path = ProgramModulePath();
        return path.empty() ? nullptr : LoadHttpModule(path.c_str());
    }();
    return module;
}

void PrepareWebAccess() {
    if (const HttpModuleEntry* module = ProgramHttpModule()) {
        module->prepareWebAccess();
    }
}

RequestObjectRef CreateSystemRequestObject() {
    // The HTTP client is loaded with the first object; without it there is no object.
    const HttpModuleEntry* const module = ProgramHttpModule();
    return module != nullptr ? module->makeRequest() : nullptr;
}

}  // namespace tarnwick
